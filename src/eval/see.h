// Two read-only measures taken from the attack map: the material a move wins or loses in the
// exchange on its target square, and the attack pressure around a king.
#pragma once

#include "board/attack_map.h"

// Exchange lists hold up to this many captures, 4-bit piece codes packed lowest first; a
// longer exchange on one square is cut there.
constexpr u32 SeeListCapacity = 16;

// Gain of the move for the side to move in centipawns; the board is not changed.
i32 StaticExchangeEval(const AttackMap* map, u32 move);

// The side about to move has `balance` and may take `capturedPiece` with the first entry of
// `list` or stop; the sides then alternate through the list. Returns that side's best balance.
i32 SeeRecurse(i32 balance, u8 capturedPiece, u32 entriesLeft, u64 list);

// The pieces of the colour that the other side attacks and the colour does not defend, and the
// sum of their values.
u64 HangingPieces(const Board* board, u32 colour);
i32 HangingValue(const Board* board, u32 colour);

// Attackers of the other colour on the king's square and on the 3x3 block around it (cut at
// the edge; the king's square counts twice).
i32 KingZoneAttacks(const Board* board, int colour);
