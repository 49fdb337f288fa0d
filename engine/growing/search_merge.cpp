// Split search: grows the best subtree below one vertex. Every usable feature cuts the
// vertex's objects into its finest groups (numeric intervals around the distinct values,
// one group per nominal code); a subtree is grown below every group and below every
// candidate pair of groups, and the groups are merged two at a time, always the pair that
// gives the best quality, down to two groups. The best accepted partition over all features
// replaces the leaf only when it is strictly better. Every searched feature is credited with
// its best quality, which ranks the features for the deeper lookahead stages.
#include "split_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <atomic>
#include <thread>
#include <deque>
#include <span>
#include <vector>

namespace tarmel {
namespace {

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

// Numeric pairs by variance drop: from this many groups on the key tree costs less than
// scanning the pairs for every merge.
constexpr int32_t KeyTreeGroups = 160;

// Above every key, so that a pass for the next higher key starts from it.
constexpr double NoKey = std::numeric_limits<double>::infinity();

// The keys of the numeric pair slots in a tournament tree: each node holds the lowest key
// below it with its lowest slot, and the next higher key below it, so that the first pair
// of the lowest key and the runner-up key are at the top after every merge. A key that is
// not a finite number has no place in that order; they are counted instead.
class TKeyTree {
 public:
  void Reset(int32_t slots) {
    Leaves_ = 1;
    while (Leaves_ < slots) Leaves_ *= 2;
    Nodes_.assign(2 * static_cast<size_t>(Leaves_), TNode{});
    NotFinite_ = 0;
  }
  // Sets a slot's key without reordering; Order() then puts the tree in order.
  void Place(int32_t slot, double key) {
    TNode& leaf = Nodes_[static_cast<size_t>(Leaves_ + slot)];
    NotFinite_ += (leaf.First != 0 && !std::isfinite(leaf.Low) ? -1 : 0) + !std::isfinite(key);
    leaf = {key, NoKey, slot};
  }
  void Free(int32_t slot) {
    TNode& leaf = Nodes_[static_cast<size_t>(Leaves_ + slot)];
    NotFinite_ -= leaf.First != 0 && !std::isfinite(leaf.Low);
    leaf = TNode{};
    Climb(Leaves_ + slot);
  }
  void Set(int32_t slot, double key) {
    Place(slot, key);
    Climb(Leaves_ + slot);
  }
  void Order() {
    for (int32_t i = Leaves_ - 1; i >= 1; --i) Join(i);
  }
  bool Ordered() const { return NotFinite_ == 0; }
  int32_t First() const { return Nodes_[1].First; }
  double Low() const { return Nodes_[1].Low; }
  double Next() const { return Nodes_[1].Next; }

