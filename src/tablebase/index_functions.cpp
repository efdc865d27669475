// One index construction for every table: a layout derived at compile time from the row's name
// says which men form the inner part (numbered with the kings through the offset tables) and
// which the outer part (numbered by the squares they may take), and each of the 220 entry
// points is that construction instantiated for one row and side.
#include "tablebase/index_functions.h"

#include <cassert>

#include "tablebase/index_tables.h"

// Men of a position during indexing: 0 the king of the side to move, 1 the other king,
// 2-3 the inner men, 4-5 the outer men.
constexpr int TbManSlots = 6;
constexpr int TbInnerSlot = 2;
constexpr int TbOuterSlot = 4;

struct TbLayoutMan {
  u8 colour;  // table colour, 0 White, 1 Black
  u8 type;    // pawn 0, knight 1, bishop 2, rook 3, queen 4
  u8 second;  // 1 for the second man of a like pair: it is the list's second square
};

struct TbLayout {
  bool pawns;      // a pawn row: mirror left to right only, pawn king pairs
  bool flip;       // the inner part is numbered on the board mirrored top to bottom
  bool enPassant;  // pawns on both sides: en-passant positions follow the ordinary ones
  u8 side;         // the side to move, table colours
  u8 innerCount;
  bool innerLike;
  u8 innerKind[2];
  TbLayoutMan inner[2];
  u8 outerCount;
  bool outerLike;
  TbLayoutMan outer[2];
  u8 outerCounted[2];  // per outer man: the slots whose men below it reduce its place
  u32 outerPlaces[2];
  u64 outerMultiplier;
  // En passant: the slots of the side to move's pawns and of the other side's pawns.
  u8 movingPawnCount;
  i8 movingPawns[2];
  u8 otherPawnCount;
  i8 otherPawns[2];
};

constexpr u8 TbTypeOfLetter(char letter) {
  switch (letter) {
    case 'q': return 4;
    case 'r': return 3;
    case 'b': return 2;
    case 'n': return 1;
    default: return 0;
  }
}

constexpr int TbBitCount(u32 bits) {
  int n = 0;
  for (; bits != 0; bits &= bits - 1) ++n;
  return n;
}

constexpr TbLayout TbMakeLayout(const char* name, int side) {
  // The men of each table colour in name order (strongest first).
  TbLayoutMan men[2][2] = {};
  int count[2] = {0, 0};
  int colour = 0;
  for (const char* p = name + 1; *p != 0; ++p) {
    if (*p == 'k') {
      colour = 1;
      continue;
    }
    TbLayoutMan& man = men[colour][count[colour]];
    man.colour = static_cast<u8>(colour);
    man.type = TbTypeOfLetter(*p);
    man.second = count[colour] == 1 && men[colour][0].type == man.type;
    ++count[colour];
  }

  TbLayout layout{};
  layout.side = static_cast<u8>(side);
  bool whitePawn = false;
  bool blackPawn = false;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < count[c]; ++i) {
      if (men[c][i].type == 0) (c == 0 ? whitePawn : blackPawn) = true;
    }
  }
  layout.pawns = whitePawn || blackPawn;
  layout.enPassant = whitePawn && blackPawn;

  // Inner men: the side to move's; with a bare king to move, the table White's pawns (numbered
  // without check exclusion, their pieces go outside); else none (the king pair alone).
  int moving = side;
  int other = 1 - side;
  auto addOuter = [&layout](const TbLayoutMan& man) { layout.outer[layout.outerCount++] = man; };
  if (count[moving] > 0) {
    for (int i = 0; i < count[moving]; ++i) {
      const TbLayoutMan& man = men[moving][i];
      layout.innerKind[layout.innerCount] = man.type == 0 ? TbKindPawn : man.type + 1;
      layout.inner[layout.innerCount++] = man;
    }
    for (int i = 0; i < count[other]; ++i) addOuter(men[other][i]);
  } else {
    for (int i = 0; i < count[other]; ++i) {
      const TbLayoutMan& man = men[other][i];
      if (layout.pawns && man.type == 0) {
        layout.innerKind[layout.innerCount] = TbKindFreePawn;
        layout.inner[layout.innerCount++] = man;
      } else {
        addOuter(man);
      }
    }
  }
  layout.innerLike = layout.innerCount == 2 && layout.inner[1].second;
  layout.outerLike = layout.outerCount == 2 && layout.outer[1].second;
  layout.flip = side == 1 && layout.pawns && layout.innerCount > 0 && layout.inner[0].type == 0;

  // A piece gives way to the kings, the inner men, every pawn and the outer pieces before it;
  // a pawn only to the pawns numbered before it. The two men of a like pair ignore each other.
  u32 innerBits = 0;
  u32 innerPawnBits = 0;
  for (int i = 0; i < layout.innerCount; ++i) {
    innerBits |= 1u << (TbInnerSlot + i);
    if (layout.inner[i].type == 0) innerPawnBits |= 1u << (TbInnerSlot + i);
  }
  u32 outerPawnBits = 0;
  for (int j = 0; j < layout.outerCount; ++j) {
    if (layout.outer[j].type == 0) outerPawnBits |= 1u << (TbOuterSlot + j);
  }
  layout.outerMultiplier = 1;
  for (int j = 0; j < layout.outerCount; ++j) {
    bool pawn = layout.outer[j].type == 0;
    u32 before = 0;
    if (j == 1 && !layout.outerLike) before = 1u << TbOuterSlot;
    u32 counted;
    if (pawn) {
      counted = innerPawnBits | (before & outerPawnBits);
    } else {
      counted = 3u | innerBits | outerPawnBits | before;
    }
    layout.outerCounted[j] = static_cast<u8>(counted);
    layout.outerPlaces[j] = (pawn ? 48u : 64u) - TbBitCount(counted);
  }
  if (layout.outerCount == 1) {
    layout.outerMultiplier = layout.outerPlaces[0];
  } else if (layout.outerCount == 2) {
    u64 a = layout.outerPlaces[0];
    layout.outerMultiplier = layout.outerLike ? a * (a - 1) / 2 : a * layout.outerPlaces[1];
  }

  for (int i = 0; i < layout.innerCount; ++i) {
    if (layout.inner[i].type != 0) continue;
    if (layout.inner[i].colour == side) {
      layout.movingPawns[layout.movingPawnCount++] = static_cast<i8>(TbInnerSlot + i);
    } else {
      layout.otherPawns[layout.otherPawnCount++] = static_cast<i8>(TbInnerSlot + i);
    }
  }
  for (int j = 0; j < layout.outerCount; ++j) {
    if (layout.outer[j].type != 0) continue;
    layout.otherPawns[layout.otherPawnCount++] = static_cast<i8>(TbOuterSlot + j);
  }
  return layout;
}

