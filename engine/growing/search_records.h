// The records of one vertex's search: the groups, pairs and candidate subtrees of a feature
// search, the buffers they live in between searches, and the vertex and feature being
// searched. Shared by the files of the split search and by no one else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "run_context.h"
#include "search_change_index.h"
#include "search_floors.h"
#include "search_key_tree.h"
#include "search_repeats.h"
#include "tree_records.h"

namespace tarmel {
namespace search {

// What a candidate subtree of a group or a pair of groups gives its partition.
struct TFigures {
  int32_t Count = 0;  // objects it covers
  int32_t Leaves = 0;
  int32_t Misclassified = 0;
  double Variance = 0.0;
};

// A candidate subtree of a group or a pair of groups. Its top vertex is held by value and
// becomes a real branch only when the partition is linked into the tree, so the many
// candidates judged as single leaves cost no allocation. Owns Top.FirstBranch.
struct TGroupTree {
  TVertex Top;
  double Low = -Infinity;  // numeric condition at the time the subtree was built
  double High = Infinity;
  TFigures Figures;

  TGroupTree() = default;
  TGroupTree(const TGroupTree&) = delete;
  TGroupTree& operator=(const TGroupTree&) = delete;
  TGroupTree(TGroupTree&& t) noexcept : TGroupTree() { *this = std::move(t); }
  TGroupTree& operator=(TGroupTree&& t) noexcept {
    if (this != &t) {
      if (Top.FirstBranch != nullptr) FreeBranches(Top.FirstBranch);
      Top = t.Top;
      t.Top.FirstBranch = nullptr;
      Low = t.Low;
      High = t.High;
      Figures = t.Figures;
    }
    return *this;
  }
  ~TGroupTree() {
    if (Top.FirstBranch != nullptr) FreeBranches(Top.FirstBranch);
  }
};

// The candidate subtrees of one feature search. A subtree lives while the current partition
// (one of its groups or pairs) or the best partition holds it, so accepting a partition
// records indices instead of copying subtrees, and a merge moves nothing.
struct TTreeStore {
  static constexpr uint8_t InPartition = 1;
  static constexpr uint8_t InBest = 2;
  std::vector<TGroupTree> Trees;
  std::vector<uint8_t> Holders;  // per subtree: InPartition | InBest, 0 for a free entry
  std::vector<int32_t> Free;

  // Stores a subtree held by the current partition; returns its index.
  int32_t Add(TGroupTree&& tree) {
    if (Free.empty()) {
      Trees.push_back(std::move(tree));
      Holders.push_back(InPartition);
      return static_cast<int32_t>(Trees.size()) - 1;
    }
    const int32_t i = Free.back();
    Free.pop_back();
    Trees[i] = std::move(tree);
    Holders[i] = InPartition;
    return i;
  }
  void Hold(int32_t i, uint8_t holder) { Holders[i] |= holder; }
  // Frees the subtree once nothing holds it any more.
  void Release(int32_t i, uint8_t holder) {
    Holders[i] = static_cast<uint8_t>(Holders[i] & ~holder);
    if (Holders[i] != 0) return;
    Trees[i] = TGroupTree();
    Free.push_back(i);
  }
  void Clear() {
    Trees.clear();
    Holders.clear();
    Free.clear();
  }
};

// Count, mean, variance and class counts of a group's target values.
struct TStats {
  int32_t Count = 0;
  double Mean = 0.0;
  double Variance = 0.0;
  TClassCounts Classes{};
};

// A group's objects and nominal codes are chains through the search's position and code
// lists, so merging two groups relinks them instead of copying.
struct TGroup {
  int32_t First = -1;  // first known position; chained through NextKnown, ascending
  int32_t Last = -1;
  int32_t FirstCode = 0;  // nominal: value set chained through NextCode, in merge order
  int32_t LastCode = 0;
  int32_t CodeCount = 0;
  int32_t End = 0;    // numeric: the last elementary group it covers
  int32_t Tree = -1;  // its subtree in the tree store; none at the depth limit
  TStats Stats;
  TFigures Figures;   // of its subtree
  // How the group came about, which decides whether its objects can be split further:
  // merged from two groups, and whether both of those held objects.
  bool Merged = false;
  bool BothHeld = false;
};

struct TPair {
  int32_t A = 0;  // 0: a free slot
  int32_t B = 0;
  int32_t Tree = -1;  // the union's subtree in the tree store; none at the depth limit
  TStats Union;
  TFigures UnionFigures;
  // What merging A and B changes in the partition's totals; fixed while both groups stand,
  // so rating the pair after another merge only applies it to the new totals.
  int32_t LeavesChange = 0;
  int32_t MisclassifiedChange = 0;
  double VarianceDrop = 0.0;
  double Quality = Infinity;