 private:
  struct TNode {
    double Low = NoKey;
    double Next = NoKey;
    int32_t First = 0;  // 0: no key below
  };
  void Join(int32_t i) {
    const TNode& l = Nodes_[2 * static_cast<size_t>(i)];
    const TNode& r = Nodes_[2 * static_cast<size_t>(i) + 1];
    TNode& n = Nodes_[static_cast<size_t>(i)];
    if (r.Low < l.Low) {
      n = {r.Low, std::min(r.Next, l.Low), r.First};
    } else if (l.Low < r.Low) {
      n = {l.Low, std::min(l.Next, r.Low), l.First};
    } else {  // equal keys: the lower slot, on the left, comes first
      n = {l.Low, std::min(l.Next, r.Next), l.First != 0 ? l.First : r.First};
    }
  }
  void Climb(int32_t i) {
    for (i /= 2; i >= 1; i /= 2) Join(i);
  }
  int32_t Leaves_ = 1;
  std::vector<TNode> Nodes_;
  int32_t NotFinite_ = 0;
};

// A group of the best partition: its subtree in the tree store and its codes in BestCodes.
struct TBestGroup {
  int32_t Tree = -1;
  int32_t FirstCode = 0;
  int32_t CodeCount = 0;
};

// Storage of one feature search, kept between searches so that its lists keep their room.
struct TSearchBuffers {
  std::vector<int32_t> KnownObjects;  // objects with a known value, in list order
  std::vector<int32_t> Label;         // per known position: its elementary group
  std::vector<int32_t> NextKnown;     // per known position: the next one of its group, or -1
  std::vector<int32_t> CodeValue;     // nominal: code of elementary group k
  std::vector<int32_t> NextCode;      // nominal: the next code of the same group, or 0
  std::vector<TGroup> Groups;         // 1..K; merged-away groups stay in place, unlinked
  std::vector<int32_t> NextLive;      // per group: the next standing group, or 0
  std::vector<int32_t> PrevLive;      // per group: the previous standing group, or 0
  std::vector<double> Bounds;         // numeric: t[0..K]
  std::vector<TPair> Pairs;           // numeric: pair i joins i and i+1; nominal: slots
  TKeyTree Keys;                      // numeric at the depth limit, by variance drop
  std::vector<std::pair<int32_t, int32_t>> Merges;  // at the depth limit: groups merged, in order
  std::vector<TBestGroup> BestGroups;
  std::vector<int32_t> BestCodes;
  std::vector<int32_t> Collected;     // objects of the subtree being grown
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

}  // namespace

struct TSearchScratch {
  int32_t Level = 0;  // vertices being grown, one inside the other
  std::deque<TSearchBuffers> Levels;  // buffers of the vertex at each level
  std::span<const int32_t> Objects;   // objects of the outermost vertex
  PerFeature<TValueRanks> Ranks;      // valid while Level > 0
  std::vector<uint8_t> RankSeen;      // [rank], all false between uses
  std::vector<int32_t> Present;       // ranks present at a vertex
  std::vector<int32_t> GroupOfRank;   // [rank]: elementary group of the value
  std::vector<double> Distinct;       // u1 < ... < uD of a vertex
  // Where credits go instead of the run's scores while a feature is searched on a worker.
  std::vector<std::pair<int32_t, double>>* CreditLog = nullptr;
};

namespace {

// x / n, or 0 over no objects at all (an empty object list has no mean and no error).
double PerObject(double x, int32_t n) { return n > 0 ? x / n : 0.0; }

int32_t LargestClass(const RunContext& rc, const TClassCounts& counts) {
  int32_t largest = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) largest = std::max(largest, counts[k]);
  return largest;
}

void CountClass(const RunContext& rc, int32_t object, TClassCounts& counts) {
  const int32_t label = rc.ClassLabel[object];
  if (label >= 1 && label <= rc.ClassesNumber) ++counts[label];
}

// The integer part of a stored nominal value. Stored codes are small; the range check only
// keeps the conversion defined for whatever a hand-filled table may hold.
int32_t NominalCode(double x) { return x > -1e9 && x < 1e9 ? static_cast<int32_t>(x) : 0; }

void AddObject(const RunContext& rc, int32_t object, TStats& s) {
  const double y = rc.TargetValue[object];
  const double n = s.Count;
  const double mean = (n * s.Mean + y) / (n + 1);
  const double d = s.Mean - mean;
  const double e = y - mean;
  s.Variance = (n * (d * d + s.Variance) + e * e) / (n + 1);
  s.Mean = mean;
  ++s.Count;
  CountClass(rc, object, s.Classes);
}

// Count and class counts only, for a search whose qualities never read the target's spread.
void CountObject(const RunContext& rc, int32_t object, TStats& s) {
  ++s.Count;
  CountClass(rc, object, s.Classes);
}

// The statistics of the union of groups a and b go to u, which is neither of them.
void PoolCounts(const RunContext& rc, const TStats& a, const TStats& b, TStats& u) {
  u.Count = a.Count + b.Count;
  u.Mean = 0.0;
  u.Variance = 0.0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) u.Classes[k] = a.Classes[k] + b.Classes[k];
}

void Pool(const RunContext& rc, const TStats& a, const TStats& b, TStats& u) {
  PoolCounts(rc, a, b, u);
  const double na = a.Count;
  const double nb = b.Count;
  u.Mean = (na * a.Mean + nb * b.Mean) / u.Count;
  const double da = a.Mean - u.Mean;
  const double db = b.Mean - u.Mean;
  u.Variance = (na * (da * da + a.Variance) + nb * (db * db + b.Variance)) / u.Count;
}

// The running totals of a partition: leaves, misclassified objects, variance term.
struct TTotals {
  int32_t Leaves = 0;
  int32_t Misclassified = 0;
  double Variance = 0.0;
};

TSearchScratch& ScratchOf(RunContext& rc) {
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
  const double* VertexQuality = nullptr;
};

// Whether a deeper stage will read the feature scores: only then does every partition's
// quality count, also those that cannot win.
bool ScoresRead(const RunContext& rc) {
  return !(rc.Params->RecursiveComplexity - rc.RecursionDepth <= 0);
}

// At the depth limit a feature's search may stop early when the scores are not read and
// no weight can turn a larger error into a better quality.
bool MayStopAt(const RunContext& rc, bool atLimit) {
  return atLimit && !ScoresRead(rc) && rc.RegressionWeight >= 0 &&
         rc.ClassificationWeight >= 0 && rc.RootVariance >= 0 && rc.LeafWeight >= 0;
}

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
  std::vector<TGroup>& Groups = B.Groups;
  std::vector<TPair>& Pairs = B.Pairs;
  TTotals Totals;
  bool SizeChecked = false;  // a partition has passed the size check
  double Best = Infinity;
  TTotals BestTotals;
  int32_t Standing = 0;  // groups not merged away; group 1 always stands
  // At the depth limit the best partition is kept as the number of merges that led to it
  // and rebuilt only when it is linked.
  size_t BestStep = 0;
  bool KeyTree = false;  // numeric, by variance drop: the keys are in B.Keys
  // Whether the groups' statistics hold the target's mean and variance. Leaves at the depth
  // limit without a weight on the variance need only their counts, until the best
  // partition is rebuilt to be linked.
  bool Spread = !(V.AtLimit && V.rc.RegressionWeight == 0);
  // Whether each group's positions are chained: they serve collecting a group's objects
  // for its subtree and telling whether a feature varies among them, which at the depth
  // limit only the rebuilt best partition asks.
  bool Chains = !V.AtLimit;
  // Numeric, by misclassified change: every standing pair before this group's pair has a
  // change above 0.
  int32_t ZeroScanFrom = 1;

  TGroupTree& TreeOf(int32_t group) { return B.Store.Trees[Groups[group].Tree]; }
  int32_t Known() const { return static_cast<int32_t>(B.KnownObjects.size()); }
  double Cell(int32_t position) const { return V.rc.DataTable.At(G, B.KnownObjects[position]); }
};

// Ranks of feature f over the outermost vertex's objects, read on first use.
const TValueRanks& RanksOf(TSearchScratch& sc, const RunContext& rc, int32_t f) {
  TValueRanks& r = sc.Ranks[f];
  if (r.Ready) return r;
  r.Ready = true;
  r.Value.assign(1, 0.0);
  int32_t last = 0;
  for (int32_t i : sc.Objects) {
    const double x = rc.DataTable.At(f, i);
    if (x != MissingValue) r.Value.push_back(x);
    last = std::max(last, i);
  }
  std::sort(r.Value.begin() + 1, r.Value.end());
  r.Value.erase(std::unique(r.Value.begin() + 1, r.Value.end()), r.Value.end());
  r.Rank.assign(static_cast<size_t>(last) + 1, 0);
  const auto top = static_cast<int32_t>(r.Value.size()) - 1;
  for (int32_t i : sc.Objects) {
    const double x = rc.DataTable.At(f, i);
    if (x == MissingValue) continue;
    const auto at = std::lower_bound(r.Value.begin() + 1, r.Value.end(), x) - r.Value.begin();
    r.Rank[i] = std::min(static_cast<int32_t>(at), top);  // only a value that is not a number
  }                                                      // can be missing from the list
  return r;
}