// The number of a man of the kind among the squares allowed with the other king on kO,
// less one when the moving king stands on an allowed square below it.
static inline u32 TbEnumNumber(int kind, u32 kS, u32 kO, u32 square) {
  const u8* table = TbEnumTable[kind] + kO * 64;
  return table[square] - (table[kS] != 255 && kS < square);
}

static inline u32 TbCountBelow(const u32* squares, u32 slots, u32 square) {
  u32 n = 0;
  for (int i = 0; i < TbManSlots; ++i) n += ((slots >> i) & 1) && squares[i] < square;
  return n;
}

static u64 TbInnerTotal(const TbLayout& layout) {
  if (layout.innerCount == 0) return layout.pawns ? TbPawnKingPairCount : TbPawnlessKingPairCount;
  int a = layout.innerKind[0];
  int b = layout.innerCount == 2 ? layout.innerKind[1] : -1;
  if (layout.pawns) return b < 0 ? TbOffsets1PawnTotal[a] : TbOffsets2PawnTotal[a][b];
  return b < 0 ? TbOffsets1PawnlessTotal[a] : TbOffsets2PawnlessTotal[a][b];
}

static u64 TbEnPassantBlock(const TbLayout& layout) {
  if (!layout.enPassant) return 0;
  if (layout.innerCount + layout.outerCount == 2) return TbPawnKingPairCount * 14ull;  // kpkp
  if (layout.movingPawnCount + layout.otherPawnCount == 3) return TbPawnKingPairCount * 616ull;
  if (layout.side == 0) return TbOffsets1PawnTotal[layout.innerKind[0]] * 14;  // kXpkp
  return TbPawnKingPairCount * 812ull;
}

