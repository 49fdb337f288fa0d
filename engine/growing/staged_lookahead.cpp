// Staged lookahead: grows a tree over a list of objects in stages of increasing depth limit.
// The first stage searches to the whole part of RecursiveComplexity with every feature it
// is given; when the parameter has a fraction, further stages search one level deeper each
// with a shrinking share of the features that scored best in the stage before. A later
// stage's tree replaces the kept one only when its top quality is strictly lower.
#include "staged_lookahead.h"

#include <cmath>
#include <numeric>

#include "split_search.h"

namespace tarmel {
namespace {

// How many features a deeper stage of this depth limit may search: frac ^ (depth - 1) of
// them, computed through the logarithm. An integral parameter runs no deeper stage; so
// does a negative one, whose fraction has no logarithm.
int32_t StageFeatureCount(const RunContext& rc, int32_t maxDepth) {
  const double frac = rc.Params->RecursiveComplexity - rc.RecursionDepth;
  if (frac <= 0) return 0;
  const double share = std::exp(std::log(frac) * (maxDepth - 1));
  return static_cast<int32_t>(share * rc.FeaturesNumber);
}

// Whether a deeper stage may search this many features.
bool DeeperStageRuns(int32_t m, int32_t maxDepth) { return !(m <= 1 || m < maxDepth); }

// Whether the stage after the current one runs and so reads the current one's scores.
bool NextStageRuns(const RunContext& rc) {
  if (rc.MaxDepth == rc.FeaturesNumber) return false;
  return DeeperStageRuns(StageFeatureCount(rc, rc.MaxDepth + 1), rc.MaxDepth + 1);
}

// Features 1..FeaturesNumber with the m lowest scores moved to positions 1..m by selection.
std::vector<int32_t> RankFeatures(const RunContext& rc, int32_t m) {
  std::vector<int32_t> order(static_cast<size_t>(rc.FeaturesNumber) + 1);
  std::iota(order.begin(), order.end(), 0);
  for (int32_t p = 1; p <= m; ++p) {
    int32_t lowest = p;
    for (int32_t q = p + 1; q <= rc.FeaturesNumber; ++q) {
      // Strictly lower only: the first lowest score keeps its place on ties.
      if (rc.FeatureScore[order[q]] < rc.FeatureScore[order[lowest]]) lowest = q;
    }
    std::swap(order[p], order[lowest]);
  }
  return order;
}

void ResetScores(RunContext& rc) {
  for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) {
    rc.FeatureScore[f] = Infinity;
    rc.FeatureHits[f] = 0;
  }
}

void AverageScores(RunContext& rc) {
  for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) {
    if (rc.FeatureHits[f] > 0) rc.FeatureScore[f] = rc.FeatureScore[f] / rc.FeatureHits[f];
  }
}

}  // namespace

bool SelectStageFeatures(RunContext& rc, const FeatureFlags& available,
                         FeatureFlags& stageAvailable, int32_t& m) {
  if (rc.MaxDepth == 1 || rc.MaxDepth <= rc.RecursionDepth) {
    stageAvailable = available;
    m = rc.FeaturesNumber;
    return true;
  }
  m = StageFeatureCount(rc, rc.MaxDepth);
  if (!DeeperStageRuns(m, rc.MaxDepth)) return false;
  const std::vector<int32_t> order = RankFeatures(rc, m);
  // Features never credited in the stage before are dropped.
  while (rc.FeatureScore[order[m]] == Infinity && m > 1) --m;
  if (m < 2) return false;
  stageAvailable.fill(false);
  for (int32_t p = 1; p <= m; ++p) stageAvailable[order[p]] = true;
  return true;
}

TSubtree GrowSubtree(RunContext& rc, std::span<const int32_t> objects,
                     const FeatureFlags& available, int32_t depth0, int32_t prevFeature) {
  TSubtree kept;
  rc.MaxDepth = rc.RecursionDepth - 1;
  while (true) {
    ++rc.MaxDepth;
    FeatureFlags stageAvailable{};
    int32_t m = 0;
    if (!SelectStageFeatures(rc, available, stageAvailable, m)) break;
    ResetScores(rc);
    rc.ScoresRead = CreditLastStage || NextStageRuns(rc);
    OwnedTree root(new TVertex);
    const TGrowResult grown =
        GrowVertex(rc, root.get(), objects, stageAvailable, depth0, prevFeature);
    // Strictly lower only: an equal later stage leaves the earlier tree. The first stage's
    // tree is always kept, so the caller gets a tree even from a quality that is not a number.
    if (!kept.Tree || grown.Quality < kept.Quality) {
      kept.Tree = std::move(root);
      kept.Quality = grown.Quality;
      kept.Leaves = grown.Leaves;
      kept.Misclassified = grown.Misclassified;
    }
    AverageScores(rc);
    if (rc.MaxDepth == rc.FeaturesNumber) break;
  }
  return kept;
}

}  // namespace tarmel