// The ranks present among the vertex's known values, ascending: a sweep over all ranks when
// the vertex holds many objects, otherwise a sort of the few present.
void PresentRanks(TFeatureSearch& s, const TValueRanks& r) {
  TSearchScratch& sc = s.V.Scratch;
  const size_t ranks = r.Value.size();
  if (sc.RankSeen.size() < ranks) sc.RankSeen.resize(ranks, 0);
  sc.Present.clear();
  for (int32_t object : s.B.KnownObjects) {
    const int32_t rank = r.Rank[object];
    if (sc.RankSeen[rank]) continue;
    sc.RankSeen[rank] = 1;
    sc.Present.push_back(rank);
  }
  if (sc.Present.size() * 8 < ranks) {
    std::sort(sc.Present.begin(), sc.Present.end());
  } else {
    sc.Present.clear();
    for (size_t rank = 1; rank < ranks; ++rank) {
      if (sc.RankSeen[rank]) sc.Present.push_back(static_cast<int32_t>(rank));
    }
  }
  for (int32_t rank : sc.Present) sc.RankSeen[rank] = 0;
}

// Groups 1 to count - 1, empty. The list keeps its entries between searches, as writing
// whole fresh entries costs more than the few fields a search starts from.
void StartGroups(TFeatureSearch& s, size_t count) {
  s.Groups.resize(count);
  const auto classes = static_cast<size_t>(s.V.rc.ClassesNumber);
  for (size_t k = 1; k < count; ++k) {
    TGroup& g = s.Groups[k];
    g.First = -1;
    g.Last = -1;
    g.FirstCode = 0;
    g.LastCode = 0;
    g.CodeCount = 0;
    g.Tree = -1;
    g.Stats.Count = 0;
    g.Stats.Mean = 0.0;
    g.Stats.Variance = 0.0;
    std::fill_n(g.Stats.Classes.begin() + 1, classes, 0);
    g.Merged = false;
    g.BothHeld = false;
  }
}

// Numeric groups: one per distinct known value u1 < ... < uK, with bounds t[i] at the
// mid-points and a value in the first group whose bound is at or above it. When two values
// are neighbouring doubles their mid-point can round onto the upper one, which then joins
// the lower value's group and leaves the next group empty. The empty group stays: it is
// judged like any other (a leaf of no objects, which the size check rejects) and merged
// away by the pair ratings, so the groups and bounds do not depend on how the mid-points
// round. The last group also takes a value above +1e17, which no bound reaches.
void FormNumericGroups(TFeatureSearch& s) {
  TSearchScratch& sc = s.V.Scratch;
  const TValueRanks& r = RanksOf(sc, s.V.rc, s.G);
  PresentRanks(s, r);
  std::vector<double>& u = sc.Distinct;
  u.clear();
  for (int32_t rank : sc.Present) u.push_back(r.Value[rank]);
  const size_t k = u.size();
  std::vector<double>& t = s.B.Bounds;
  t.assign(1, -Infinity);
  for (size_t i = 1; i < k; ++i) t.push_back(u[i - 1] + (u[i] - u[i - 1]) / 2);
  t.push_back(Infinity);
  if (sc.GroupOfRank.size() < r.Value.size()) sc.GroupOfRank.resize(r.Value.size());
  size_t group = 1;
  for (size_t j = 0; j < k; ++j) {
    while (group < k && u[j] > t[group]) ++group;
    sc.GroupOfRank[sc.Present[j]] = static_cast<int32_t>(group);
  }
  for (int32_t p = 0; p < s.Known(); ++p) s.B.Label[p] = sc.GroupOfRank[r.Rank[s.B.KnownObjects[p]]];
  StartGroups(s, k + 1);
}

// Nominal groups: one per distinct code, numbered in order of first appearance; each
// group's value set starts with its own code.
void FormNominalGroups(TFeatureSearch& s) {
  std::vector<int32_t>& codes = s.B.CodeValue;
  codes.assign(1, 0);
  for (int32_t p = 0; p < s.Known(); ++p) {
    const int32_t code = NominalCode(s.Cell(p));
    const auto it = std::find(codes.begin() + 1, codes.end(), code);
    s.B.Label[p] = static_cast<int32_t>(it - codes.begin());
    if (it == codes.end()) codes.push_back(code);
  }
  StartGroups(s, codes.size());
  s.B.NextCode.assign(codes.size(), 0);
  for (int32_t k = 1; k < static_cast<int32_t>(codes.size()); ++k) {
    s.Groups[k].FirstCode = k;
    s.Groups[k].LastCode = k;
    s.Groups[k].CodeCount = 1;
  }
}

// Every group stands, in the order of their numbers.
void LinkGroups(TFeatureSearch& s) {
  const size_t size = s.Groups.size();
  s.B.NextLive.resize(size);
  s.B.PrevLive.resize(size);
  for (int32_t k = 1; k <= s.Standing; ++k) {
    s.Groups[k].End = k;
    s.B.NextLive[k] = k < s.Standing ? k + 1 : 0;
    s.B.PrevLive[k] = k - 1;
  }
}

// Every group's known positions chained in ascending order.
void ChainPositions(TFeatureSearch& s) {
  s.B.NextKnown.assign(static_cast<size_t>(s.Known()), -1);
  for (int32_t p = 0; p < s.Known(); ++p) {
    TGroup& group = s.Groups[s.B.Label[p]];
    if (group.First < 0) group.First = p;
    else s.B.NextKnown[group.Last] = p;
    group.Last = p;
  }
}

