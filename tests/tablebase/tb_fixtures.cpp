// Writing the test tablebase files; see tb_fixtures.h.
#include "tb_fixtures.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "board/attack_map.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_list.h"
#include "board/movegen.h"
#include "tablebase/descriptors.h"
#include "tablebase/index_tables.h"

std::string TbPlacementFen(const TbMaterial& m, const TbPlacement& p, int side, bool reversed) {
  char squares[64];
  for (char& c : squares) c = 0;
  u32 flip = reversed ? 7 : 0;
  u32 swap = reversed ? 1 : 0;
  squares[p.king[0] ^ flip] = PieceLetters[WhiteKing + swap];
  squares[p.king[1] ^ flip] = PieceLetters[BlackKing - swap];
  for (int i = 0; i < m.count; ++i)
    squares[p.man[i] ^ flip] = PieceLetters[2 * m.type[i] + (m.colour[i] ^ swap)];
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      char c = squares[file * 8 + rank];
      if (c == 0) {
        ++empty;
        continue;
      }
      if (empty > 0) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += c;
    }
    if (empty > 0) fen += static_cast<char>('0' + empty);
    if (rank > 0) fen += '/';
  }
  fen += (side ^ swap) == 0 ? " w - " : " b - ";
  if (p.ep == 64) {
    fen += "-";
  } else {
    u32 ep = p.ep ^ flip;
    fen += static_cast<char>('a' + (ep >> 3));
    fen += static_cast<char>('1' + (ep & 7));
  }
  return fen + " 0 1";
}

std::string TbFixturePath(const std::string& dir, int row, int side) {
  std::string path = dir.empty() ? "" : dir + "/";
  return path + TablebaseDescriptorTable[row].name + (side == 0 ? ".nbw" : ".nbb");
}

