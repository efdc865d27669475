// Gen-0 network, written by hand rather than trained.
//
// A pair of hidden units a = c + m, b = c - m turns the clipped square into a linear term:
// a^2 - b^2 = 4cm. The constant c comes from the king rows (both kings are always on the
// board), m from the piece rows: +k per own piece, -k per opponent piece of one kind. The
// pair's output weights are +w/-w on the side to move's half and -w/+w on the other, where m
// has the opposite sign, so the pair adds 8ckw per unit of piece-count difference to the
// output sum. With w = 181^2 the divisor 181^2 * 64 leaves ckq/8 centipawns per unit for q
// equal pairs: every term below is an exact whole number of centipawns, and no unit ever
// leaves 0..181 (c - |m| >= 0 and c + |m| <= 181 for the largest piece counts a game can reach).
#include "gen0_material.h"

#include <cstring>

#include "board/types.h"

constexpr i32 PairOutputWeight = NnueQA * NnueQA;  // 32761

struct MaterialTerm {
  u32 kind;       // 0 pawn .. 4 queen
  i32 value;      // centipawns per piece
  i32 c;          // constant from the king rows
  i32 k;          // row weight per piece
  i32 maxCount;   // most pieces of the kind one side can have
  i32 pairs;      // value = c * k * pairs / 8
};

// Piece values as the engine counts material.
constexpr MaterialTerm MaterialTerms[] = {
    {0, PieceValue[WhitePawn], 80, 10, 8, 1},
    {1, PieceValue[WhiteKnight], 122, 5, 10, 4},
    {2, PieceValue[WhiteBishop], 130, 5, 10, 4},
    {3, PieceValue[WhiteRook], 100, 8, 10, 5},
    {4, PieceValue[WhiteQueen], 100, 8, 10, 10},
};

constexpr bool TermIsExactAndInRange(const MaterialTerm& t) {
  return t.c * t.k * t.pairs == 8 * t.value && t.k * t.maxCount <= t.c &&
         t.c + t.k * t.maxCount <= NnueQA;
}
static_assert(TermIsExactAndInRange(MaterialTerms[0]));
static_assert(TermIsExactAndInRange(MaterialTerms[1]));
static_assert(TermIsExactAndInRange(MaterialTerms[2]));
static_assert(TermIsExactAndInRange(MaterialTerms[3]));
static_assert(TermIsExactAndInRange(MaterialTerms[4]));

// Piece-square terms, one pair per kind with c = 40, k = 1: 5 centipawns per table unit. Tables
// are indexed by the square counted rank by rank from the own side (a1 = 0, h1 = 7, a8 = 56).
// The bound |sum of own units - sum of opponent units| <= 40 holds for every legal count.
constexpr i32 PstC = 40;
static_assert(PstC * 1 * 1 == 8 * 5, "one PST unit is 5 centipawns");

static i32 Ring(u32 square) {  // 0 on the edge .. 3 in the four centre squares
  const i32 file = static_cast<i32>(square % 8), rank = static_cast<i32>(square / 8);
  const i32 df = file < 4 ? file : 7 - file, dr = rank < 4 ? rank : 7 - rank;
  return df < dr ? df : dr;
}
static i32 PawnUnits(u32 square) {  // at most 5: eight pawns stay within 40
  static constexpr i32 ByRank[8] = {0, 0, 0, 1, 2, 3, 5, 0};
  const u32 file = square % 8, rank = square / 8;
  const bool centre = file == 3 || file == 4;
  return ByRank[rank] + ((centre && (rank == 3 || rank == 4)) ? 1 : 0);
}
static i32 KnightUnits(u32 square) {  // -1..3: ten own at 3, ten opponents at -1 give 40
  static constexpr i32 ByRing[4] = {-1, 0, 2, 3};
  return ByRing[Ring(square)];
}
static i32 BishopUnits(u32 square) {  // -1..2
  static constexpr i32 ByRing[4] = {-1, 0, 1, 2};
  return ByRing[Ring(square)];
}
static i32 RookUnits(u32 square) { return square / 8 == 6 ? 2 : 0; }  // 0..2, the seventh rank

struct PstTerm {
  u32 kind;
  i32 (*units)(u32 square);
};
static const PstTerm PstTerms[] = {
    {0, PawnUnits}, {1, KnightUnits}, {2, BishopUnits}, {3, RookUnits}};

constexpr u32 KingKind = 5;

// One unit pair: constant c on the king rows, the given per-square piece weights, output +-w.
static void WritePair(NnueFileWeights* w, int unit, i32 c, u32 kind, const i32 rowWeight[64]) {
  const int a = unit, b = unit + 1;
  const i16 ownKing = static_cast<i16>(c / 2), oppKing = static_cast<i16>(c - c / 2);
  for (u32 s = 0; s < 64; ++s) {
    w->feature[FileFeatureRow(true, KingKind, s)][a] = ownKing;
    w->feature[FileFeatureRow(true, KingKind, s)][b] = ownKing;
    w->feature[FileFeatureRow(false, KingKind, s)][a] = oppKing;
    w->feature[FileFeatureRow(false, KingKind, s)][b] = oppKing;
    // The file counts an opponent's square from the perspective's own side too; its table
    // entry is the one from the opponent's side, the square mirrored.
    const i16 own = static_cast<i16>(rowWeight[s]), opponent = static_cast<i16>(rowWeight[s ^ 56]);
    w->feature[FileFeatureRow(true, kind, s)][a] = own;
    w->feature[FileFeatureRow(true, kind, s)][b] = static_cast<i16>(-own);
    w->feature[FileFeatureRow(false, kind, s)][a] = static_cast<i16>(-opponent);
    w->feature[FileFeatureRow(false, kind, s)][b] = opponent;
  }
  w->output[0][a] = PairOutputWeight;
  w->output[0][b] = -PairOutputWeight;
  w->output[1][a] = -PairOutputWeight;
  w->output[1][b] = PairOutputWeight;
}

void BuildGen0MaterialWeights(NnueFileWeights* weights) {
  std::memset(weights, 0, sizeof *weights);
  int unit = 0;
  i32 rowWeight[64];
  for (const MaterialTerm& t : MaterialTerms) {
    for (u32 s = 0; s < 64; ++s) rowWeight[s] = t.k;
    for (int pair = 0; pair < t.pairs; ++pair, unit += 2) {
      WritePair(weights, unit, t.c, t.kind, rowWeight);
    }
  }
  for (const PstTerm& t : PstTerms) {
    for (u32 s = 0; s < 64; ++s) rowWeight[s] = t.units(s);
    WritePair(weights, unit, PstC, t.kind, rowWeight);
    unit += 2;
  }
  weights->bias = 0;
}
