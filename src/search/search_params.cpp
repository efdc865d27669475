// Taking the search parameters from the registry, each held to its range.
#include "search/search_params.h"

#include "config/params.h"

// The registry's defaults, so that a search started without LoadSearchParams behaves too.
SearchParams ActiveParams = {
    .extCheck = 64, .extSingle = 64, .extThreat = 64, .extPawnOn7th = 64, .extPawnEndgame = 128,
    .extRetake = 22, .extPv = 32, .extPerPly = 64, .staticPruneDepth = 192, .nullRedDepth = 128,
    .evalMaterial = 64, .msPrune = 96, .pruneMargin = 64, .msPruneFirst = 2, .ksNullReduce = 999,
    .ksThreatExt = 999, .ksPruneMove = 999, .ksQsMargin = 999, .ksQsBreak = 999,
    .ksWorstWeight = 0, .egtbDepth = 192, .qsPrune1 = true, .qsPrune2 = true,
    .materialOnly = false};

static i32 Held(i32 value, i32 minimum, i32 maximum) {
  return value < minimum ? minimum : value > maximum ? maximum : value;
}

void LoadSearchParams() {
  SearchParams& p = ActiveParams;
  p.extCheck = Held(ext_check, 0, 192);
  p.extSingle = Held(ext_single, 0, 192);
  p.extThreat = Held(ext_threat, 0, 192);
  p.extPawnOn7th = Held(ext_pawnon7th, 0, 192);
  p.extPawnEndgame = Held(ext_pawn_endgame, 0, 192);
  p.extRetake = Held(ext_retake, 0, 192);
  p.extPv = Held(ext_pv, 0, 192);
  p.extPerPly = Held(ext_per_ply, 0, 192);
  p.staticPruneDepth = Held(static_prune_depth, 0, 1024);
  p.nullRedDepth = Held(null_red_depth, 0, 384);
  p.evalMaterial = Held(eval_material, 0, 192);
  p.msPrune = Held(ms_prune, 0, 256);
  p.pruneMargin = Held(prune_margin, 0, 512);
  p.msPruneFirst = Held(ms_prune_first, 1, 40);
  p.ksNullReduce = Held(ks_null_reduce, 0, 999);
  p.ksThreatExt = Held(ks_threat_ext, 0, 999);
  p.ksPruneMove = Held(ks_prune_move, 0, 999);
  p.ksQsMargin = Held(ks_qs_margin, 0, 999);
  p.ksQsBreak = Held(ks_qs_break, 0, 999);
  p.ksWorstWeight = Held(ks_worst_weight, 0, 200);
  p.egtbDepth = Held(egtb_depth, 0, 1280);
  p.qsPrune1 = qs_prune_1 != 0;
  p.qsPrune2 = qs_prune_2 != 0;
  p.materialOnly = material_only != 0;
}