  // Only the groups tell a used slot; the rest is written afresh when the slot is used.
  void Free() {
    A = 0;
    B = 0;
    Tree = -1;
  }
};

// A group of the best partition: its subtree in the tree store and its codes in BestCodes.
struct TBestGroup {
  int32_t Tree = -1;
  int32_t FirstCode = 0;
  int32_t CodeCount = 0;
};

// A list whose entries outlive a shrink: growing it again constructs no entries that were
// made before, which matters for lists of large records resized by every feature search.
// An entry taken into the list again holds what it held last, and the searches write
// every field they read.
template <typename T>
class TKeptList {
 public:
  void resize(size_t n) {
    if (Entries_.size() < n) Entries_.resize(n);
    Size_ = n;
  }
  size_t size() const { return Size_; }
  T& operator[](size_t i) { return Entries_[i]; }
  const T& operator[](size_t i) const { return Entries_[i]; }
  T* data() { return Entries_.data(); }

 private:
  std::vector<T> Entries_;
  size_t Size_ = 0;
};

// A prefix of the standing groups from which the segment bound may start an interval: its
// count of groups, the first group count at which an interval from it may end (two groups
// on, after a prefix of single groups), its least cost, and that cost with the interval to
// the group being reached.
struct TSegmentStart {
  int32_t At = 0;
  int32_t FirstEnd = 0;
  double Base = 0.0;
  double Cost = 0.0;
};

// Storage of one feature search, kept between searches so that its lists keep their room.
struct TSearchBuffers {
  std::vector<int32_t> KnownObjects;  // objects with a known value, in list order
  std::vector<int32_t> Label;         // per known position: its elementary group
  std::vector<int32_t> NextKnown;     // per known position: the next one of its group, or -1
  std::vector<int32_t> CodeValue;     // nominal: code of elementary group k
  std::vector<int32_t> NextCode;      // nominal: the next code of the same group, or 0
  TKeptList<TGroup> Groups;           // 1..K; merged-away groups stay in place, unlinked
  std::vector<int32_t> NextLive;      // per group: the next standing group, or 0
  std::vector<int32_t> PrevLive;      // per group: the previous standing group, or 0
  std::vector<double> Bounds;         // numeric: t[0..K]
  TKeptList<TPair> Pairs;             // numeric: pair i joins i and i+1; nominal: slots
  TChangeIndex Changes;               // at the depth limit, by misclassified change
  TKeyTree Keys;                      // numeric at the depth limit, by variance drop
  TKeyRow KeyRow;                     // the same for fewer groups, and nominal
  std::vector<std::pair<int32_t, int32_t>> Merges;  // at the depth limit: groups merged, in order
  std::vector<TBestGroup> BestGroups;
  std::vector<int32_t> BestCodes;
  std::vector<int32_t> Collected;     // objects of the subtree being grown
  std::vector<int32_t> LeafCounts;    // at the depth limit: class counts, a row per group
  std::vector<int32_t> LeafLargest;   // at the depth limit: each group's largest class
  std::vector<uint16_t> LeafTops;     // at the depth limit: each group's largest classes, a bit each
  std::vector<double> Rises;          // at the depth limit: the pairs' variance rises
  // At the depth limit: the segment bound's running sums and the prefixes it still extends.
  std::vector<int32_t> SegmentCount;
  std::vector<double> SegmentSum, SegmentSquares;
  std::vector<TSegmentStart> SegmentStarts;
  // Above the depth limit: the error floors that the depth-limit search of each group's
  // and pair's objects learned, FeaturesNumber + 1 to a group or pair slot. The first of
  // them stands for no feature: its Known is -1 when no search wrote the others.
  TKeptList<TErrorFloor> GroupFloors;
  TKeptList<TErrorFloor> PairFloors;
  TTreeStore Store;

