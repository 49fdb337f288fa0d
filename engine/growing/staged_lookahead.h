// Staged lookahead: grows a tree in stages of increasing depth limit. The whole part of
// RecursiveComplexity is the first stage's depth; its fraction lets further, deeper stages
// run on a shrinking set of the best-scored features. The strictly best stage's tree wins.
#pragma once

#include <span>

#include "run_context.h"

namespace tarmel {

struct TSubtree {
  OwnedTree Tree;              // heap tree owned by the caller
  int32_t Leaves = 1;
  int32_t Misclassified = 0;
  double Quality = Infinity;   // top quality of the kept stage
};

// Whether the last stage credits its features in full although no stage reads its scores.
// A variable only so that the tests can compare those scores too.
inline bool CreditLastStage = false;

TSubtree GrowSubtree(RunContext& rc, std::span<const int32_t> objects,
                     const FeatureFlags& available, int32_t depth0, int32_t prevFeature);

// Features of the stage at rc.MaxDepth; false when no further stage is to be run.
bool SelectStageFeatures(RunContext& rc, const FeatureFlags& available,
                         FeatureFlags& stageAvailable, int32_t& m);

}  // namespace tarmel
