// The network's inputs and training target for one record: the active feature rows seen from
// the side to move and from the other side, in the weight file's row numbering.
#pragma once

#include "common/training_record.h"

// Rows are 64 x block + square: blocks 0-5 the perspective's own P N B R Q K, 6-11 the
// opponent's; squares rank by rank from the perspective's own side (Black's board mirrored).
struct PositionFeatures {
  u16 own[32];    // seen from the side to move
  u16 other[32];  // seen from the other side
  int count;
};

// The file row of a piece code on a file-major square, from the perspective of one colour.
constexpr u32 TrainingFeatureRow(u32 perspective, u32 piece, u32 square) {
  const u32 rankMajor = 8 * RankOf(square) + FileOf(square);
  const u32 block = (ColourOf(piece) == perspective ? 0 : 6) + TypeOf(piece);
  return 64 * block + (perspective == White ? rankMajor : rankMajor ^ 56);
}

void ExtractFeatures(const TrainingRecord& record, PositionFeatures* features);
void ExtractFeatures(const TrainingPosition& position, PositionFeatures* features);

// Score units: the network's output y is in centipawns / 400, and sigmoid(score / 400) is the
// expected result.
constexpr float ScoreScale = 400.0f;

// lambda x result + (1 - lambda) x sigmoid(score / 400), both from the side to move's view;
// results count 1 for a win, 0.5 for a draw.
float TrainingTarget(const TrainingRecord& record, float lambda);
