// The features of a top vertex searched on worker threads. Each worker grows on its own
// copy of the run state and logs its credits; the outcomes are then taken in feature order
// as one search after the other would: the credits replayed into the run's scores in the
// order they were made, and a feature's split taken when strictly better than the best so
// far. A feature that cannot be used stays unavailable for the later features' subtrees,
// so those are decided first, from the data alone.
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

// Set on a worker thread, whose vertices search their features one after the other.
thread_local bool InSearchWorker = false;

struct TFeatureOutcome {
  int32_t Feature = 0;
  int32_t Groups = 0;  // its elementary groups at the vertex: the search's cost grows with them
  FeatureFlags Available{};  // the vertex's flags when the feature's search starts
  OwnedTree Candidate{new TVertex};  // holds the feature's best partition if it beat the leaf
  TGrowResult Result;
  std::vector<std::pair<int32_t, double>> Credits;
};

// The feature's elementary groups at the vertex, 0 when it cannot be used there, as
// forming them would tell.
int32_t UsableGroups(const RunContext& rc, std::span<const int32_t> objects, int32_t g) {
  const bool nominal = rc.FeatureType[g] == NominalFeature;
  std::vector<double> values;
  values.reserve(objects.size());
  for (int32_t i : objects) {
    const double x = rc.DataTable.At(g, i);
    if (x != MissingValue) values.push_back(nominal ? NominalCode(x) : x);
  }
  const auto n = static_cast<double>(objects.size());
  if (values.empty() || (n - static_cast<double>(values.size())) / n >= 0.5) return 0;
  std::sort(values.begin(), values.end());
  const auto groups = static_cast<int32_t>(std::unique(values.begin(), values.end()) - values.begin());
  return groups >= 2 && (!nominal || groups <= MaxCategories) ? groups : 0;
}

std::vector<TFeatureOutcome> PlanFeatures(const RunContext& rc, std::span<const int32_t> objects,
                                          FeatureFlags available, int32_t prevFeature) {
  std::vector<TFeatureOutcome> plan;
  for (int32_t g = 1; g <= rc.FeaturesNumber; ++g) {
    if (!available[g] || g == prevFeature) continue;
    const int32_t groups = UsableGroups(rc, objects, g);
    if (groups == 0) {
      available[g] = false;
      continue;
    }
    plan.emplace_back();
    plan.back().Feature = g;
    plan.back().Groups = groups;
    plan.back().Available = available;
  }
  return plan;
}

void SearchPlannedFeatures(const RunContext& rc, std::span<const int32_t> objects, int32_t depth,
                           int32_t prevFeature, double leafQuality,
                           std::vector<TFeatureOutcome>& plan, const std::vector<size_t>& order,
                           std::atomic<size_t>& next) {
  InSearchWorker = true;
  RunContext local = rc;
  TLevel level(local, objects);
  for (size_t k = next++; k < plan.size(); k = next++) {
    // A cancelled run is thrown away: the remaining features need not be searched.
    if (rc.Cancel != nullptr && rc.Cancel->Cancelled()) break;
    TFeatureOutcome& o = plan[order[k]];
    level.Scratch().CreditLog = &o.Credits;
    o.Result.Quality = leafQuality;
    const TVertexSearch vs{.rc = local,
                           .Objects = objects,
                           .N = static_cast<int32_t>(objects.size()),
                           .Depth = depth,
                           .PrevFeature = prevFeature,
                           .Available = o.Available,
                           .Scratch = level.Scratch(),
                           .Buffers = level.Buffers(),
                           .AtLimit = false,
                           .Order = TPairOrder::Rated,
                           .MayStop = false,
                           .VertexQuality = &o.Result.Quality};
    SearchFeature(vs, o.Feature, leafQuality, *o.Candidate, o.Result);
  }
  level.Scratch().CreditLog = nullptr;
  InSearchWorker = false;
}

void TakeOutcomes(RunContext& rc, std::vector<TFeatureOutcome>& plan, TVertex& v,
                  TGrowResult& result) {
  for (TFeatureOutcome& o : plan) {
    for (const auto& [f, quality] : o.Credits) CreditFeature(rc, f, quality);
    // Strictly better only: the leaf, or the lower-numbered feature, keeps an equal quality.
    if (!(o.Result.Quality < result.Quality)) continue;
    FreeBranches(v.FirstBranch);
    v.FirstBranch = o.Candidate->FirstBranch;
    o.Candidate->FirstBranch = nullptr;
    v.SplitFeature = o.Feature;
    result.Quality = o.Result.Quality;
    result.Leaves = o.Result.Leaves;
    result.Misclassified = o.Result.Misclassified;
    result.Variance = o.Result.Variance;
  }
}

}  // namespace

bool SearchFeaturesInParallel(RunContext& rc, TVertex& v, std::span<const int32_t> objects,
                              const FeatureFlags& available, int32_t depth, int32_t prevFeature,
                              TGrowResult& result) {
  const int32_t threads = ThreadsOf(rc);
  if (threads < 2 || InSearchWorker || ScratchOf(rc).Level != 0 || depth >= rc.MaxDepth ||
      objects.size() < 64) {
    return false;
  }
  std::vector<TFeatureOutcome> plan = PlanFeatures(rc, objects, available, prevFeature);
  if (plan.size() < 2) return false;
  // The costliest searches go first, so that no thread is left with a long one at the end.
  std::vector<size_t> order(plan.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&plan](size_t x, size_t y) { return plan[x].Groups > plan[y].Groups; });
  std::atomic<size_t> next{0};
  const double leafQuality = result.Quality;
  std::vector<std::thread> workers;
  const auto extra = std::min<size_t>(static_cast<size_t>(threads), plan.size()) - 1;
  for (size_t w = 0; w < extra; ++w) {
    workers.emplace_back(SearchPlannedFeatures, std::cref(rc), objects, depth, prevFeature,
                         leafQuality, std::ref(plan), std::cref(order), std::ref(next));
  }
  SearchPlannedFeatures(rc, objects, depth, prevFeature, leafQuality, plan, order, next);
  for (std::thread& t : workers) t.join();
  TakeOutcomes(rc, plan, v, result);
  return true;
}

}  // namespace tarmel::search
