// PLACEHOLDER: to be implemented.
#include "staged_lookahead.h"

namespace tarmel {

TSubtree GrowSubtree(RunContext&, std::span<const int32_t>, const FeatureFlags&, int32_t,
                     int32_t) {
  TSubtree s;
  s.Tree.reset(new TVertex);
  return s;
}
bool SelectStageFeatures(RunContext&, const FeatureFlags&, FeatureFlags&, int32_t&) {
  return false;
}

}  // namespace tarmel
