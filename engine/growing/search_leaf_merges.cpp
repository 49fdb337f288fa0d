// A numeric feature at the depth limit in classification, where every group is a leaf and
// the pairs order by their change of the misclassified count alone. Most lookahead time
// goes here, so the groups are rows of class counts in one list and a pair is its change
// alone; the groups, the merges, the partitions offered for acceptance and the log of
// merges are those of the general search, which rebuilds the best partition if it is
// linked.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "search_margins.h"
#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

// The class counts of the standing groups, ClassesNumber to a group, each group's largest
// class count, and which classes have it. Only the sweep of merges that add no error reads
// the latter, before any other merge, and they keep it.
class TLeafCounts {
  static_assert(MaxClasses <= 16, "a group's largest classes are bits of 16");
 public:
  explicit TLeafCounts(TFeatureSearch& s)
      : Classes_(s.V.rc.ClassesNumber),
        Counts_(s.B.LeafCounts),
        Largest_(s.B.LeafLargest),
        Tops_(s.B.LeafTops) {}
  // Groups 1..groups without objects.
  void Start(int32_t groups) {
    Counts_.assign(static_cast<size_t>(groups + 1) * Classes_, 0);
    Largest_.assign(static_cast<size_t>(groups) + 1, 0);
    Tops_.assign(static_cast<size_t>(groups) + 1, 0);
  }
  // Adds a row of class counts to the group's and clears it.
  void Take(int32_t group, int32_t* counts) {
    int32_t* x = Row(group);
    for (int32_t c = 0; c < Classes_; ++c) {
      x[c] += counts[c];
      counts[c] = 0;
    }
  }
  // Finds the group's largest class; returns its misclassified count as a leaf.
  int32_t Close(int32_t group) {
    const int32_t* x = Row(group);
    int32_t total = 0;
    int32_t largest = 0;
    for (int32_t c = 0; c < Classes_; ++c) {
      total += x[c];
      largest = std::max(largest, x[c]);
    }
    Largest_[static_cast<size_t>(group)] = largest;
    uint16_t tops = 0;
    for (int32_t c = 0; c < Classes_; ++c) tops |= static_cast<uint16_t>(x[c] == largest) << c;
    Tops_[static_cast<size_t>(group)] = tops;
    return total - largest;
  }
  // Whether groups a and b share a largest class, so that merging them adds no error.
  bool ShareLargest(int32_t a, int32_t b) const {
    return (Tops_[static_cast<size_t>(a)] & Tops_[static_cast<size_t>(b)]) != 0;
  }
  int32_t Largest(int32_t k) const { return Largest_[static_cast<size_t>(k)]; }
  // What merging groups a and b adds to the misclassified count: their largest classes
  // less the union's.
  int32_t Change(int32_t a, int32_t b) const {
    return Largest(a) + Largest(b) - UnionLargest(a, b);
  }
  int32_t Margin(int32_t k) const {
    return MarginOf(std::span<const int32_t>(Row(k), static_cast<size_t>(Classes_)), Largest(k));
  }
  // Group a takes in group b's counts; a change of 0 tells that they share a largest class,
  // whose count in the union is the sum of theirs.
  void Join(int32_t a, int32_t b, int32_t change) {
    int32_t* x = Row(a);
    const int32_t* y = Row(b);
    if (change == 0) {
      for (int32_t c = 0; c < Classes_; ++c) x[c] += y[c];
      Largest_[static_cast<size_t>(a)] += Largest(b);
      Tops_[static_cast<size_t>(a)] &= Tops_[static_cast<size_t>(b)];
      return;
    }
    int32_t largest = 0;
    for (int32_t c = 0; c < Classes_; ++c) {
      x[c] += y[c];
      largest = std::max(largest, x[c]);
    }
    Largest_[static_cast<size_t>(a)] = largest;
  }

 private:
  int32_t* Row(int32_t k) { return Counts_.data() + static_cast<size_t>(k) * Classes_; }
  const int32_t* Row(int32_t k) const {
    return Counts_.data() + static_cast<size_t>(k) * Classes_;
  }
  int32_t UnionLargest(int32_t a, int32_t b) const {
    const int32_t* x = Row(a);
    const int32_t* y = Row(b);
    int32_t largest = 0;
    for (int32_t c = 0; c < Classes_; ++c) largest = std::max(largest, x[c] + y[c]);
    return largest;
  }