// The place of an en-passant position in the block after the ordinary ones, in the frame of
// the side to move (no top-to-bottom flip). Returns false when the square does not describe a
// capture that the side to move can make; the position is then numbered as an ordinary one.
template <const TbLayout& L>
static bool TbEnPassantPart(const u32* sq, u32 ep, u64* part) {
  constexpr bool white = L.side == 0;
  if (TbRank(ep) != (white ? 5u : 2u)) return false;
  u32 captured = white ? ep - 8 : ep + 8;
  u32 start = white ? ep + 8 : ep - 8;
  // The pawn has just passed both squares: nothing stands on them.
  for (int i = 0; i < TbManSlots; ++i) {
    bool used = i < TbInnerSlot + L.innerCount ||
                (i >= TbOuterSlot && i < TbOuterSlot + L.outerCount);
    if (used && (sq[i] == ep || sq[i] == start)) return false;
  }
  // The capturing pawn: the lowest of the side to move's pawns that stands beside the target.
  int cap = -1;
  u32 order[2] = {0, 0};
  for (int i = 0; i < L.movingPawnCount; ++i) order[i] = static_cast<u32>(L.movingPawns[i]);
  if (L.movingPawnCount == 2 && sq[order[1]] < sq[order[0]]) {
    u32 t = order[0];
    order[0] = order[1];
    order[1] = t;
  }
  bool towardsA = false;
  for (int i = 0; i < L.movingPawnCount && cap < 0; ++i) {
    u32 c = sq[order[i]];
    u32 leftTarget = white ? c + 7 : c - 9;
    u32 rightTarget = white ? c + 9 : c - 7;
    if (TbFile(c) > 0 && ep == leftTarget) {
      cap = static_cast<int>(order[i]);
      towardsA = true;
    } else if (TbFile(c) < 7 && ep == rightTarget) {
      cap = static_cast<int>(order[i]);
    }
  }
  if (cap < 0) return false;
  int victim = -1;
  for (int i = 0; i < L.otherPawnCount; ++i) {
    if (sq[L.otherPawns[i]] == captured) victim = L.otherPawns[i];
  }
  if (victim < 0) return false;
  i16 kp = TbKingPairsPawn[sq[0] * 64 + sq[1]];
  if (kp == TbNoKingPair) return false;
  u64 slot = towardsA ? TbFile(sq[cap]) - 1 : TbFile(sq[cap]) + 7;

  int rest = -1;  // the man that is neither king, capturer nor victim
  for (int i = TbInnerSlot; i < TbInnerSlot + L.innerCount; ++i)
    if (i != cap && i != victim) rest = i;
  for (int i = TbOuterSlot; i < TbOuterSlot + L.outerCount; ++i)
    if (i != cap && i != victim) rest = i;
  const u32 fixed[4] = {sq[cap], captured, ep, start};
  if (rest < 0) {
    *part = static_cast<u64>(kp) * 14 + slot;
  } else if (L.movingPawnCount + L.otherPawnCount == 3) {  // kppkp: the second pawn
    u32 place = sq[rest] - 8;
    for (u32 f : fixed) place -= f < sq[rest];
    *part = static_cast<u64>(kp) * 616 + place * 14 + slot;
  } else if (white) {  // kXpkp: the piece numbered with the kings
    int kind = L.innerKind[0];
    u64 inner = TbOffsets1Pawn[kind][kp] + TbEnumNumber(kind, sq[0], sq[1], sq[rest]);
    *part = inner * 14 + slot;
  } else {
    u32 place = sq[rest] - (sq[0] < sq[rest]) - (sq[1] < sq[rest]);
    for (u32 f : fixed) place -= f < sq[rest];
    *part = static_cast<u64>(kp) * 812 + place * 14 + slot;
  }
  return true;
}

static inline u32 TbReadSquare(const Board* board, u32 code, u32 nth) {
  const PieceList& list = board->pieceLists[code];
  return list.count > nth ? TbSquareMap[list.squares[nth]] : TbNoSquare;
}

