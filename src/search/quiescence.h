// The quiescence search below the horizon: captures and promotions (evasions in check) until
// the position is quiet enough to trust the static evaluation.
#pragma once

#include "board/board.h"

struct SearchFrame;

// Delta margin by plies below the horizon (index (-depth64) / 64, at most 9).
extern const i32 QuiesceDeltaMargin[10];

// Score from the side to move's view; depth64 is 0 at the horizon and falls by 64 a ply.
i32 Quiesce(SearchFrame* frame, i32 alpha, i32 beta, i32 depth64);

// The static evaluation of the frame's board (the same in the main search): the material
// balance scaled by eval_material with material_only, else the network. Either is kept
// within +-10000, below the mate band. Leaves the recogniser code in the frame (4: drawn).
i32 StaticEvaluation(SearchFrame* frame);


