// Zobrist keys of positions, drawn once at start-up from a Mersenne-Twister generator with a
// fixed seed and order: the opening-book files store these keys.
#pragma once

#include "board/types.h"

// MT19937, 32-bit words, seeded by repeated multiplication.
struct MT19937 {
  u32 state[624];
  i32 index;
};

// Seeds the generator the old way: state[i] = state[i - 1] * 69069.
void SeedMT19937(MT19937* generator, u32 seed);
u32 NextMT19937(MT19937* generator);

extern MT19937 ZobristGenerator;

extern u64 ZobristSide;
extern u64 ZobristCastle[4];      // same index as Board::castleRights
extern u64 ZobristEnPassant[65];  // 64 = no en-passant square
extern u64 ZobristPieceSquare[12][64];

constexpr u32 ZobristSeed = 12347;

// The next output of the key generator.
u32 NextRandom32();
// Seeds the generator and draws every key in the fixed order (first call only; later calls
// change nothing).
void InitZobristKeys();

struct Board;
// The keys computed from scratch from the board's squares, rights, en-passant square and side.
u64 ComputeKey(const Board* board);
u64 ComputePawnKingKey(const Board* board);
