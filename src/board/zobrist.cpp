// The key generator and the key tables. The seed, the generator and the order of the draws
// are part of the opening-book file format: changing any of them makes existing books unreadable.
#include "board/zobrist.h"

#include <mutex>

#include "board/board.h"

MT19937 ZobristGenerator;

u64 ZobristSide;
u64 ZobristCastle[4];
u64 ZobristEnPassant[65];
u64 ZobristPieceSquare[12][64];

void SeedMT19937(MT19937* generator, u32 seed) {
  generator->state[0] = seed;
  for (int i = 1; i < 624; ++i) generator->state[i] = generator->state[i - 1] * 69069u;
  generator->index = 624;
}

u32 NextMT19937(MT19937* generator) {
  u32* state = generator->state;
  u32 y;
  if (generator->index > 623) {
    for (int k = 0; k < 624; ++k) {
      u32 mixed = (state[k] & 0x80000000u) | (state[(k + 1) % 624] & 0x7fffffffu);
      state[k] = state[(k + 397) % 624] ^ (mixed >> 1) ^ ((mixed & 1) ? 0x9908b0dfu : 0u);
    }
    y = state[0];
    generator->index = 1;
  } else {
    y = state[generator->index++];
  }
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

u32 NextRandom32() { return NextMT19937(&ZobristGenerator); }

namespace {

// The first output is the low half, the second the high half.
u64 NextKey() {
  u64 low = NextRandom32();
  u64 high = NextRandom32();
  return low | (high << 32);
}

void DrawKeys() {
  SeedMT19937(&ZobristGenerator, ZobristSeed);
  ZobristSide = NextKey();
  for (int right : {2, 0, 3, 1}) ZobristCastle[right] = NextKey();
  for (u64& key : ZobristEnPassant) key = NextKey();
  for (auto& piece : ZobristPieceSquare)
    for (u64& key : piece) key = NextKey();
}

std::once_flag keysDrawn;

}  // namespace

void InitZobristKeys() { std::call_once(keysDrawn, DrawKeys); }

u64 ComputeKey(const Board* board) {
  u64 key = ZobristEnPassant[board->epSquare];
  for (u32 s = 0; s < 64; ++s)
    if (board->squares[s] != Empty) key ^= ZobristPieceSquare[board->squares[s]][s];
  for (int right = 0; right < 4; ++right)
    if (board->castleRights[right] & 1) key ^= ZobristCastle[right];
  if (SideToMove(board) == Black) key ^= ZobristSide;
  return key;
}

u64 ComputePawnKingKey(const Board* board) {
  u64 key = 0;
  for (u32 s = 0; s < 64; ++s) {
    u32 piece = board->squares[s];
    if (piece == WhitePawn || piece == BlackPawn || piece == WhiteKing || piece == BlackKing)
      key ^= ZobristPieceSquare[piece][s];
  }
  return key;
}