// The elementary groups with their statistics; false when the feature cannot be used at
// this vertex (fewer than two groups, or half or more of its values missing). A branch
// holds at most MaxCategories codes, so a nominal feature with more is not used either.
bool FormGroups(TFeatureSearch& s) {
  const RunContext& rc = s.V.rc;
  s.B.KnownObjects.clear();
  for (int32_t i : s.V.Objects) {
    if (rc.DataTable.At(s.G, i) != MissingValue) s.B.KnownObjects.push_back(i);
  }
  if (s.Known() == 0 || static_cast<double>(s.V.N - s.Known()) / s.V.N >= 0.5) return false;
  s.B.Label.resize(static_cast<size_t>(s.Known()));
  if (s.Nominal) FormNominalGroups(s);
  else FormNumericGroups(s);
  s.Standing = static_cast<int32_t>(s.Groups.size()) - 1;
  if (s.Standing < 2 || (s.Nominal && s.Standing > MaxCategories)) return false;
  LinkGroups(s);
  if (s.Chains) ChainPositions(s);
  for (int32_t p = 0; p < s.Known(); ++p) {
    TStats& stats = s.Groups[s.B.Label[p]].Stats;
    if (s.Spread) AddObject(rc, s.B.KnownObjects[p], stats);
    else CountObject(rc, s.B.KnownObjects[p], stats);
  }
  s.B.Collected.reserve(s.B.KnownObjects.size());  // no growth while subtrees are built
  return true;
}

// The objects of groups a and b in the order of the vertex's list.
void CollectObjects(TFeatureSearch& s, int32_t a, int32_t b) {
  s.B.Collected.clear();
  int32_t x = s.Groups[a].First;
  int32_t y = a == b ? -1 : s.Groups[b].First;
  while (x >= 0 || y >= 0) {
    int32_t& p = y < 0 || (x >= 0 && x < y) ? x : y;
    s.B.Collected.push_back(s.B.KnownObjects[p]);
    p = s.B.NextKnown[p];
  }
}

// Calls visit with the head of every position chain that holds objects of the group: its
// own chain, or at the depth limit, where merges do not relink, those of the elementary
// groups it took in (a numeric range; nominal codes number their elementary groups).
template <typename Visit>
void ForEachChain(const TFeatureSearch& s, int32_t group, Visit visit) {
  const TGroup& g = s.Groups[group];
  if (!s.V.AtLimit) {
    visit(g.First);
  } else if (s.Nominal) {
    for (int32_t c = g.FirstCode; c != 0; c = s.B.NextCode[c]) visit(s.Groups[c].First);
  } else {
    for (int32_t k = group; k <= g.End; ++k) visit(s.Groups[k].First);
  }
}

// Whether two objects of groups a and b have different known values of f. Which object is
// the reference does not change the answer, so the chains are walked one after the other.
bool FeatureVaries(const TFeatureSearch& s, int32_t f, int32_t a, int32_t b) {
  const double* column = s.V.rc.DataTable.Column(f);
  bool seen = false;
  bool varies = false;
  double reference = 0.0;
  auto walk = [&](int32_t first) {
    for (int32_t p = first; p >= 0 && !varies; p = s.B.NextKnown[p]) {
      const double x = column[s.B.KnownObjects[p]];
      if (x == MissingValue) continue;
      if (!seen) {
        seen = true;
        reference = x;
      } else {
        varies = x != reference;
      }
    }
  };
  ForEachChain(s, a, walk);
  if (a != b) ForEachChain(s, b, walk);
  return varies;
}

// Whether the objects of groups a and b cannot be split: too few, or no usable feature
// varies among them. Two groups that both hold objects (bothHeld) hold different values of
// the searched feature.
bool CannotContinue(const TFeatureSearch& s, int32_t count, int32_t a, int32_t b, bool bothHeld) {
  const TVertexSearch& v = s.V;
  if (count < v.rc.MinNodeSize) return true;
  if (bothHeld && v.Available[s.G]) return false;
  for (int32_t f = 1; f <= v.rc.FeaturesNumber; ++f) {
    if (v.Available[f] && f != v.PrevFeature && FeatureVaries(s, f, a, b)) return false;
  }
  return true;
}

void FillLeaf(TVertex& leaf, const TStats& stats, bool terminal) {
  leaf.FirstBranch = nullptr;
  leaf.SplitFeature = 0;
  leaf.ClassCounts = stats.Classes;
  leaf.Variance = stats.Variance;
  leaf.Mean = stats.Mean;
  leaf.ObjCount = stats.Count;
  leaf.Terminal = terminal;
}

// A single leaf over objects of these statistics.
TFigures LeafFigures(const RunContext& rc, const TStats& stats) {
  return {stats.Count, 1, Misclassified(rc, stats.Classes), stats.Variance};
}

// The subtree of group a (a = b) or of the union of groups a and b (statistics `stats`),
// grown below the vertex unless the union is homogeneous, blocked or at the depth limit.
TGroupTree BuildGroupBranch(TFeatureSearch& s, int32_t a, int32_t b, const TStats& stats,
                            bool bothHeld) {
  RunContext& rc = s.V.rc;
  TGroupTree tree;
  tree.Figures = LeafFigures(rc, stats);
  if (!s.Nominal) {
    tree.Low = s.B.Bounds[a - 1];
    tree.High = s.B.Bounds[s.Groups[b].End];
  }
  // The rate is taken over the objects of the vertex being split, not of the union.
  const bool homogeneous =
      IsHomogeneous(rc, static_cast<double>(tree.Figures.Misclassified) / s.V.N, stats.Variance);
  const bool blocked = !homogeneous && CannotContinue(s, stats.Count, a, b, bothHeld);
  if (!homogeneous && !blocked && s.V.Depth < rc.MaxDepth) {
    CollectObjects(s, a, b);
    const TGrowResult grown =
        GrowVertex(rc, &tree.Top, s.B.Collected, s.V.Available, s.V.Depth, s.G);
    tree.Figures.Leaves = grown.Leaves;
    tree.Figures.Misclassified = grown.Misclassified;
    tree.Figures.Variance = grown.Variance;
  } else {
    FillLeaf(tree.Top, stats, homogeneous || blocked);
  }
  return tree;
}

double QualityOf(const TFeatureSearch& s, const TTotals& t) {
  return SplitQuality(s.V.rc, s.V.N, t.Leaves, static_cast<double>(t.Misclassified) / s.Known(),
                      t.Variance, s.V.rc.FeatureCost[s.G]);
}

// The totals of the partition after a merge that changes them so.
TTotals MergedTotals(const TFeatureSearch& s, int32_t leavesChange, int32_t misclassifiedChange,
                     double varianceDrop) {
  TTotals t;
  t.Leaves = s.Totals.Leaves + leavesChange;
  t.Misclassified = s.Totals.Misclassified + misclassifiedChange;
  t.Variance = s.Totals.Variance - varianceDrop;
  return t;
}