  // Frees every candidate subtree; the lists keep their room.
  void Clear() {
    Merges.clear();
    BestGroups.clear();
    Store.Clear();
  }
};

// The distinct known values of a numeric feature over the objects of the outermost vertex
// being grown, and each object's place among them.
struct TValueRanks {
  bool Ready = false;
  std::vector<double> Value;   // [rank], ascending, entry 0 unused
  std::vector<int32_t> Rank;   // [object]: 0 for a missing value
};

// Credits a worker logs between two looks at whether they can go to the run's scores, and
// the most credits the logs of one vertex's workers hold before a worker waits for its
// turn (16 bytes each). Variables only so that the tests can make them small.
inline size_t CreditChunk = size_t{1} << 16;
inline size_t CreditBudget = size_t{1} << 22;

// Credits made on a worker, kept for the run's scores in the order they were made.
struct TCreditLog {
  std::vector<std::pair<int32_t, double>> Entries;
  // Called whenever the log reaches a whole number of chunks, so that the credits can go
  // to the run's scores as soon as their order allows and the log stays short.
  std::function<void()> Grown;
};

}  // namespace search

struct TSearchScratch {
  int32_t Level = 0;  // vertices being grown, one inside the other
  std::deque<search::TSearchBuffers> Levels;  // buffers of the vertex at each level
  std::span<const int32_t> Objects;           // objects of the outermost vertex
  PerFeature<search::TValueRanks> Ranks;      // valid while Level > 0
  // Per feature, whether the outermost vertex's objects all have its value (-1: not looked
  // at yet); valid while Level > 0.
  PerFeature<int8_t> AllKnown{};
  std::vector<uint64_t> RankSeen;             // a bit per rank, all clear between uses
  std::vector<int32_t> Present;               // ranks present at a vertex
  std::vector<int32_t> GroupOfRank;           // [rank]: elementary group of the value
  std::vector<int32_t> RankClasses;           // [rank x classes]: counts, all 0 between uses
  std::vector<double> Inverse;                // [n]: 1 / n, for bounds whose margin covers its rounding
  // Handed to the next vertex grown at the depth limit: the error floors of the two groups
  // whose union it is (none for a single group), and where its own go, a floor per feature.
  const search::TErrorFloor* FloorsOf[2] = {nullptr, nullptr};
  search::TErrorFloor* FloorsOut = nullptr;
  // Where credits go instead of the run's scores while a feature is searched on a worker.
  search::TCreditLog* CreditLog = nullptr;
  search::TRepeats Repeats;  // searches at the depth limit of the outermost vertex
  // While a search at the depth limit that is to be kept runs, where its credits go too.
  std::vector<search::TCredit>* CreditsMade = nullptr;
};

namespace search {

// The running totals of a partition: leaves, misclassified objects, variance term.
struct TTotals {
  int32_t Leaves = 0;
  int32_t Misclassified = 0;
  double Variance = 0.0;
};

inline TSearchScratch& ScratchOf(RunContext& rc) {
  auto& scratch = rc.SearchScratch.Scratch;
  if (!scratch) scratch.reset(new TSearchScratch);
  return *scratch;
}

// One vertex being grown inside the others. The outermost one takes its value ranks afresh
// from the current data table and its own objects (every inner vertex holds some of them),
// so ranks never outlive the table they were read from.
class TLevel {
 public:
  TLevel(RunContext& rc, std::span<const int32_t> objects) : S_(ScratchOf(rc)) {
    if (S_.Level == 0) {
      S_.Objects = objects;
      for (TValueRanks& ranks : S_.Ranks) ranks.Ready = false;
      S_.AllKnown.fill(-1);
      S_.Repeats.Forget();
    }
    ++S_.Level;
    if (S_.Levels.size() < static_cast<size_t>(S_.Level)) S_.Levels.emplace_back();
  }
  ~TLevel() { --S_.Level; }
  TLevel(const TLevel&) = delete;
  TLevel& operator=(const TLevel&) = delete;
  TSearchScratch& Scratch() { return S_; }
  TSearchBuffers& Buffers() { return S_.Levels[static_cast<size_t>(S_.Level - 1)]; }

