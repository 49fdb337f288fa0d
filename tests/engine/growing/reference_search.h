// A straightforward split search and staged growth kept as the oracle of the identity tests.
#pragma once

#include <vector>

#include "staged_lookahead.h"

namespace tarmel::reference {

// Grows the staged tree over the objects as the engine's GrowSubtree does (depth 0).
TSubtree GrowSubtree(RunContext& rc, const std::vector<int32_t>& objects,
                     const FeatureFlags& available, int32_t prevFeature);

}  // namespace tarmel::reference
