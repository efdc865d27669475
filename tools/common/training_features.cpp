// Feature rows and targets of training records.
#include "common/training_features.h"

#include <cmath>

static void AddPiece(PositionFeatures* features, u32 sideToMove, u32 piece, u32 square) {
  const int i = features->count++;
  features->own[i] = static_cast<u16>(TrainingFeatureRow(sideToMove, piece, square));
  features->other[i] = static_cast<u16>(TrainingFeatureRow(sideToMove ^ 1, piece, square));
}

void ExtractFeatures(const TrainingRecord& record, PositionFeatures* features) {
  u8 squares[32];
  u8 pieces[32];
  const int count = RecordPieces(record, squares, pieces);
  const u32 sideToMove = RecordSideToMove(record);
  features->count = 0;
  for (int i = 0; i < count; ++i) {
    if (pieces[i] < Empty) AddPiece(features, sideToMove, pieces[i], squares[i]);
  }
}

void ExtractFeatures(const TrainingPosition& position, PositionFeatures* features) {
  features->count = 0;
  for (u32 square = 0; square < 64 && features->count < 32; ++square) {
    const u8 piece = position.squares[square];
    if (piece < Empty) AddPiece(features, position.sideToMove, piece, square);
  }
}

float TrainingTarget(const TrainingRecord& record, float lambda) {
  const bool whiteToMove = RecordSideToMove(record) == White;
  float result = 0.5f * static_cast<float>(RecordResult(record));  // White's view
  float score = static_cast<float>(RecordScore(record));
  if (!whiteToMove) {
    result = 1.0f - result;
    score = -score;
  }
  const float expected = 1.0f / (1.0f + std::exp(-score / ScoreScale));
  return lambda * result + (1.0f - lambda) * expected;
}
