// The features of a top vertex searched on worker threads. Each worker grows on its own
// copy of the run state and logs its credits; the credits go to the run's scores in feature
// order and in the order they were made, and the outcomes are then taken in feature order
// as one search after the other would: a feature's split taken when strictly better than
// the best so far. A feature that cannot be used stays unavailable for the later features' subtrees,
// so those are decided first, from the data alone.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
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
  TCreditLog Credits;
};

// The workers' credits go to the run's scores feature by feature, in feature order: a
// feature's log once every earlier feature's has gone. Until then the log is held; a worker
// whose credits would make the held logs longer than the budget waits for its feature's
// turn, so memory stays bounded however many credits a search makes. Features are then
// handed out in feature order, so that the feature whose turn it is is always being
// searched and never waits.
class TCreditBook {
 public:
  TCreditBook(RunContext& rc, std::vector<TFeatureOutcome>& plan)
      : Rc_(rc), Plan_(plan), Done_(plan.size(), 0) {}

  // Feature k's log has grown by a chunk.
  void Grown(size_t k) {
    std::unique_lock lock(Mutex_);
    Held_ += CreditChunk;
    while (Turn_ != k && Held_ > CreditBudget && !Cancelled()) {
      Turned_.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (Turn_ == k) Flush(k);
  }
  // Feature k's search is over.
  void Finished(size_t k) {
    std::lock_guard lock(Mutex_);
    Done_[k] = 1;
    while (Turn_ < Plan_.size() && Done_[Turn_] != 0) Flush(Turn_++);
    Turned_.notify_all();
  }

 private:
  bool Cancelled() const { return Rc_.Cancel != nullptr && Rc_.Cancel->Cancelled(); }
  void Flush(size_t k) {
    std::vector<std::pair<int32_t, double>>& log = Plan_[k].Credits.Entries;
    for (const auto& [f, quality] : log) AddCredit(Rc_, f, quality);
    Held_ -= log.size() - log.size() % CreditChunk;
    log.clear();
  }

  RunContext& Rc_;
  std::vector<TFeatureOutcome>& Plan_;
  std::mutex Mutex_;
  std::condition_variable Turned_;
  std::vector<uint8_t> Done_;
  size_t Turn_ = 0;  // the first feature whose credits have not all gone to the scores
  size_t Held_ = 0;  // credits in held logs, in whole chunks
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

// What the threads of one top vertex share: its features and the next one to search.
struct TSharedSearch {
  std::span<const int32_t> Objects;
  int32_t Depth = 0;
  int32_t PrevFeature = 0;
  double LeafQuality = 0.0;
  std::vector<TFeatureOutcome>& Plan;
  std::vector<size_t> Order;  // of the plan's features
  std::atomic<size_t> Next{0};
  TCreditBook* Book = nullptr;  // none when no later stage reads the credits: none are kept
};

// Searches features on one thread, on its own copy of the run state (made before any
// thread started, as the book writes the run's scores).
void SearchPlannedFeatures(RunContext& local, TSharedSearch& shared) {
  InSearchWorker = true;
  TLevel level(local, shared.Objects);
  for (size_t k = shared.Next++; k < shared.Plan.size(); k = shared.Next++) {
    // A cancelled run is thrown away: the remaining features need not be searched.
    if (local.Cancel != nullptr && local.Cancel->Cancelled()) break;
    const size_t feature = shared.Order[k];
    TFeatureOutcome& o = shared.Plan[feature];
    if (TCreditBook* book = shared.Book; book != nullptr) {
      o.Credits.Grown = [book, feature] { book->Grown(feature); };
      level.Scratch().CreditLog = &o.Credits;
    }
    o.Result.Quality = shared.LeafQuality;
    const TVertexSearch vs{.rc = local,
                           .Objects = shared.Objects,
                           .N = static_cast<int32_t>(shared.Objects.size()),
                           .Depth = shared.Depth,
                           .PrevFeature = shared.PrevFeature,
                           .Available = o.Available,
                           .Scratch = level.Scratch(),
                           .Buffers = level.Buffers(),
                           .AtLimit = false,
                           .Order = TPairOrder::Rated,
                           .MayStop = false,
                           .VertexQuality = &o.Result.Quality};
    SearchFeature(vs, o.Feature, shared.LeafQuality, *o.Candidate, o.Result);
    if (shared.Book != nullptr) shared.Book->Finished(feature);
  }
  level.Scratch().CreditLog = nullptr;
  InSearchWorker = false;
}

void TakeOutcomes(RunContext& rc, std::vector<TFeatureOutcome>& plan, TVertex& v,
                  TGrowResult& result) {
  for (TFeatureOutcome& o : plan) {
    // Credits the book has not taken: those of a search that was given up.
    for (const auto& [f, quality] : o.Credits.Entries) AddCredit(rc, f, quality);
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
  TSharedSearch shared{.Objects = objects,
                       .Depth = depth,
                       .PrevFeature = prevFeature,
                       .LeafQuality = result.Quality,
                       .Plan = plan,
                       .Order = std::vector<size_t>(plan.size())};
  for (size_t k = 0; k < plan.size(); ++k) shared.Order[k] = k;
  std::unique_ptr<TCreditBook> book;
  if (ScoresRead(rc)) {
    book = std::make_unique<TCreditBook>(rc, plan);
    shared.Book = book.get();
  } else {
    // The costliest searches go first, so that no thread is left with a long one at the end.
    std::stable_sort(shared.Order.begin(), shared.Order.end(),
                     [&plan](size_t x, size_t y) { return plan[x].Groups > plan[y].Groups; });
  }
  const auto count = std::min<size_t>(static_cast<size_t>(threads), plan.size());
  std::vector<RunContext> locals(count, rc);
  std::vector<std::thread> workers;
  for (size_t w = 1; w < count; ++w) {
    workers.emplace_back(SearchPlannedFeatures, std::ref(locals[w]), std::ref(shared));
  }
  SearchPlannedFeatures(locals[0], shared);
  for (std::thread& t : workers) t.join();
  TakeOutcomes(rc, plan, v, result);
  return true;
}

}  // namespace tarmel::search
