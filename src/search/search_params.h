// The parameters the search reads: held to their ranges once per search, and the king-safety
// rules that some of them switch.
#pragma once

#include "board/types.h"

// A king-safety rule (the ks_* parameters) fires when the king-zone attack count reaches its
// parameter; a parameter below 1 fires always, one above 998 never, and the count is taken
// only when it decides.
constexpr i32 KingRuleOffAbove = 998;
template <typename Count>
inline bool KingRuleFires(i32 parameter, Count attackCount) {
  if (parameter < 1) return true;
  if (parameter > KingRuleOffAbove) return false;
  return attackCount() >= parameter;
}

// The parameters the search reads, taken once per search. The registry stores values
// unchecked, so each is held to the range it shows for it: every value then behaves as
// some value the user could have meant, and none sizes, indexes or overflows anything.
struct SearchParams {
  i32 extCheck, extSingle, extThreat, extPawnOn7th, extPawnEndgame, extRetake, extPv, extPerPly;
  i32 staticPruneDepth, nullRedDepth, evalMaterial, msPrune, pruneMargin, msPruneFirst;
  i32 ksNullReduce, ksThreatExt, ksPruneMove, ksQsMargin, ksQsBreak, ksWorstWeight;
  i32 egtbDepth;
  bool qsPrune1, qsPrune2, materialOnly;
};
extern SearchParams ActiveParams;
// Reads the registry's variables into ActiveParams (SearchRoot does it at every start).
void LoadSearchParams();
