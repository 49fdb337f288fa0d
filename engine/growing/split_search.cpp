// Split search: grows the best subtree below one vertex. Every usable feature cuts the
// vertex's objects into its finest groups (numeric intervals around the distinct values,
// one group per nominal code); a subtree is grown below every group and below every
// candidate pair of groups, and the groups are merged two at a time, always the pair that
// gives the best quality, down to two groups. The best accepted partition over all features
// replaces the leaf only when it is strictly better. Every searched feature is credited with
// its best quality, which ranks the features for the deeper lookahead stages.
#include "split_search.h"

#include <array>
#include <cmath>

#include "search_repeats.h"
#include "search_stats.h"
#include "search_steps.h"

namespace tarmel {
namespace search {
namespace {

// Whether no partition of this many objects can be accepted: a group judged as a leaf
// needs MinNodeSize objects (of its largest class, in classification), so a vertex split
// into at least two groups holds twice that, and so does every group that is split.
bool TooFewForTwoLeaves(const RunContext& rc, int64_t objects) {
  return objects < 2 * static_cast<int64_t>(rc.MinNodeSize);
}

// Whether a feature's search can end once it is known that nothing can be accepted: at
// the depth limit, or when no later stage reads the credits its groups' subtrees make.
bool MayEndUnaccepted(const TVertexSearch& vs) { return vs.AtLimit || !ScoresRead(vs.rc); }

// Statistics of the vertex's own objects and its quality as a leaf.
void FillVertex(RunContext& rc, TVertex& v, std::span<const int32_t> objects, int32_t prevFeature,
                TGrowResult& result) {
  const int32_t n = static_cast<int32_t>(objects.size());
  TClassCounts counts{};
  double sum = 0.0;
  double squares = 0.0;
  for (int32_t i : objects) {
    if (rc.ClassesNumber > 0) CountClass(rc, i, counts);
    const double y = rc.TargetValue[i];
    sum += y;
    squares += y * y;
  }
  result.Misclassified = Misclassified(rc, counts);
  const double rate = PerObject(result.Misclassified, n);
  const double mean = PerObject(sum, n);
  result.Variance = PerObject(squares, n) - mean * mean;
  result.Cost = 0.0;
  if (prevFeature == 0) rc.RootVariance = result.Variance;
  FreeBranches(v.FirstBranch);
  v.ClassCounts = counts;
  v.Mean = mean;
  v.Variance = result.Variance;
  v.ObjCount = n;
  v.Terminal = IsHomogeneous(rc, rate, result.Variance) || n < rc.MinNodeSize;
  v.SplitFeature = 0;
  result.Leaves = 1;
  result.Quality = SplitQuality(rc, n, 1, rate, result.Variance, 0);
}

// Whether the vertex's qualities rate its partitions by their leaves and misclassified
// count alone: the weights are finite and not below 0, and the variance term vanishes
// (no weight on it, and a finite spread of the targets: they are all at most 1e100).
bool CountsRateAt(const RunContext& rc, std::span<const int32_t> objects) {
  for (double w : {rc.ClassificationWeight, rc.LeafWeight, rc.CostWeight}) {
    if (!(w >= 0 && std::isfinite(w))) return false;
  }
  if (rc.RegressionWeight != 0 || std::isnan(rc.RootVariance)) return false;
  for (int32_t i : objects) {
    if (!(std::fabs(rc.TargetValue[i]) <= 1e100)) return false;
  }
  return true;
}

}  // namespace

TPairOrder PairOrderAt(const RunContext& rc, bool atLimit) {
  if (!atLimit) return TPairOrder::Rated;
  if (rc.RegressionWeight == 0 && rc.ClassificationWeight >= 0) {
    return TPairOrder::ByMisclassified;
  }
  if (rc.ClassificationWeight == 0 && rc.RegressionWeight >= 0 && rc.RootVariance >= 0) {
    return TPairOrder::ByVarianceDrop;
  }
  return TPairOrder::Rated;
}

// At the depth limit a feature's search may stop early when the scores are not read and
// no weight can turn a larger error into a better quality.
bool MayStopAt(const RunContext& rc, bool atLimit) {
  return atLimit && !ScoresRead(rc) && rc.RegressionWeight >= 0 &&
         rc.ClassificationWeight >= 0 && rc.RootVariance >= 0 && rc.LeafWeight >= 0;
}

void SearchFeature(const TVertexSearch& vs, int32_t g, double leafQuality, TVertex& v,
                   TGrowResult& result) {
  vs.Available[g] = false;
  TFeatureSearch s(vs, g);
  s.NeverTie = ChangesNeverTie(s);
  s.LeafRows = vs.AtLimit && !s.Nominal && s.NeverTie;
  // A feature that cannot be used stays unavailable for the rest of this vertex's search.
  if (!CollectKnown(s)) return;
  if (FloorsRuleOut(s)) {
    vs.Available[g] = true;
    return;
  }
  if (!FormGroups(s)) return;
  if (s.LeafRows) KeepFineFloor(s);
  else if (vs.AtLimit && (s.Nominal || s.Spread)) KeepGroupsFloor(s);
  StartGroupFloors(s);
  if (TooFewForTwoLeaves(vs.rc, s.Known()) && MayEndUnaccepted(vs)) {
    // Nothing can be accepted: the feature is credited with the leaf quality.
    vs.Available[g] = true;
    AccumulateFeatureScores(vs.rc, s, leafQuality);
    return;
  }
  const double quality = GrowElementaryGroups(s);
  vs.Available[g] = true;
  s.B.BestGroups.reserve(static_cast<size_t>(s.Standing));
  ApplyAcceptance(s, quality);
  if (s.Standing > 2 && !CannotImprove(s)) RunMergeLoop(s);
  AccumulateFeatureScores(vs.rc, s, leafQuality);
  // Strictly better only: the leaf, or the lower-numbered feature, keeps an equal quality.
  if (s.Best < result.Quality) {
    if (vs.AtLimit) RebuildBestPartition(s);
    LinkBestPartition(s, v, result);
  }
}

}  // namespace search

void SearchScratchDeleter::operator()(TSearchScratch* scratch) const { delete scratch; }

TGrowResult GrowVertex(RunContext& rc, PVertex v, std::span<const int32_t> objects,
                       FeatureFlags available, int32_t depth, int32_t prevFeature) {
  using namespace search;
  // Floors handed down by the vertex above, for this vertex alone.
  TSearchScratch& scratch = ScratchOf(rc);
  const std::array<const TErrorFloor*, 2> floorsOf{scratch.FloorsOf[0], scratch.FloorsOf[1]};
  TErrorFloor* const floorsOut = scratch.FloorsOut;
  scratch.FloorsOf[0] = scratch.FloorsOf[1] = nullptr;
  scratch.FloorsOut = nullptr;
  ++depth;
  TGrowResult result;
  FillVertex(rc, *v, objects, prevFeature, result);
  if (v->Terminal) return result;
  // No split can be taken here, and no later stage reads the credits of the features.
  if (!ScoresRead(rc) && TooFewForTwoLeaves(rc, v->ObjCount)) return result;
  if (SearchFeaturesInParallel(rc, *v, objects, available, depth, prevFeature, result)) {
    return result;
  }
  const double leafQuality = result.Quality;
  const bool atLimit = depth >= rc.MaxDepth;
  // A search at the depth limit two levels or more below the outermost vertex may come up
  // again (see TRepeats); kept searches belong to the outermost vertex, already set up.
  const bool mayRepeat = scratch.Level > 0 && atLimit && depth >= 3;
  const TRepeatKey key = mayRepeat ? RepeatKeyOf(objects, available, prevFeature) : TRepeatKey{};
  if (mayRepeat && scratch.Repeats.Take(rc, key, objects, *v, result, floorsOut)) {
    return result;
  }
  TLevel level(rc, objects);
  const bool mayStop = MayStopAt(rc, atLimit);
  const TVertexSearch vs{.rc = rc,
                         .Objects = objects,
                         .N = static_cast<int32_t>(objects.size()),
                         .Depth = depth,
                         .PrevFeature = prevFeature,
                         .Available = available,
                         .Scratch = level.Scratch(),
                         .Buffers = level.Buffers(),
                         .AtLimit = atLimit,
                         .Order = PairOrderAt(rc, atLimit),
                         .MayStop = mayStop,
                         .CountsRate = !atLimit && CountsRateAt(rc, objects),
                         .VertexQuality = &result.Quality,
                         .FloorsOf = {mayStop ? floorsOf[0] : nullptr, mayStop ? floorsOf[1] : nullptr},
                         .FloorsOut = mayStop ? floorsOut : nullptr};
  StartFloorsOut(vs);
  // The credits of a search to be kept are made again when it is handed out.
  if (mayRepeat) {
    std::vector<TCredit>* made = scratch.Repeats.StartCredits();
    if (ScoresRead(rc)) scratch.CreditsMade = made;
  }
  for (int32_t g = 1; g <= rc.FeaturesNumber; ++g) {
    // A run given up keeps what this vertex has found so far and unwinds.
    if (rc.Cancel && rc.Cancel->Cancelled()) break;
    if (available[g] && g != prevFeature) SearchFeature(vs, g, leafQuality, *v, result);
  }
  scratch.CreditsMade = nullptr;
  if (mayRepeat && !(rc.Cancel && rc.Cancel->Cancelled())) {
    scratch.Repeats.Keep(key, objects, *v, result, vs.FloorsOut, rc.FeaturesNumber);
  }
  return result;
}

}  // namespace tarmel
