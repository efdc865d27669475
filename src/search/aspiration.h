// The aspiration windows of the root search: the first window of an iteration around the
// previous score, and the steps by which the side of a window that failed is moved out.
#pragma once

#include "board/types.h"

constexpr i32 FirstWindowBelow = 20;
constexpr i32 FirstWindowAbove = 10;
// Each failure on one side moves that side past the score returned by the next step; after
// the steps it goes to the caller's last stage.
constexpr i32 AspirationSteps[] = {50, 200};
constexpr i32 AspirationStepCount = sizeof(AspirationSteps) / sizeof(AspirationSteps[0]);

// The new alpha after a fail low with the score v, stage counting the earlier fail lows.
constexpr i32 WidenedAlpha(i32 v, i32 stage, i32 lastStage) {
  return stage < AspirationStepCount ? v - AspirationSteps[stage] : lastStage;
}
// The new beta after a fail high with the score v, stage counting the earlier fail highs.
constexpr i32 WidenedBeta(i32 v, i32 stage, i32 lastStage) {
  return stage < AspirationStepCount ? v + AspirationSteps[stage] : lastStage;
}