// The totals of the partition in which the pair's groups are replaced by their union.
TTotals MergedTotals(const TFeatureSearch& s, const TPair& pair) {
  return MergedTotals(s, pair.LeavesChange, pair.MisclassifiedChange, pair.VarianceDrop);
}

// Subtrees of the elementary groups; returns the quality of that partition. At the depth
// limit every one is a leaf, which is built only if the partition is linked.
double GrowElementaryGroups(TFeatureSearch& s) {
  double weightedVariance = 0.0;
  for (int32_t k = 1; k <= s.Standing; ++k) {
    TGroup& group = s.Groups[k];
    if (s.V.AtLimit) {
      group.Figures = LeafFigures(s.V.rc, group.Stats);
    } else {
      TGroupTree tree = BuildGroupBranch(s, k, k, group.Stats, false);
      group.Figures = tree.Figures;
      group.Tree = s.B.Store.Add(std::move(tree));
    }
    s.Totals.Leaves += group.Figures.Leaves;
    s.Totals.Misclassified += group.Figures.Misclassified;
    weightedVariance += static_cast<double>(group.Figures.Count) * group.Figures.Variance;
  }
  s.Totals.Variance = weightedVariance / s.Known();
  return QualityOf(s, s.Totals);
}

// A group judged as a single leaf needs MinNodeSize objects (of its largest class, in
// classification); a group whose subtree was split is exempt. A leaf holds its group's
// statistics.
bool HasSmallLeafGroup(TFeatureSearch& s) {
  const RunContext& rc = s.V.rc;
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    if (!s.V.AtLimit && s.TreeOf(k).Top.FirstBranch != nullptr) continue;
    const TStats& stats = s.Groups[k].Stats;
    const int32_t size =
        rc.ClassificationWeight != 0 ? LargestClass(rc, stats.Classes) : stats.Count;
    if (size < rc.MinNodeSize) return true;
  }
  return false;
}

// The standing groups' subtrees and value sets become the best partition; the previous
// best partition's subtrees are freed unless the current partition still holds them.
void KeepAsBest(TFeatureSearch& s) {
  TTreeStore& store = s.B.Store;
  for (const TBestGroup& best : s.B.BestGroups) store.Release(best.Tree, TTreeStore::InBest);
  s.B.BestGroups.clear();
  s.B.BestCodes.clear();
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    const TGroup& group = s.Groups[k];
    store.Hold(group.Tree, TTreeStore::InBest);
    s.B.BestGroups.push_back(
        {group.Tree, static_cast<int32_t>(s.B.BestCodes.size()), group.CodeCount});
    for (int32_t c = group.FirstCode; c != 0; c = s.B.NextCode[c]) {
      s.B.BestCodes.push_back(s.B.CodeValue[c]);
    }
  }
}

void ApplyAcceptance(TFeatureSearch& s, double quality) {
  if (!s.SizeChecked) {
    if (HasSmallLeafGroup(s)) return;
    s.SizeChecked = true;
  }
  // Ties go to the later partition, which has fewer groups.
  if (quality > s.Best) return;
  s.Best = quality;
  s.BestTotals = s.Totals;
  if (s.V.AtLimit) s.BestStep = s.B.Merges.size();
  else KeepAsBest(s);
}

// Grows the union of groups a and b into a free slot, with what merging them would change.
void BuildPair(TFeatureSearch& s, int32_t slot, int32_t a, int32_t b) {
  const TGroup& ga = s.Groups[a];
  const TGroup& gb = s.Groups[b];
  TPair& pair = s.Pairs[slot];
  pair.A = a;
  pair.B = b;
  if (s.Spread) Pool(s.V.rc, ga.Stats, gb.Stats, pair.Union);
  else PoolCounts(s.V.rc, ga.Stats, gb.Stats, pair.Union);
  if (s.V.AtLimit) {
    pair.UnionFigures = LeafFigures(s.V.rc, pair.Union);
    pair.Tree = -1;
  } else {
    const bool bothHeld = ga.Stats.Count > 0 && gb.Stats.Count > 0;
    TGroupTree ab = BuildGroupBranch(s, a, b, pair.Union, bothHeld);
    pair.UnionFigures = ab.Figures;
    pair.Tree = s.B.Store.Add(std::move(ab));
  }
  const TFigures& fa = ga.Figures;
  const TFigures& fb = gb.Figures;
  const TFigures& fab = pair.UnionFigures;
  pair.LeavesChange = fab.Leaves - fa.Leaves - fb.Leaves;
  pair.MisclassifiedChange = fab.Misclassified - fa.Misclassified - fb.Misclassified;
  const double na = fa.Count;
  const double nb = fb.Count;
  const double nab = fab.Count;
  pair.VarianceDrop = (na * fa.Variance + nb * fb.Variance - nab * fab.Variance) / s.Known();
}

// Frees the slot and its subtree; a free slot stays free.
void ReleasePair(TFeatureSearch& s, int32_t slot) {
  TPair& pair = s.Pairs[slot];
  if (pair.A == 0) return;
  if (pair.Tree >= 0) s.B.Store.Release(pair.Tree, TTreeStore::InPartition);
  pair.Free();
}

// Calls visit with every used pair slot in pair number or slot order.
template <typename Visit>
void ForEachUsedPair(const TFeatureSearch& s, Visit visit) {
  if (!s.Nominal) {
    // Numeric pair k joins standing group k to the next one: value order is pair order.
    for (int32_t k = 1; s.B.NextLive[k] != 0; k = s.B.NextLive[k]) visit(k);
  } else {
    for (int32_t slot = 1; slot < static_cast<int32_t>(s.Pairs.size()); ++slot) {
      if (s.Pairs[slot].A != 0) visit(slot);
    }
  }
}