  int32_t Classes_;
  std::vector<int32_t>& Counts_;
  std::vector<int32_t>& Largest_;
  std::vector<uint16_t>& Tops_;
};

bool IsSmall(const TFeatureSearch& s, int32_t largest) { return largest < s.V.rc.MinNodeSize; }

// Group a takes in group b's counts, which changes the partition's totals so; the merge
// is logged. The standing groups' links are the caller's.
void JoinLeaves(TFeatureSearch& s, TLeafCounts& counts, int32_t a, int32_t b, int32_t change) {
  s.Totals.Leaves -= 1;
  s.Totals.Misclassified += change;
  s.B.Merges.emplace_back(a, b);
  s.SmallLeaves -= IsSmall(s, counts.Largest(a)) + IsSmall(s, counts.Largest(b));
  counts.Join(a, b, change);
  s.SmallLeaves += IsSmall(s, counts.Largest(a));
  --s.Standing;
}

// Group a takes in the next standing group b.
void MergeLeaves(TFeatureSearch& s, TLeafCounts& counts, int32_t a, int32_t b, int32_t change) {
  JoinLeaves(s, counts, a, b, change);
  const int32_t next = s.B.NextLive[b];
  s.B.NextLive[a] = next;
  if (next != 0) s.B.PrevLive[next] = a;
}

// The merges that leave the misclassified count as it is (the two groups share a largest
// class, or one is empty) come first, the lowest pair first. The union's largest classes
// are those both groups had, so such a merge never turns the pair with the group before
// it into one: they come in one sweep from left to right, over the elementary groups in
// value order, which links the groups left standing. Each of them takes a leaf off and
// adds no error, so no partition of the sweep rates worse than the one before it, and once
// one passes the size check every later one does: the last is the one to offer.
void MergeFreeNeighbours(TFeatureSearch& s, TLeafCounts& counts) {
  const size_t before = s.B.Merges.size();
  const int32_t groups = s.Standing;
  int32_t a = 1;
  s.B.PrevLive[a] = 0;
  for (int32_t b = 2; b <= groups; ++b) {
    if (s.Standing > 2 && counts.ShareLargest(a, b)) {
      JoinLeaves(s, counts, a, b, 0);
      continue;
    }
    s.B.NextLive[a] = b;
    s.B.PrevLive[b] = a;
    a = b;
  }
  s.B.NextLive[a] = 0;
  if (s.B.Merges.size() != before && PassesSizeCheck(s)) {
    ApplyAcceptance(s, QualityOf(s, s.Totals));
  }
}

// The least misclassified count at which CannotImprove holds, or one above every count
// when it never does: its bound rises with the count alone, so it is found once, by
// halving, instead of rated after every merge.
int32_t StopCount(TFeatureSearch& s) {
  const TTotals held = s.Totals;
  int32_t low = held.Misclassified;
  int32_t high = s.Known() + 1;
  while (low < high) {
    const int32_t mid = low + (high - low) / 2;
    s.Totals.Misclassified = mid;
    if (CannotImprove(s)) high = mid;
    else low = mid + 1;
  }
  s.Totals = held;
  return low;
}

// How many standing groups have each margin.
TMarginCounts CountMargins(const TFeatureSearch& s, const TLeafCounts& counts) {
  TMarginCounts perMargin{};
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    ++perMargin[static_cast<size_t>(std::min(counts.Margin(k), MarginCap))];
  }
  return perMargin;
}

// Whether no later partition can be linked, judged from the groups' margins, which
// holds when no two neighbouring groups share a largest class (see ForEachMarginFloor).
// The quality rises with the leaves and the errors alone here.
bool MarginsRuleOut(TFeatureSearch& s, const TMarginCounts& perMargin) {
  if (!s.V.MayStop) return false;
  return ForEachMarginFloor(s.Totals.Misclassified, s.Standing, perMargin,
                            [&s](int32_t low, int32_t fewest) {
                              const TTotals bound{std::max(2, low), fewest, 0.0};
                              return QualityOf(s, bound) >= StopQuality(s);
                            });
}

