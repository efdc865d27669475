// Test helpers for tablebase positions; see tb_positions.h.
#include "tb_positions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tablebase/descriptors.h"
#include "tablebase/index_tables.h"

static u8 TypeOfLetter(char c) {
  switch (c) {
    case 'n': return 1;
    case 'b': return 2;
    case 'r': return 3;
    case 'q': return 4;
    default: return 0;
  }
}

TbMaterial TbMaterialOfRow(int row) {
  TbMaterial m{};
  const char* name = TablebaseDescriptorTable[row].name;
  int colour = 0;
  bool pawn[2] = {false, false};
  for (const char* c = name + 1; *c != 0; ++c) {
    if (*c == 'k') {
      colour = 1;
      continue;
    }
    m.colour[m.count] = static_cast<u8>(colour);
    m.type[m.count] = TypeOfLetter(*c);
    pawn[colour] |= m.type[m.count] == 0;
    ++m.count;
  }
  m.pawns = pawn[0] || pawn[1];
  m.enPassant = pawn[0] && pawn[1];
  return m;
}

int TbRowOfName(const std::string& name) {
  for (int row = 1; row < TbRowCount; ++row)
    if (name == TablebaseDescriptorTable[row].name) return row;
  return 0;
}

static int FileOfSq(u32 s) { return static_cast<int>(s >> 3); }
static int RankOfSq(u32 s) { return static_cast<int>(s & 7); }

bool TbAttacks(const TbMaterial& m, const TbPlacement& p, int colour, u32 square) {
  u64 occupied = (1ull << p.king[0]) | (1ull << p.king[1]);
  for (int i = 0; i < m.count; ++i) occupied |= 1ull << p.man[i];
  int tf = FileOfSq(square);
  int tr = RankOfSq(square);
  auto near = [&](u32 s) {
    return std::abs(FileOfSq(s) - tf) <= 1 && std::abs(RankOfSq(s) - tr) <= 1;
  };
  if (p.king[colour] != square && near(p.king[colour])) return true;
  for (int i = 0; i < m.count; ++i) {
    if (m.colour[i] != colour || p.man[i] == square) continue;
    int f = FileOfSq(p.man[i]);
    int r = RankOfSq(p.man[i]);
    int df = tf - f;
    int dr = tr - r;
    switch (m.type[i]) {
      case 0:
        if (std::abs(df) == 1 && dr == (colour == 0 ? 1 : -1)) return true;
        break;
      case 1:
        if (df * df + dr * dr == 5) return true;
        break;
      default: {
        bool diagonal = df != 0 && std::abs(df) == std::abs(dr);
        bool straight = (df == 0) != (dr == 0);
        bool can = (m.type[i] == 2 && diagonal) || (m.type[i] == 3 && straight) ||
                   (m.type[i] == 4 && (diagonal || straight));
        if (!can) break;
        int sf = (df > 0) - (df < 0);
        int sr = (dr > 0) - (dr < 0);
        bool blocked = false;
        for (int ff = f + sf, rr = r + sr; ff != tf || rr != tr; ff += sf, rr += sr)
          blocked |= (occupied >> (ff * 8 + rr)) & 1;
        if (!blocked) return true;
      }
    }
  }
  return false;
}

bool TbPlacementLegal(const TbMaterial& m, const TbPlacement& p, int side) {
  u64 seen = 0;
  auto take = [&seen](u32 s) {
    if ((seen >> s) & 1) return false;
    seen |= 1ull << s;
    return true;
  };
  if (!take(p.king[0]) || !take(p.king[1])) return false;
  for (int i = 0; i < m.count; ++i) {
    if (!take(p.man[i]) || !TbSquareFitsMan(p.man[i], m.type[i])) return false;
  }
  return !TbAttacks(m, p, side, p.king[1 - side]);
}