// Rates every used pair with the current totals and returns the best one's slot.
int32_t RateEveryPair(TFeatureSearch& s) {
  int32_t best = 0;
  double bestQuality = Infinity;
  ForEachUsedPair(s, [&s, &best, &bestQuality](int32_t slot) {
    TPair& pair = s.Pairs[slot];
    pair.Quality = QualityOf(s, MergedTotals(s, pair));
    // Strictly lower only: on equal qualities the lowest pair number or slot wins.
    if (best == 0 || pair.Quality < bestQuality) {
      best = slot;
      bestQuality = pair.Quality;
    }
  });
  return best;
}

// A pair's place in the order of qualities at the depth limit when they fall with the
// variance drop alone (see TPairOrder).
double VarianceKey(const TPair& pair) { return -pair.VarianceDrop; }

// The first pair of the lowest key and the next higher key, over pairs offered in slot
// order; `Ordered` turns false at a key that is not a finite number.
struct TKeyScan {
  int32_t First = 0;
  double Low = NoKey;
  double Next = NoKey;
  bool Ordered = true;

  void Offer(double key, int32_t slot) {
    Ordered = Ordered && std::isfinite(key);
    if (First == 0 || key < Low) {
      Next = Low;
      First = slot;
      Low = key;
    } else if (key > Low && key < Next) {
      Next = key;
    }
  }
};

// Regression at the depth limit: the first pair of the smallest variance rise (numeric
// pairs from the key tree, nominal ones by a scan). There a pair's quality depends on its
// key alone and rises with it, so only a pair of a higher key can come out at the same
// quality, through rounding, and the next higher key tells. Returns 0 when it does, or
// when a key is not a finite number, and every pair must be rated.
int32_t LeastVarianceRise(TFeatureSearch& s) {
  TKeyScan scan;
  if (!s.KeyTree) {
    ForEachUsedPair(s, [&](int32_t slot) { scan.Offer(VarianceKey(s.Pairs[slot]), slot); });
  } else {
    scan.Ordered = s.B.Keys.Ordered();
    scan.First = s.B.Keys.First();
    scan.Low = s.B.Keys.Low();
    scan.Next = s.B.Keys.Next();
  }
  if (!scan.Ordered || scan.First == 0) return 0;
  TPair& best = s.Pairs[scan.First];
  best.Quality = QualityOf(s, MergedTotals(s, best));
  if (scan.Next == NoKey) return scan.First;
  const TTotals next =
      MergedTotals(s, best.LeavesChange, best.MisclassifiedChange, -scan.Next);
  return QualityOf(s, next) > best.Quality ? scan.First : 0;
}

// Classification at the depth limit: the first pair of the lowest misclassified change,
// found without looking past a change of 0, below which no merge goes. When one more
// misclassified object already makes a worse quality, no pair of a higher change can tie
// with it; otherwise 0, and the pairs are rated the long way.
int32_t FirstLeastMisclassifying(TFeatureSearch& s) {
  int32_t first = 0;
  int32_t low = 0;
  auto offer = [&](int32_t slot) {
    const int32_t change = s.Pairs[slot].MisclassifiedChange;
    if (first == 0 || change < low) {
      first = slot;
      low = change;
    }
    return change <= 0;
  };
  if (!s.Nominal) {
    // Mostly a pair of change 0 stands soon after the last one merged.
    for (int32_t k = s.ZeroScanFrom; s.B.NextLive[k] != 0 && !offer(k); k = s.B.NextLive[k]) {}
    if (first == 0 || low > 0) {
      first = 0;
      for (int32_t k = 1; s.B.NextLive[k] != 0 && !offer(k); k = s.B.NextLive[k]) {}
    }
    if (first != 0) s.ZeroScanFrom = first;
  } else {
    const auto count = static_cast<int32_t>(s.Pairs.size());
    for (int32_t slot = 1; slot < count; ++slot) {
      if (s.Pairs[slot].A != 0 && offer(slot)) break;
    }
  }
  if (first == 0) return 0;
  TPair& best = s.Pairs[first];
  best.Quality = QualityOf(s, MergedTotals(s, best));
  const TTotals worse = MergedTotals(s, best.LeavesChange, low + 1, best.VarianceDrop);
  return QualityOf(s, worse) > best.Quality ? first : 0;
}

// The slot of the pair with the lowest quality, the lowest slot on ties; only that pair's
// quality is sure to be up to date.
int32_t RateUsedPairs(TFeatureSearch& s) {
  int32_t best = 0;
  if (s.V.Order == TPairOrder::ByMisclassified) best = FirstLeastMisclassifying(s);
  if (s.V.Order == TPairOrder::ByVarianceDrop) best = LeastVarianceRise(s);
  return best != 0 ? best : RateEveryPair(s);
}

// Builds the pairs of the elementary groups; returns the best one's slot.
int32_t BuildInitialPairs(TFeatureSearch& s) {
  const int32_t k = s.Standing;
  if (!s.Nominal) {
    // Slots keep what an earlier search left in them until they are built; slot k stays
    // free: the last group has no pair.
    s.Pairs.resize(static_cast<size_t>(k) + 1);
    s.Pairs[static_cast<size_t>(k)].Free();
    s.KeyTree = s.V.Order == TPairOrder::ByVarianceDrop && k >= KeyTreeGroups;
    if (s.KeyTree) s.B.Keys.Reset(k + 1);  // slots 1..k
    for (int32_t i = 1; i < k; ++i) {
      BuildPair(s, i, i, i + 1);
      if (s.KeyTree) s.B.Keys.Place(i, VarianceKey(s.Pairs[i]));
    }
    if (s.KeyTree) s.B.Keys.Order();
  } else {
    s.Pairs.resize(static_cast<size_t>(k * (k - 1) / 2) + 1);
    int32_t slot = 0;
    for (int32_t a = 1; a < k; ++a) {
      for (int32_t b = a + 1; b <= k; ++b) BuildPair(s, ++slot, a, b);
    }
  }
  return RateUsedPairs(s);
}