template <const TbLayout& L>
static u32 TbIndex(u32* whiteColour, u32* blackColour, u32 epSquare, i32 invert) {
  const Board* board = TbPosition;
  const u32 colour[2] = {*whiteColour, *blackColour};
  u32 sq[TbManSlots] = {0, 0, 0, 0, 0, 0};
  sq[0] = TbReadSquare(board, WhiteKing + colour[L.side], 0);
  sq[1] = TbReadSquare(board, WhiteKing + colour[1 - L.side], 0);
  for (int i = 0; i < L.innerCount; ++i) {
    const TbLayoutMan& man = L.inner[i];
    sq[TbInnerSlot + i] = TbReadSquare(board, 2 * man.type + colour[man.colour], man.second);
  }
  for (int j = 0; j < L.outerCount; ++j) {
    const TbLayoutMan& man = L.outer[j];
    sq[TbOuterSlot + j] = TbReadSquare(board, 2 * man.type + colour[man.colour], man.second);
  }
  u32 missing = 0;
  for (u32 s : sq) missing |= s;
  assert((missing & TbNoSquare) == 0 && "a piece list of the table's material is empty");
  if (missing & TbNoSquare) return TbInvalidIndex;

  // Normalise: the moving king onto files a-d (pawns) or into the triangle a1-d1-d4.
  if constexpr (L.pawns) {
    u32 m = TbPawnMirror[sq[0]] ^ TbFlipMask[invert != 0];
    for (u32& s : sq) s ^= m;
    if constexpr (L.enPassant) {
      if (epSquare < TbNoSquare) {
        u64 part;
        if (TbEnPassantPart<L>(sq, epSquare ^ m, &part))
          return static_cast<u32>(TbInnerTotal(L) * L.outerMultiplier + part);
      }
    }
  } else {
    u32 m = TbPawnlessMirror[sq[0]];
    for (u32& s : sq) s ^= m;
    if (!(TbInTriangle[sq[0]] && (TbOffDiagonal[sq[0]] || TbBelowDiagonal[sq[1]]))) {
      for (u32& s : sq) s = TbDiagonalReflect[s];
    }
  }
  (void)epSquare;

  // Inner part: the king pair and the inner men through the offset tables.
  constexpr u32 fl = L.flip ? 56 : 0;
  const u32 kS = sq[0] ^ fl;
  const u32 kO = sq[1] ^ fl;
  const i16 kp = (L.pawns ? TbKingPairsPawn : TbKingPairsPawnless)[kS * 64 + kO];
  assert(kp != TbNoKingPair && "kings that no table numbers");
  if (kp == TbNoKingPair) return TbInvalidIndex;
  u64 inner;
  if constexpr (L.innerCount == 0) {
    inner = static_cast<u64>(kp);
  } else if constexpr (L.innerCount == 1) {
    constexpr int kind = L.innerKind[0];
    const u64* offsets = L.pawns ? TbOffsets1Pawn[kind] : TbOffsets1Pawnless[kind];
    inner = offsets[kp] + TbEnumNumber(kind, kS, kO, sq[TbInnerSlot] ^ fl);
  } else {
    constexpr int i = L.innerKind[0];
    constexpr int j = L.innerKind[1];
    const u64* offsets = L.pawns ? TbOffsets2Pawn[i][j] : TbOffsets2Pawnless[i][j];
    u64 a = TbEnumNumber(i, kS, kO, sq[TbInnerSlot] ^ fl);
    u64 b = TbEnumNumber(j, kS, kO, sq[TbInnerSlot + 1] ^ fl);
    if constexpr (L.innerLike) {
      u64 lo = a < b ? a : b;
      u64 hi = a < b ? b : a;
      inner = offsets[kp] + lo + hi * (hi - 1) / 2;
    } else {
      inner = offsets[kp] + b + a * TbPlacesInBlock(j, kS, kO);
    }
  }

  // Outer part: each man's square less the men it gives way to.
  u64 outer = 0;
  if constexpr (L.outerCount > 0) {
    u64 place[2] = {0, 0};
    for (int j = 0; j < L.outerCount; ++j) {
      u32 s = sq[TbOuterSlot + j];
      place[j] = s - (L.outer[j].type == 0 ? 8 : 0) - TbCountBelow(sq, L.outerCounted[j], s);
    }
    if constexpr (L.outerCount == 1) {
      outer = place[0];
    } else if constexpr (L.outerLike) {
      u64 lo = place[0] < place[1] ? place[0] : place[1];
      u64 hi = place[0] < place[1] ? place[1] : place[0];
      outer = hi * (hi - 1) / 2 + lo;
    } else {
      outer = place[0] * L.outerPlaces[1] + place[1];
    }
  }
  return static_cast<u32>(inner * L.outerMultiplier + outer);
}

#define TB_LAYOUTS(id, name, wtm, btm)                                   \
  static constexpr TbLayout TbLayout_##name##_wtm = TbMakeLayout(#name, 0); \
  static constexpr TbLayout TbLayout_##name##_btm = TbMakeLayout(#name, 1);
TB_TABLE_ROWS(TB_LAYOUTS)
#undef TB_LAYOUTS

#define TB_DEFINE_INDEX_FUNCTIONS(id, name, wtm, btm)                                      \
  u32 Index_##name##_wtm(u32* whiteColour, u32* blackColour, u32 epSquare, i32 invert) {   \
    return TbIndex<TbLayout_##name##_wtm>(whiteColour, blackColour, epSquare, invert);     \
  }                                                                                        \
  u32 Index_##name##_btm(u32* whiteColour, u32* blackColour, u32 epSquare, i32 invert) {   \
    return TbIndex<TbLayout_##name##_btm>(whiteColour, blackColour, epSquare, invert);     \
  }
TB_TABLE_ROWS(TB_DEFINE_INDEX_FUNCTIONS)
#undef TB_DEFINE_INDEX_FUNCTIONS

#define TB_LAYOUT_POINTERS(id, name, wtm, btm) {&TbLayout_##name##_wtm, &TbLayout_##name##_btm},
static const TbLayout* const TbLayoutTable[TbRowCount][2] = {
    {nullptr, nullptr}, TB_TABLE_ROWS(TB_LAYOUT_POINTERS)};
#undef TB_LAYOUT_POINTERS

u64 TbIndexRange(int row, int side) {
  if (row < 1 || row >= TbRowCount || side < 0 || side > 1) return 0;
  BuildTbIndexTables();
  const TbLayout& layout = *TbLayoutTable[row][side];
  return TbInnerTotal(layout) * layout.outerMultiplier + TbEnPassantBlock(layout);
}
