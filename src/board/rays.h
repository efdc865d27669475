// Per-square lists of target squares for every piece kind, built once at start-up; their node
// order fixes the order in which moves are generated.
#pragma once

#include "board/types.h"

struct RayNode {
  u32 move;      // from the list's square to `to`, promotion 12 (0 in pawn-capture nodes)
  u32 to;
  i32 tag;       // direction 0..7; -3 knight; pawn captures 1 lower file, 2 higher file
  u32 distance;  // steps from the list's square (sliders)
  RayNode* nextIfEmpty;
  RayNode* nextRay;
};

constexpr i32 KnightTag = -3;
constexpr i32 KnightStepRank[8] = {1, -1, 2, -2, 1, -1, 2, -2};
constexpr i32 KnightStepFile[8] = {2, 2, 1, 1, -2, -2, -1, -1};

extern RayNode* KnightRays[64];
extern RayNode* KingRays[64];
extern RayNode* RookRays[64];
extern RayNode* BishopRays[64];
extern RayNode* QueenRays[64];
extern RayNode* PawnCaptureRaysUp[64];
extern RayNode* PawnCaptureRaysDown[64];
extern RayNode** RaysByPiece[12];

// A new rook list for the square: rays north, south, west, east.
RayNode* BuildRookRays(u32 square);
// A new bishop list for the square: rays north-east, south-east, north-west, south-west.
RayNode* BuildBishopRays(u32 square);
// Builds every list table and RaysByPiece (first call only).
void BuildRayLists();
