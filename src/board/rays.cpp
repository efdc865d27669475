// The per-square ray lists. All nodes come from one fixed pool, filled list by list, so that a
// walk touches neighbouring memory.
#include "board/rays.h"

#include <mutex>

#include "board/attack_map.h"

RayNode* KnightRays[64];
RayNode* KingRays[64];
RayNode* RookRays[64];
RayNode* BishopRays[64];
RayNode* QueenRays[64];
RayNode* PawnCaptureRaysUp[64];
RayNode* PawnCaptureRaysDown[64];
RayNode** RaysByPiece[12];

namespace {

// Knights 336, kings 420, rooks 896, bishops 560, queens 1456, pawn captures 2 x 98, with room
// for lists built on their own; beyond it nodes come from the heap (and live just as long).
constexpr int NodePoolSize = 8192;
RayNode nodePool[NodePoolSize];
int nodesUsed = 0;

RayNode* NewNode(u32 from, u32 to, i32 tag, u32 distance) {
  RayNode* node = nodesUsed < NodePoolSize ? &nodePool[nodesUsed++] : new RayNode;
  node->move = from | (to << 6) | (NoPromotion << 12);
  node->to = to;
  node->tag = tag;
  node->distance = distance;
  node->nextIfEmpty = nullptr;
  node->nextRay = nullptr;
  return node;
}

bool OnBoard(i32 file, i32 rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Rays in the given direction order, each from the nearest square outward. Every node of a ray
// links by nextRay to the next non-empty ray's head, and a ray's last node continues there too.
RayNode* BuildSliderRays(u32 square, const int (&directions)[4]) {
  RayNode* rayHeads[4] = {};
  RayNode* rayTails[4] = {};
  int rays = 0;
  for (int direction : directions) {
    i32 file = FileOf(square), rank = RankOf(square);
    RayNode* previous = nullptr;
    for (u32 steps = 1;; ++steps) {
      file += KingStepFile[direction];
      rank += KingStepRank[direction];
      if (!OnBoard(file, rank)) break;
      RayNode* node = NewNode(square, MakeSquare(file, rank), direction, steps);
      if (previous) previous->nextIfEmpty = node;
      else rayHeads[rays] = node;
      previous = node;
    }
    if (previous) rayTails[rays++] = previous;
  }
  for (int ray = 0; ray + 1 < rays; ++ray) {
    for (RayNode* node = rayHeads[ray]; node; node = node->nextIfEmpty) node->nextRay = rayHeads[ray + 1];
    rayTails[ray]->nextIfEmpty = rayHeads[ray + 1];
  }
  return rayHeads[0];
}

// Knight and king lists: every node leads to the next whatever stands on it.
RayNode* BuildStepList(u32 square, const i32* stepRank, const i32* stepFile, const i32* tags) {
  RayNode* head = nullptr;
  RayNode* previous = nullptr;
  for (int i = 0; i < 8; ++i) {
    i32 file = FileOf(square) + stepFile[i], rank = RankOf(square) + stepRank[i];
    if (!OnBoard(file, rank)) continue;
    RayNode* node = NewNode(square, MakeSquare(file, rank), tags[i], 1);
    if (previous) previous->nextIfEmpty = previous->nextRay = node;
    else head = node;
    previous = node;
  }
  return head;
}

// Pawn captures toward the lower file (tag 1), then toward the higher file (tag 2).
RayNode* BuildPawnCaptures(u32 square, i32 rankStep) {
  i32 rank = RankOf(square) + rankStep;
  if (rank < 0 || rank > 7) return nullptr;
  RayNode* head = nullptr;
  RayNode* previous = nullptr;
  for (i32 fileStep : {-1, 1}) {
    i32 file = FileOf(square) + fileStep;
    if (file < 0 || file > 7) continue;
    RayNode* node = NewNode(square, MakeSquare(file, rank), fileStep < 0 ? 1 : 2, 1);
    node->move = 0;
    if (previous) previous->nextIfEmpty = previous->nextRay = node;
    else head = node;
    previous = node;
  }
  return head;
}

constexpr int RookDirections[4] = {0, 4, 6, 2};
constexpr int BishopDirections[4] = {1, 3, 7, 5};

void BuildAll() {
  constexpr i32 knightTags[8] = {KnightTag, KnightTag, KnightTag, KnightTag,
                                 KnightTag, KnightTag, KnightTag, KnightTag};
  constexpr i32 kingTags[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  for (u32 s = 0; s < 64; ++s) KnightRays[s] = BuildStepList(s, KnightStepRank, KnightStepFile, knightTags);
  for (u32 s = 0; s < 64; ++s) KingRays[s] = BuildStepList(s, KingStepRank, KingStepFile, kingTags);
  for (u32 s = 0; s < 64; ++s) RookRays[s] = BuildRookRays(s);
  for (u32 s = 0; s < 64; ++s) BishopRays[s] = BuildBishopRays(s);
  for (u32 s = 0; s < 64; ++s) {
    RayNode* rook = BuildRookRays(s);
    RayNode* bishop = BuildBishopRays(s);
    // The rook list's last ray now continues into the bishop list.
    RayNode* lastRay = rook;
    while (lastRay->nextRay) lastRay = lastRay->nextRay;
    RayNode* node = lastRay;
    for (;;) {
      node->nextRay = bishop;
      if (!node->nextIfEmpty) break;
      node = node->nextIfEmpty;
    }
    node->nextIfEmpty = bishop;
    QueenRays[s] = rook;
  }
  for (u32 s = 0; s < 64; ++s) PawnCaptureRaysUp[s] = BuildPawnCaptures(s, 1);
  for (u32 s = 0; s < 64; ++s) PawnCaptureRaysDown[s] = BuildPawnCaptures(s, -1);
  RaysByPiece[WhitePawn] = PawnCaptureRaysUp;
  RaysByPiece[BlackPawn] = PawnCaptureRaysDown;
  RaysByPiece[WhiteKnight] = RaysByPiece[BlackKnight] = KnightRays;
  RaysByPiece[WhiteBishop] = RaysByPiece[BlackBishop] = BishopRays;
  RaysByPiece[WhiteRook] = RaysByPiece[BlackRook] = RookRays;
  RaysByPiece[WhiteQueen] = RaysByPiece[BlackQueen] = QueenRays;
  RaysByPiece[WhiteKing] = RaysByPiece[BlackKing] = KingRays;
}

std::once_flag listsBuilt;

}  // namespace

RayNode* BuildRookRays(u32 square) { return BuildSliderRays(square, RookDirections); }
RayNode* BuildBishopRays(u32 square) { return BuildSliderRays(square, BishopDirections); }

void BuildRayLists() { std::call_once(listsBuilt, BuildAll); }