// Pair a joins standing group a to the next one; its change goes to the index.
void IndexPair(TFeatureSearch& s, const TLeafCounts& counts, int32_t a) {
  const int32_t b = s.B.NextLive[a];
  if (b != 0) s.B.Changes.Set(a, counts.Change(a, b));
}

}  // namespace

bool FormLeafRows(TFeatureSearch& s) {
  RankGroups(s);
  TSearchScratch& sc = s.V.Scratch;
  const auto groups = static_cast<int32_t>(sc.Present.size());
  s.Standing = groups;
  TLeafCounts counts(s);
  counts.Start(groups);
  // Every counted rank's row is taken, so that all rows are clear for the next search.
  const auto classes = static_cast<size_t>(s.V.rc.ClassesNumber);
  for (int32_t rank : sc.Present) {
    const auto at = static_cast<size_t>(rank);
    counts.Take(sc.GroupOfRank[at], sc.RankClasses.data() + at * classes);
  }
  if (groups < 2) return false;
  s.B.NextLive.resize(static_cast<size_t>(groups) + 1);
  s.B.PrevLive.resize(static_cast<size_t>(groups) + 1);
  s.Totals = TTotals{groups, 0, 0.0};
  for (int32_t k = 1; k <= groups; ++k) {
    s.Totals.Misclassified += counts.Close(k);
    s.SmallLeaves += IsSmall(s, counts.Largest(k));
  }
  return true;
}

bool ChangesNeverTie(const TFeatureSearch& s) {
  const RunContext& rc = s.V.rc;
  const double cost = rc.CostWeight * rc.FeatureCost[s.G];
  return s.V.Order == TPairOrder::ByMisclassified && !std::isnan(rc.RootVariance) &&
         rc.ClassificationWeight >= 1e-6 && rc.ClassificationWeight <= 1e3 &&
         rc.LeafWeight >= 0 && rc.LeafWeight <= 1e3 && cost >= 0 && cost <= 1e3;
}

void MergeNumericLeaves(TFeatureSearch& s) {
  TLeafCounts counts(s);
  MergeFreeNeighbours(s, counts);
  if (s.Standing <= 2) return;
  // The margins serve the early stops alone, and the floors, which only searches that may
  // stop keep.
  const bool mayStop = s.V.MayStop;
  if (mayStop) {
    const TMarginCounts perMargin = CountMargins(s, counts);
    KeepRunFloor(s, perMargin);
    if (MarginsRuleOut(s, perMargin)) return;
  }
  TChangeIndex& changes = s.B.Changes;
  changes.Reset(static_cast<int32_t>(s.B.NextLive.size()), s.Known());
  for (int32_t a = 1; a != 0; a = s.B.NextLive[a]) IndexPair(s, counts, a);
  const int32_t stopCount = StopCount(s);
  // The margins are judged again whenever a quarter of the groups has gone and no pair is
  // free, so that no two neighbours share a largest class.
  int32_t judgeAt = s.Standing - s.Standing / 4;
  while (s.Standing > 2) {
    const int32_t a = changes.FirstLowest();
    const int32_t b = s.B.NextLive[a];
    const int32_t change = changes.Change(a);
    if (mayStop && change > 0 && s.Standing <= judgeAt) {
      if (MarginsRuleOut(s, CountMargins(s, counts))) return;
      judgeAt = s.Standing - s.Standing / 4 - 1;
    }
    changes.Free(a);
    changes.Free(b);
    MergeLeaves(s, counts, a, b, change);
    if (PassesSizeCheck(s)) ApplyAcceptance(s, QualityOf(s, s.Totals));
    if (s.Standing <= 2 || s.Totals.Misclassified >= stopCount) return;
    const int32_t before = s.B.PrevLive[a];
    if (before != 0) {
      changes.Free(before);
      IndexPair(s, counts, before);
    }
    IndexPair(s, counts, a);
  }
}

}  // namespace tarmel::search