u32 TbEnPassantFor(const TbMaterial& m, const TbPlacement& p, int side, int j) {
  int other = 1 - side;
  if (m.colour[j] != other || m.type[j] != 0) return 64;
  u32 s = p.man[j];
  if (RankOfSq(s) != (other == 0 ? 3 : 4)) return 64;
  u32 ep = other == 0 ? s - 1 : s + 1;
  u32 start = other == 0 ? s - 2 : s + 2;
  if (p.king[0] == ep || p.king[1] == ep || p.king[0] == start || p.king[1] == start) return 64;
  bool beside = false;
  for (int i = 0; i < m.count; ++i) {
    if (p.man[i] == ep || p.man[i] == start) return 64;
    if (m.colour[i] == side && m.type[i] == 0 && RankOfSq(p.man[i]) == RankOfSq(s) &&
        std::abs(FileOfSq(p.man[i]) - FileOfSq(s)) == 1)
      beside = true;
  }
  return beside ? ep : 64;
}

void TbLoadBoard(Board* board, const TbMaterial& m, const TbPlacement& p, int side, bool reversed) {
  u32 flip = reversed ? 7 : 0;
  u32 swap = reversed ? 1 : 0;
  for (PieceList& list : board->pieceLists) list.count = 0;
  std::memset(board->squares, Empty, sizeof board->squares);
  board->pieceCount[0] = board->pieceCount[1] = 0;
  auto put = [&](u32 code, u32 square) {
    PieceList& list = board->pieceLists[code];
    list.squares[list.count++] = static_cast<u8>(square);
    board->squares[square] = static_cast<u8>(code);
    board->pieceCount[ColourOf(code)]++;
  };
  put(WhiteKing + swap, p.king[0] ^ flip);
  put(BlackKing - swap, p.king[1] ^ flip);
  for (int i = 0; i < m.count; ++i) put(2 * m.type[i] + (m.colour[i] ^ swap), p.man[i] ^ flip);
  if ((p.king[0] + p.king[1]) & 1) {
    for (PieceList& list : board->pieceLists)
      if (list.count == 2) std::swap(list.squares[0], list.squares[1]);
  }
  board->gamePly = static_cast<u32>(side) ^ swap;
  board->epSquare = p.ep == 64 ? 64 : p.ep ^ flip;
}

static u32 TransformSquare(u32 s, int symmetry) {
  if (symmetry & 1) s ^= 56;
  if (symmetry & 2) s ^= 7;
  if (symmetry & 4) s = (s & 7) * 8 + (s >> 3);
  return s;
}

TbPlacement TbTransform(const TbPlacement& p, int symmetry) {
  TbPlacement q = p;
  q.king[0] = static_cast<u8>(TransformSquare(p.king[0], symmetry));
  q.king[1] = static_cast<u8>(TransformSquare(p.king[1], symmetry));
  for (int i = 0; i < 3; ++i) q.man[i] = static_cast<u8>(TransformSquare(p.man[i], symmetry));
  if (p.ep != 64) q.ep = static_cast<u8>(TransformSquare(p.ep, symmetry));
  return q;
}

u64 TbEncode(const TbMaterial& m, const TbPlacement& p) {
  u8 man[3] = {p.man[0], p.man[1], p.man[2]};
  for (int i = 1; i < m.count; ++i) {
    bool like = m.colour[i] == m.colour[i - 1] && m.type[i] == m.type[i - 1];
    if (like && man[i] < man[i - 1]) std::swap(man[i], man[i - 1]);
  }
  u64 code = p.king[0] | (static_cast<u64>(p.king[1]) << 6);
  for (int i = 0; i < m.count; ++i) code |= static_cast<u64>(man[i]) << (12 + 6 * i);
  return code | (static_cast<u64>(p.ep) << (12 + 6 * m.count));
}

static bool KingsShareLongDiagonal(const TbPlacement& p) {
  int f0 = FileOfSq(p.king[0]), r0 = RankOfSq(p.king[0]);
  int f1 = FileOfSq(p.king[1]), r1 = RankOfSq(p.king[1]);
  return (f0 == r0 && f1 == r1) || (f0 + r0 == 7 && f1 + r1 == 7);
}

