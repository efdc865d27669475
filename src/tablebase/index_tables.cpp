// Building the king-pair numberings, square enumerations and offset tables of the index functions.
#include "tablebase/index_tables.h"

#include <cstdlib>

i16 TbKingPairsPawn[64 * 64];
i16 TbKingPairsPawnless[64 * 64];
u8 TbEnumTable[TbKindCount][64 * 64];
u8 TbEnumCount[TbKindCount][64];
u64 TbOffsets1Pawn[TbKindCount][TbPawnKingPairCount];
u64 TbOffsets1Pawnless[TbKindCount][TbPawnlessKingPairCount];
u64 TbOffsets2Pawn[TbKindCount][TbKindCount][TbPawnKingPairCount];
u64 TbOffsets2Pawnless[TbKindCount][TbKindCount][TbPawnlessKingPairCount];
u64 TbOffsets1PawnTotal[TbKindCount];
u64 TbOffsets1PawnlessTotal[TbKindCount];
u64 TbOffsets2PawnTotal[TbKindCount][TbKindCount];
u64 TbOffsets2PawnlessTotal[TbKindCount][TbKindCount];

static bool TbNextTo(u32 a, u32 b) {
  int df = std::abs(static_cast<int>(TbFile(a)) - static_cast<int>(TbFile(b)));
  int dr = std::abs(static_cast<int>(TbRank(a)) - static_cast<int>(TbRank(b)));
  return df <= 1 && dr <= 1 && a != b;
}

static void BuildKingPairs() {
  i16 pawn = 0;
  i16 pawnless = 0;
  for (u32 k1 = 0; k1 < 64; ++k1) {
    for (u32 k2 = 0; k2 < 64; ++k2) {
      TbKingPairsPawn[k1 * 64 + k2] = TbNoKingPair;
      TbKingPairsPawnless[k1 * 64 + k2] = TbNoKingPair;
      if (k1 == k2 || TbNextTo(k1, k2)) continue;
      if (TbFile(k1) <= 3) TbKingPairsPawn[k1 * 64 + k2] = pawn++;
      bool onDiagonal = TbFile(k1) == TbRank(k1);
      if (TbInTriangle[k1] && (!onDiagonal || TbBelowDiagonal[k2]))
        TbKingPairsPawnless[k1 * 64 + k2] = pawnless++;
    }
  }
}

// The squares from which a man of the side to move would give a check that nothing can block.
static bool TbExcluded(int kind, u32 k, u32 s) {
  int df = static_cast<int>(TbFile(s)) - static_cast<int>(TbFile(k));
  int dr = static_cast<int>(TbRank(s)) - static_cast<int>(TbRank(k));
  switch (kind) {
    case TbKindFreePawn: return false;
    case TbKindPawn:
      return (TbFile(s) > 0 && s + 7 == k) || (TbFile(s) < 7 && s + 9 == k);
    case TbKindKnight: return df * df + dr * dr == 5;
    case TbKindBishop: return df * df == 1 && dr * dr == 1;
    case TbKindRook: return df * df + dr * dr == 1;
    default: return TbNextTo(k, s);
  }
}

static void BuildEnumTables() {
  for (int kind = 0; kind < TbKindCount; ++kind) {
    bool pawn = kind <= TbKindPawn;
    for (u32 k = 0; k < 64; ++k) {
      u8 next = 0;
      for (u32 s = 0; s < 64; ++s) {
        u8& entry = TbEnumTable[kind][k * 64 + s];
        entry = 255;
        if (pawn && (s < 8 || s > 55)) continue;
        if (s == k || TbExcluded(kind, k, s)) continue;
        entry = next++;
      }
      TbEnumCount[kind][k] = next;
    }
  }
}

// One offset table: per numbered king pair the running sum of the block sizes before it.
// kindB < 0 builds a one-man table; kindA == kindB an unordered pair of like men.
static u64 BuildOffsets(const i16* kingPairs, u64* offsets, int kindA, int kindB) {
  u64 sum = 0;
  for (u32 k1 = 0; k1 < 64; ++k1) {
    for (u32 k2 = 0; k2 < 64; ++k2) {
      i16 pair = kingPairs[k1 * 64 + k2];
      if (pair == TbNoKingPair) continue;
      offsets[pair] = sum;
      u64 a = TbPlacesInBlock(kindA, k1, k2);
      if (kindB < 0) {
        sum += a;
      } else if (kindA == kindB) {
        sum += a * (a - 1) / 2;
      } else {
        sum += a * TbPlacesInBlock(kindB, k1, k2);
      }
    }
  }
  return sum;
}

static void BuildOffsetTables() {
  for (int i = 0; i < TbKindCount; ++i) {
    TbOffsets1PawnTotal[i] = BuildOffsets(TbKingPairsPawn, TbOffsets1Pawn[i], i, -1);
    if (i >= TbKindKnight) {
      TbOffsets1PawnlessTotal[i] =
          BuildOffsets(TbKingPairsPawnless, TbOffsets1Pawnless[i], i, -1);
    }
  }
  for (int p = TbKindFreePawn; p <= TbKindPawn; ++p)
    TbOffsets2PawnTotal[p][p] = BuildOffsets(TbKingPairsPawn, TbOffsets2Pawn[p][p], p, p);
  for (int i = TbKindKnight; i < TbKindCount; ++i) {
    for (int j = TbKindPawn; j <= i; ++j) {
      TbOffsets2PawnTotal[i][j] = BuildOffsets(TbKingPairsPawn, TbOffsets2Pawn[i][j], i, j);
      if (j >= TbKindKnight) {
        TbOffsets2PawnlessTotal[i][j] =
            BuildOffsets(TbKingPairsPawnless, TbOffsets2Pawnless[i][j], i, j);
      }
    }
  }
}

void BuildTbIndexTables() {
  // A function-local static makes the one build safe even if two threads ask at once.
  static const bool built = [] {
    BuildKingPairs();
    BuildEnumTables();
    BuildOffsetTables();
    return true;
  }();
  (void)built;
}