// Links the ascending position chains starting at x and y into one; returns its head.
int32_t MergeChains(std::vector<int32_t>& next, int32_t x, int32_t y) {
  int32_t head = -1;
  int32_t* link = &head;
  while (x >= 0 && y >= 0) {
    int32_t& p = x < y ? x : y;
    *link = p;
    link = &next[p];
    p = next[p];
  }
  *link = x >= 0 ? x : y;  // the chain left over ends the union
  return head;
}

// Group a (a < b) takes in group b's value set, objects and range; b stops standing. The
// statistics are the caller's.
void JoinGroups(TFeatureSearch& s, int32_t a, int32_t b) {
  TGroup& ga = s.Groups[a];
  const TGroup& gb = s.Groups[b];
  if (gb.CodeCount > 0) {
    s.B.NextCode[ga.LastCode] = gb.FirstCode;
    ga.LastCode = gb.LastCode;
    ga.CodeCount += gb.CodeCount;
  }
  if (!s.V.AtLimit) {
    ga.First = MergeChains(s.B.NextKnown, ga.First, gb.First);
    ga.Last = std::max(ga.Last, gb.Last);
  }
  ga.End = gb.End;
  const int32_t next = s.B.NextLive[b];
  s.B.NextLive[s.B.PrevLive[b]] = next;
  if (next != 0) s.B.PrevLive[next] = s.B.PrevLive[b];
  --s.Standing;
}

// Replaces the pair's groups by their union, whose subtree is the pair's; the pair's slot
// is freed. At the depth limit the merge is logged instead, for rebuilding the best
// partition.
void MergeGroups(TFeatureSearch& s, TPair& pair) {
  const int32_t a = pair.A;
  const int32_t b = pair.B;
  s.Totals = MergedTotals(s, pair);
  TGroup& ga = s.Groups[a];
  if (s.V.AtLimit) {
    s.B.Merges.emplace_back(a, b);
  } else {
    s.B.Store.Release(ga.Tree, TTreeStore::InPartition);
    s.B.Store.Release(s.Groups[b].Tree, TTreeStore::InPartition);
    ga.Tree = pair.Tree;
  }
  ga.Stats = pair.Union;
  ga.Figures = pair.UnionFigures;
  pair.Free();
  JoinGroups(s, a, b);
}

// Neighbouring pairs after group a took in the next group b: the pairs that touched a or b
// are grown afresh, the left one first, and their keys follow.
void RenewNumericPairs(TFeatureSearch& s, int32_t a, int32_t b) {
  const int32_t before = s.B.PrevLive[a];
  const int32_t after = s.B.NextLive[a];
  ReleasePair(s, b);
  if (before != 0) {
    ReleasePair(s, before);
    BuildPair(s, before, before, a);
  }
  if (after != 0) BuildPair(s, a, a, after);
  s.ZeroScanFrom = std::min(s.ZeroScanFrom, before != 0 ? before : a);
  if (!s.KeyTree) return;
  TKeyTree& keys = s.B.Keys;
  keys.Free(b);
  if (before != 0) keys.Set(before, VarianceKey(s.Pairs[before]));
  if (after != 0) keys.Set(a, VarianceKey(s.Pairs[a]));
  else keys.Free(a);
}

// Slots after groups a and b merged: every slot of a or b is freed, and the pairs of the
// merged group take the lowest free slots in one upward sweep, in the order
// (1,a) .. (x,a) for the standing groups x before a, then (a,x) for those after it.
void RenewNominalPairs(TFeatureSearch& s, int32_t a, int32_t b) {
  for (int32_t slot = 1; slot < static_cast<int32_t>(s.Pairs.size()); ++slot) {
    const TPair& pair = s.Pairs[slot];
    if (pair.A == a || pair.A == b || pair.B == a || pair.B == b) ReleasePair(s, slot);
  }
  size_t slot = 0;
  auto nextFreeSlot = [&s, &slot]() {
    do ++slot; while (s.Pairs[slot].A != 0);
    return static_cast<int32_t>(slot);
  };
  for (int32_t x = 1; x != a; x = s.B.NextLive[x]) BuildPair(s, nextFreeSlot(), x, a);
  for (int32_t x = s.B.NextLive[a]; x != 0; x = s.B.NextLive[x]) {
    BuildPair(s, nextFreeSlot(), a, x);
  }
}

// Whether no later partition of the feature can be linked. At the depth limit a merge
// never lowers the misclassified count (a union's largest class is at most the sum of the
// two largest), every partition keeps at least two leaves and a variance term of at least
// 0, and a partition is linked only when strictly better than the vertex's quality so far.
bool CannotImprove(const TFeatureSearch& s) {
  if (!s.V.MayStop) return false;
  const TTotals bound{2, s.Totals.Misclassified, 0.0};
  return QualityOf(s, bound) >= *s.V.VertexQuality;
}

void RunMergeLoop(TFeatureSearch& s) {
  int32_t best = BuildInitialPairs(s);
  while (s.Standing > 2) {
    TPair& pair = s.Pairs[best];
    const double quality = pair.Quality;
    const int32_t a = pair.A;
    const int32_t b = pair.B;
    MergeGroups(s, pair);
    ApplyAcceptance(s, quality);
    if (s.Standing <= 2 || CannotImprove(s)) break;
    if (s.Nominal) {
      RenewNominalPairs(s, a, b);
    } else {
      RenewNumericPairs(s, a, b);
    }
    best = RateUsedPairs(s);
  }
}

void CreditFeature(RunContext& rc, int32_t f, double quality) {
  TSearchScratch& scratch = ScratchOf(rc);
  if (scratch.CreditLog != nullptr) {
    scratch.CreditLog->emplace_back(f, quality);
    return;
  }
  if (rc.FeatureScore[f] == Infinity) rc.FeatureScore[f] = 0;
  rc.FeatureHits[f] += 1;
  rc.FeatureScore[f] += quality;
}

// The vertex's split feature and those of every split vertex below it; leaves count nothing.
void CreditSplitVertices(RunContext& rc, const TVertex& vertex, double quality) {
  if (vertex.FirstBranch == nullptr) return;
  CreditFeature(rc, vertex.SplitFeature, quality);
  for (const TBranch* branch = vertex.FirstBranch; branch != nullptr; branch = branch->Next) {
    CreditSplitVertices(rc, *branch->Child, quality);
  }
}