bool TbSymmetryKeepsIndex(const TbMaterial& m, const TbPlacement& p, int symmetry) {
  if (m.pawns) return symmetry <= 1;
  return symmetry < 4 || !KingsShareLongDiagonal(p);
}

u64 TbClassKey(const TbMaterial& m, const TbPlacement& p) {
  u64 key = TbEncode(m, p);
  for (int g = 1; g < 8; ++g) {
    if (TbSymmetryKeepsIndex(m, p, g)) key = std::min(key, TbEncode(m, TbTransform(p, g)));
  }
  return key;
}

void TbEnterAllRowsInTree() {
  BuildTbIndexTables();
  BuildPieceCountTree();
  for (int row = 1; row < TbRowCount; ++row) {
    TbMaterial m = TbMaterialOfRow(row);
    u32 counts[TbTreeLevels] = {};
    for (int i = 0; i < m.count; ++i) counts[m.colour[i] * 5 + m.type[i]]++;
    *PieceCountTreeSlot(counts) = PieceCountTreeValue(row);
    u32 swapped[TbTreeLevels];
    for (int i = 0; i < 5; ++i) {
      swapped[i] = counts[i + 5];
      swapped[i + 5] = counts[i];
    }
    *PieceCountTreeSlot(swapped) = PieceCountTreeValue(-row);
  }
}

bool TbLookupBoard(const Board* board, TbLookup* out) {
  u32 counts[TbTreeLevels];
  TbMaterialCounts(board, counts);
  i32 id = LookupPieceCountTree(counts);
  if (id == 0) return false;
  u32 stm = SideToMove(board);
  u32 white = id > 0 ? 0 : 1;
  u32 black = 1 - white;
  i32 invert = id > 0 ? 0 : 1;
  int row = id > 0 ? id : -id;
  int side = static_cast<int>(stm ^ white);
  u32 ep = 64;
  if (board->epSquare != 64) {
    u32 e = board->epSquare;
    u32 pawn = stm == 0 ? e - 1 : e + 1;  // the pawn that has just made its double step
    u32 mine = stm == 0 ? WhitePawn : BlackPawn;
    bool left = FileOfSq(pawn) > 0 && board->squares[pawn - 8] == mine;
    bool right = FileOfSq(pawn) < 7 && board->squares[pawn + 8] == mine;
    if (left || right) ep = TbSquareMap[e];
  }
  TbPosition = board;
  out->row = row;
  out->side = side;
  out->index = TablebaseDescriptorTable[row].indexFunction[side](&white, &black, ep, invert);
  return true;
}

TbPlacement TbRandomPosition(const TbMaterial& m, int side, std::mt19937_64& rng) {
  int other = 1 - side;
  int victim = -1;
  int capturer = -1;
  for (int i = 0; i < m.count; ++i) {
    if (m.type[i] != 0) continue;
    if (m.colour[i] == other && victim < 0) victim = i;
    if (m.colour[i] == side && capturer < 0) capturer = i;
  }
  bool wantEp = m.enPassant && rng() % 4 == 0;
  for (;;) {
    TbPlacement p{};
    p.ep = 64;
    p.king[0] = static_cast<u8>(rng() % 64);
    p.king[1] = static_cast<u8>(rng() % 64);
    for (int i = 0; i < m.count; ++i)
      p.man[i] = static_cast<u8>(m.type[i] == 0 ? (rng() % 8) * 8 + 1 + rng() % 6 : rng() % 64);
    if (wantEp) {
      int file = static_cast<int>(rng() % 8);
      int besideFile = file == 0 ? 1 : file == 7 ? 6 : file + (rng() % 2 ? 1 : -1);
      int rank = other == 0 ? 3 : 4;
      p.man[victim] = static_cast<u8>(file * 8 + rank);
      p.man[capturer] = static_cast<u8>(besideFile * 8 + rank);
    }
    if (!TbPlacementLegal(m, p, side)) continue;
    if (wantEp) {
      u32 ep = TbEnPassantFor(m, p, side, victim);
      if (ep == 64) continue;
      p.ep = static_cast<u8>(ep);
    }
    return p;
  }
}