 private:
  TSearchScratch& S_;
};

// How the pairs of a vertex at the depth limit order by quality. There every merge takes
// one leaf off, so with the variance weight 0 a pair's quality rises with its change of the
// misclassified count alone, and with the classification weight 0 it falls with its
// variance drop alone (a weight below 0, or a root variance rounded below 0, reverses
// that: those pairs are all rated).
enum class TPairOrder : uint8_t { Rated, ByMisclassified, ByVarianceDrop };

// The vertex being split, as its feature searches see it.
struct TVertexSearch {
  RunContext& rc;
  std::span<const int32_t> Objects;
  int32_t N = 0;
  int32_t Depth = 0;  // after the vertex's own increment
  int32_t PrevFeature = 0;
  FeatureFlags& Available;  // the vertex's current flags
  TSearchScratch& Scratch;
  TSearchBuffers& Buffers;
  // At the depth limit every group and pair is judged as a leaf, from its statistics
  // alone: no subtree collects the objects of a merged group, so merges leave the
  // elementary groups' chains as they are, and only a linked partition gets leaf records.
  bool AtLimit = false;
  TPairOrder Order = TPairOrder::Rated;
  // A feature's search may stop once none of its later partitions can beat the vertex's
  // quality so far (see CannotImprove).
  bool MayStop = false;
  // Whether every quality of a partition is a finite number without a variance term, so
  // that it rises with the partition's leaves and misclassified count alone.
  bool CountsRate = false;
  const double* VertexQuality = nullptr;
  // At the depth limit: what the groups of the union being searched learned there, and
  // where this search's floors go (see TErrorFloor); null when not kept.
  const TErrorFloor* FloorsOf[2] = {nullptr, nullptr};
  TErrorFloor* FloorsOut = nullptr;
};

// Working data of one feature's search at one vertex; frees every subtree it still holds.
struct TFeatureSearch {
  TFeatureSearch(const TVertexSearch& v, int32_t g)
      : V(v), G(g), Nominal(v.rc.FeatureType[g] == NominalFeature), B(v.Buffers) {}
  ~TFeatureSearch() { B.Clear(); }
  TFeatureSearch(const TFeatureSearch&) = delete;
  TFeatureSearch& operator=(const TFeatureSearch&) = delete;

  const TVertexSearch& V;
  int32_t G;
  bool Nominal;
  TSearchBuffers& B;
  TKeptList<TGroup>& Groups = B.Groups;
  TKeptList<TPair>& Pairs = B.Pairs;
  TTotals Totals;
  bool SizeChecked = false;  // a partition has passed the size check
  // At the depth limit: standing groups too small to be leaves of an accepted partition.
  // A union of two large enough groups is large enough, so once none is small, none will be.
  int32_t SmallLeaves = 0;
  // Pairs ordered by their misclassified change alone, with no rounding tying two changes
  // (see ChangesNeverTie).
  bool NeverTie = false;
  double Best = Infinity;
  TTotals BestTotals;
  int32_t Standing = 0;  // groups not merged away; group 1 always stands
  // At the depth limit the best partition is kept as the number of merges that led to it
  // and rebuilt only when it is linked.
  size_t BestStep = 0;
  bool KeyTree = false;  // numeric, by variance drop: the keys are in B.Keys
  bool KeyRow = false;   // by variance drop without the tree: the keys are in B.KeyRow
  // Whether the groups' statistics hold the target's mean and variance. Leaves at the depth
  // limit without a weight on the variance need only their counts, until the best
  // partition is rebuilt to be linked.
  bool Spread = !(V.AtLimit && V.rc.RegressionWeight == 0);
  // Whether each group's positions are chained: they serve collecting a group's objects
  // for its subtree and telling whether a feature varies among them, which at the depth
  // limit only the rebuilt best partition asks.
  bool Chains = !V.AtLimit;
  // A numeric feature at the depth limit whose pairs order by their misclassified change
  // alone: its groups are rows of class counts in B.LeafCounts, and s.Groups is not used.
  bool LeafRows = false;
  // By misclassified change: B.Changes holds every used slot's change.
  bool Indexed = false;
  // Above the depth limit: the groups' and pairs' error floors are kept, and the next
  // subtree grown writes its floors here.
  bool Floors = false;
  TErrorFloor* FloorOut = nullptr;

  TGroupTree& TreeOf(int32_t group) { return B.Store.Trees[Groups[group].Tree]; }
  // Objects with a known value of the feature; B.KnownObjects lists them, except for the
  // rows of LeafRows, which are counted from the vertex's objects at once.
  int32_t KnownCount = 0;

  int32_t Known() const { return KnownCount; }
  double Cell(int32_t position) const { return V.rc.DataTable.At(G, B.KnownObjects[position]); }
};

}  // namespace search
}  // namespace tarmel