// The feature gets its best quality, or the leaf quality when nothing was accepted; the
// best quality also goes to every feature split on inside the best partition's subtrees.
void AccumulateFeatureScores(RunContext& rc, TFeatureSearch& s, double leafQuality) {
  if (s.Best == Infinity) {
    CreditFeature(rc, s.G, leafQuality);
    return;
  }
  CreditFeature(rc, s.G, s.Best);
  for (const TBestGroup& group : s.B.BestGroups) {
    CreditSplitVertices(rc, s.B.Store.Trees[group.Tree].Top, s.Best);
  }
}

// The branch that leads to a group of the best partition; its subtree passes to the branch.
PBranch LinkedBranch(TFeatureSearch& s, const TBestGroup& group) {
  TGroupTree& tree = s.B.Store.Trees[group.Tree];
  PBranch branch = NewBranch();
  branch->Kind = static_cast<uint8_t>(s.V.rc.FeatureType[s.G]);
  if (!s.Nominal) {
    branch->Low = tree.Low;
    branch->High = tree.High;
  }
  branch->CategoryCount = group.CodeCount;
  for (int32_t c = 0; c < group.CodeCount; ++c) {
    branch->Categories[c + 1] = s.B.BestCodes[static_cast<size_t>(group.FirstCode + c)];
  }
  *branch->Child = tree.Top;
  tree.Top.FirstBranch = nullptr;
  return branch;
}

void LinkBestPartition(TFeatureSearch& s, TVertex& v, TGrowResult& result) {
  result.Quality = s.Best;
  result.Leaves = s.BestTotals.Leaves;
  result.Misclassified = s.BestTotals.Misclassified;
  result.Variance = s.BestTotals.Variance;
  FreeBranches(v.FirstBranch);
  PBranch* tail = &v.FirstBranch;
  for (const TBestGroup& group : s.B.BestGroups) {
    *tail = LinkedBranch(s, group);
    tail = &(*tail)->Next;
  }
  v.SplitFeature = s.G;
}

// The best partition at the depth limit, rebuilt from the elementary groups by the merges
// that led to it, with a leaf for every group. A leaf is closed as it would have been
// when its group was formed: an elementary group was judged while its own feature was not
// yet available, a merged one by the two groups it came from.
void RebuildBestPartition(TFeatureSearch& s) {
  s.Spread = true;
  s.Chains = true;
  FormGroups(s);  // as the search formed them
  for (size_t step = 0; step < s.BestStep; ++step) {
    const auto [a, b] = s.B.Merges[step];
    TGroup& ga = s.Groups[a];
    const TGroup& gb = s.Groups[b];
    ga.Merged = true;
    ga.BothHeld = ga.Stats.Count > 0 && gb.Stats.Count > 0;
    TStats pooled;
    Pool(s.V.rc, ga.Stats, gb.Stats, pooled);
    ga.Stats = pooled;
    JoinGroups(s, a, b);
  }
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    TGroup& group = s.Groups[k];
    s.V.Available[s.G] = group.Merged;
    group.Tree = s.B.Store.Add(BuildGroupBranch(s, k, k, group.Stats, group.BothHeld));
  }
  s.V.Available[s.G] = true;
  KeepAsBest(s);
}

void SearchFeature(const TVertexSearch& vs, int32_t g, double leafQuality, TVertex& v,
                   TGrowResult& result) {
  vs.Available[g] = false;
  TFeatureSearch s(vs, g);
  // A feature that cannot be used stays unavailable for the rest of this vertex's search.
  if (!FormGroups(s)) return;
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

// The features of a top vertex searched on worker threads. Each worker grows on its own
// copy of the run state and logs its credits; the outcomes are then taken in feature order
// as one search after the other would: the credits replayed into the run's scores in the
// order they were made, and a feature's split taken when strictly better than the best so
// far. A feature that cannot be used stays unavailable for the later features' subtrees,
// so those are decided first, from the data alone.
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

// Searches the top vertex's features on worker threads; false when that does not pay (one
// thread, a worker already, the depth limit, few objects or features), and nothing is done.
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

}  // namespace

void SearchScratchDeleter::operator()(TSearchScratch* scratch) const { delete scratch; }

double SplitQuality(const RunContext& rc, int32_t n, double k, double r, double v, double c) {
  const double variance =
      rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight * std::max(v, 0.0) / rc.RootVariance;
  return variance + rc.ClassificationWeight * r + PerObject(rc.LeafWeight * k, n) +
         rc.CostWeight * c;
}

bool IsHomogeneous(const RunContext& rc, double r, double v) {
  const double variance = rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight * v / rc.RootVariance;
  return rc.ClassificationWeight * r + variance <= rc.Params->Homogeneity;
}

int32_t Misclassified(const RunContext& rc, const TClassCounts& counts) {
  int32_t total = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) total += counts[k];
  return total - LargestClass(rc, counts);
}

TGrowResult GrowVertex(RunContext& rc, PVertex v, std::span<const int32_t> objects,
                       FeatureFlags available, int32_t depth, int32_t prevFeature) {
  ++depth;
  TGrowResult result;
  FillVertex(rc, *v, objects, prevFeature, result);
  if (v->Terminal) return result;
  if (SearchFeaturesInParallel(rc, *v, objects, available, depth, prevFeature, result)) {
    return result;
  }
  const double leafQuality = result.Quality;
  TLevel level(rc, objects);
  const bool atLimit = depth >= rc.MaxDepth;
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
                         .MayStop = MayStopAt(rc, atLimit),
                         .VertexQuality = &result.Quality};
  for (int32_t g = 1; g <= rc.FeaturesNumber; ++g) {
    // A run given up keeps what this vertex has found so far and unwinds.
    if (rc.Cancel && rc.Cancel->Cancelled()) break;
    if (available[g] && g != prevFeature) SearchFeature(vs, g, leafQuality, *v, result);
  }
  return result;
}

}  // namespace tarmel