static bool WriteWholeFile(const std::string& path, const std::vector<i8>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

static u32 DirectIndex(Board* scratch, int row, int side, const TbMaterial& m,
                       const TbPlacement& p) {
  TbLoadBoard(scratch, m, p, side, false);
  TbPosition = scratch;
  u32 white = 0;
  u32 black = 1;
  u32 ep = p.ep == 64 ? TbNoSquare : TbSquareMap[p.ep];
  return TablebaseDescriptorTable[row].indexFunction[side](&white, &black, ep, 0);
}

// ---------------------------------------------------------------------------------------------
// Retrograde solution of a three-man table. A node is one index of one side; its successors
// are other nodes of the table, or results already known (a capture leaves two kings, a
// promotion enters a solved table). Distances are counted in plies: a win d is odd, a loss d
// even, mate itself a loss 0.

namespace {

struct Successor {
  i32 node;    // -1: an outside result
  i8 result;   // outside: 1 the side to move there wins, -1 it loses, 0 draw
  i16 plies;
};

struct Node {
  i8 result = 0;  // 0 unresolved (a draw at the end), 1 win, -1 loss, 2 draw known now
  i16 plies = 0;
  u32 first = 0;  // successors[first .. first + count)
  u32 count = 0;
};

void OutsideResult(i8 value, i8* result, i16* plies) {
  if (value == 0) {
    *result = 0;
    *plies = 0;
  } else if (value > 0) {
    *result = 1;
    *plies = static_cast<i16>(2 * (127 - value) - 1);
  } else {
    *result = -1;
    *plies = static_cast<i16>(2 * (value + 126));
  }
}

i8 ValueOfNode(const Node& node) {
  if (node.result == 1) return static_cast<i8>(127 - (node.plies + 1) / 2);
  if (node.result == -1) return static_cast<i8>(node.plies / 2 - 126);
  return 0;
}

std::vector<i8> SolvedCache[6][2];

void SolveThreeMan(int row) {
  TbEnterAllRowsInTree();
  const TbMaterial m = TbMaterialOfRow(row);
  const u32 count[2] = {TablebaseDescriptorTable[row].positions[0],
                        TablebaseDescriptorTable[row].positions[1]};
  // One position per index.
  std::vector<TbPlacement> representative(count[0] + count[1]);
  std::vector<bool> used(count[0] + count[1], false);
  Board scratch;
  for (int side = 0; side < 2; ++side) {
    TbForEachPosition(m, side, [&](const TbPlacement& p) {
      u32 node = (side == 0 ? 0 : count[0]) + DirectIndex(&scratch, row, side, m, p);
      if (used[node]) return;
      used[node] = true;
      representative[node] = p;
    });
  }

  std::vector<Node> nodes(count[0] + count[1]);
  std::vector<Successor> successors;
  i16 longestOutside = 0;
  Board board;
  MoveList list;
  for (u32 node = 0; node < nodes.size(); ++node) {
    if (!used[node]) continue;
    int side = node < count[0] ? 0 : 1;
    std::string fen = TbPlacementFen(m, representative[node], side, false);
    if (!SetFen(&board, fen.c_str())) {
      std::fprintf(stderr, "fixture: cannot load %s\n", fen.c_str());
      std::abort();
    }
    list.count = 0;
    GenerateLegalMoves(&board, &list);
    nodes[node].first = static_cast<u32>(successors.size());
    nodes[node].count = static_cast<u32>(list.count);
    if (list.count == 0) {
      nodes[node].result = InCheck(&board) ? -1 : 2;
      continue;
    }
    const Board saved = board;
    for (int i = 0; i < list.count; ++i) {
      u32 move = list.moves[i];
      MakeMove(&board, board.squares[MoveFrom(move)], move);
      Successor s{-1, 0, 0};
      TbLookup lookup{};
      if (TbLookupBoard(&board, &lookup)) {  // else two bare kings: a draw
        if (lookup.row == row && lookup.index < count[lookup.side]) {
          s.node = static_cast<i32>((lookup.side == 0 ? 0 : count[0]) + lookup.index);
        } else {
          OutsideResult(TbSolvedValues(lookup.row, lookup.side)[lookup.index], &s.result,
                        &s.plies);
          longestOutside = std::max(longestOutside, s.plies);
        }
      }
      successors.push_back(s);
      board = saved;
    }
  }

  auto resultOf = [&](const Successor& s, i8* result, i16* plies) {
    if (s.node < 0) {
      *result = s.result;
      *plies = s.plies;
    } else {
      *result = nodes[s.node].result;
      *plies = nodes[s.node].plies;
    }
  };
  int quietSteps = 0;
  for (int t = 1; t < 300 && (quietSteps < 2 || t <= longestOutside + 2); ++t) {
    bool changed = false;
    for (Node& n : nodes) {
      if (n.result != 0 || n.count == 0) continue;
      bool win = false;
      bool allLose = true;
      for (u32 i = n.first; i < n.first + n.count; ++i) {
        i8 r;
        i16 d;
        resultOf(successors[i], &r, &d);
        if (r == -1 && d == t - 1) win = true;
        if (!(r == 1 && d <= t - 1)) allLose = false;
      }
      if (t % 2 == 1 && win) {
        n.result = 1;
        n.plies = static_cast<i16>(t);
        changed = true;
      } else if (t % 2 == 0 && allLose) {
        n.result = -1;
        n.plies = static_cast<i16>(t);
        changed = true;
      }
    }
    quietSteps = changed ? 0 : quietSteps + 1;
  }

  for (int side = 0; side < 2; ++side) {
    std::vector<i8>& values = SolvedCache[row][side];
    values.assign(count[side], 0);
    for (u32 i = 0; i < count[side]; ++i) {
      u32 node = (side == 0 ? 0 : count[0]) + i;
      if (used[node]) values[i] = ValueOfNode(nodes[node]);
    }
  }
}

}  // namespace

const std::vector<i8>& TbSolvedValues(int row, int side) {
  if (row < 1 || row > 5) std::abort();
  if (SolvedCache[row][side].empty()) SolveThreeMan(row);
  return SolvedCache[row][side];
}

bool TbWriteSolvedFiles(const std::string& dir, int row) {
  return WriteWholeFile(TbFixturePath(dir, row, 0), TbSolvedValues(row, 0)) &&
         WriteWholeFile(TbFixturePath(dir, row, 1), TbSolvedValues(row, 1));
}

// ---------------------------------------------------------------------------------------------

i8 TbClassValue(int row, int side, const TbPlacement& p) {
  u64 x = TbClassKey(TbMaterialOfRow(row), p) ^ (static_cast<u64>(row) << 40) ^
          (static_cast<u64>(side) << 48);
  x += 0x9e3779b97f4a7c15ull;  // splitmix64
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  x ^= x >> 31;
  return static_cast<i8>(static_cast<int>(x % 253) - 126);
}

bool TbWriteClassValueFile(const std::string& dir, int row, int side) {
  BuildTbIndexTables();
  const TbMaterial m = TbMaterialOfRow(row);
  std::vector<i8> values(TablebaseDescriptorTable[row].positions[side], 0);
  Board scratch;
  TbForEachPosition(m, side, [&](const TbPlacement& p) {
    u32 index = DirectIndex(&scratch, row, side, m, p);
    if (index < values.size()) values[index] = TbClassValue(row, side, p);
  });
  return WriteWholeFile(TbFixturePath(dir, row, side), values);
}

bool TbExpectedClassValue(const Board* board, int* row, int* side, i8* value) {
  u32 counts[TbTreeLevels];
  TbMaterialCounts(board, counts);
  i32 id = LookupPieceCountTree(counts);
  if (id == 0) return false;
  u32 swap = id < 0 ? 1 : 0;
  u32 flip = id < 0 ? 7 : 0;
  *row = id < 0 ? -id : id;
  *side = static_cast<int>(SideToMove(board) ^ swap);
  const TbMaterial m = TbMaterialOfRow(*row);
  TbPlacement p{};
  p.king[0] = static_cast<u8>(board->pieceLists[WhiteKing + swap].squares[0] ^ flip);
  p.king[1] = static_cast<u8>(board->pieceLists[BlackKing - swap].squares[0] ^ flip);
  for (int i = 0; i < m.count; ++i) {
    bool second = i > 0 && m.colour[i] == m.colour[i - 1] && m.type[i] == m.type[i - 1];
    const PieceList& list = board->pieceLists[2 * m.type[i] + (m.colour[i] ^ swap)];
    p.man[i] = static_cast<u8>(list.squares[second ? 1 : 0] ^ flip);
  }
  p.ep = 64;
  if (board->epSquare != 64) {
    u32 e = board->epSquare;
    u32 stm = SideToMove(board);
    u32 pawn = stm == 0 ? e - 1 : e + 1;
    u8 mine = stm == 0 ? WhitePawn : BlackPawn;
    bool beside = ((pawn >> 3) > 0 && board->squares[pawn - 8] == mine) ||
                  ((pawn >> 3) < 7 && board->squares[pawn + 8] == mine);
    if (beside) p.ep = static_cast<u8>(e ^ flip);
  }
  *value = TbClassValue(*row, *side, p);
  return true;
}

bool TbWriteSparseFile(const std::string& dir, int row, int side, long long lengthDelta,
                       const std::vector<std::pair<u32, i8>>& bytes) {
  const std::string path = TbFixturePath(dir, row, side);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (const auto& [index, value] : bytes) {
    ok &= std::fseek(file, static_cast<long>(index), SEEK_SET) == 0;
    ok &= std::fputc(static_cast<u8>(value), file) != EOF;
  }
  ok &= std::fclose(file) == 0;
  long long length = static_cast<long long>(TablebaseDescriptorTable[row].positions[side]) +
                     lengthDelta;
  if (!ok || length < 0) return false;
  std::error_code error;
  std::filesystem::resize_file(path, static_cast<std::uintmax_t>(length), error);
  return !error;
}

std::string TbMakeTempDir(const std::string& tag) {
  static std::atomic<int> serial{0};
  std::error_code error;
  std::filesystem::path dir = std::filesystem::temp_directory_path(error) /
                              ("tervik-" + tag + "-" + std::to_string(getpid()) + "-" +
                               std::to_string(serial++));
  std::filesystem::remove_all(dir, error);
  std::filesystem::create_directories(dir, error);
  return dir.string();
}

void TbRemoveDir(const std::string& dir) {
  std::error_code error;
  std::filesystem::remove_all(dir, error);
}
