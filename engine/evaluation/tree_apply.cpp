// Applying a grown tree to single objects. An object is routed from a vertex down to the
// vertex where it stops, whose class counts and mean are its prediction; a root-to-vertex
// path is tested condition by condition; the answers of several trees are combined by a
// vote weighted with each tree's competence. Nothing here changes a tree or a table.
// Bounds of -1e17 and +1e17 are open, so they hold for every value, however large.
#include "tree_apply.h"

#include <algorithm>
#include <cmath>

namespace tarmel {

namespace {

bool IsMissing(double x) { return x == MissingValue; }

// Codes are compared with the whole part of the stored value; done on doubles, so a value
// far outside the integer range matches no code instead of overflowing a conversion.
bool CategoryHolds(const TBranch& b, double x) {
  const double code = std::trunc(x);
  const int32_t count = std::clamp(b.CategoryCount, 0, MaxCategories);
  for (int32_t k = 1; k <= count; ++k) {
    if (static_cast<double>(b.Categories[k]) == code) return true;
  }
  return false;
}

bool IntervalHolds(const TBranch& b, double x) {
  const bool aboveLow = b.Low == -Infinity || b.Low < x;
  const bool belowHigh = b.High == Infinity || x <= b.High;
  return aboveLow && belowHigh;
}

// The condition of one branch for a known value; a branch of an unknown kind holds for none.
bool BranchHolds(const TBranch& b, double x) {
  if (b.Kind == 0 || b.Kind == 1) return IntervalHolds(b, x);
  if (b.Kind == 2) return CategoryHolds(b, x);
  return false;
}

// The first branch of the vertex that the value goes down (branches are disjoint, so the
// first one found is the only one); nil when none carries it.
const TBranch* BranchFor(const TVertex& v, double x) {
  for (const TBranch* b = v.FirstBranch; b != nullptr; b = b->Next) {
    if (BranchHolds(*b, x)) return b;
  }
  return nullptr;
}

double PathValue(const RunContext& rc, const TPathEntry& e, int32_t object,
                 bool useTimeSeriesTable) {
  if (useTimeSeriesTable) return rc.SeriesTable.At(e.Feature, e.Shift + object - 1);
  return rc.DataTable.At(e.Feature, object);
}

// The class with the largest entry among values[1..classes]. Only a strictly greater value
// replaces the one kept, so on a tie the lower class number wins; with fewer than two
// classes the answer is class 1.
template <typename T>
int32_t FirstLargest(const std::array<T, MaxClasses + 1>& values, int32_t classes) {
  T best = values[1];
  int32_t cls = 1;
  for (int32_t i = 2; i <= classes; ++i) {
    if (values[i] > best) {
      best = values[i];
      cls = i;
    }
  }
  return cls;
}

bool ClassIndexInRange(const RunContext& rc, double code) {
  return code >= 1 && code <= std::min(rc.ClassesNumber, MaxClasses);
}

}  // namespace

TRoute RouteObject(const RunContext& /*rc*/, const TVertex* vertex, const TTable& table,
                   int32_t object) {
  while (vertex->FirstBranch != nullptr && vertex->SplitFeature > 0) {
    const double x = table.At(vertex->SplitFeature, object);
    if (IsMissing(x)) break;
    // A value no branch carries (an unseen category, or a number beyond every interval)
    // stops the object here, so it is predicted by this vertex's own statistics.
    const TBranch* b = BranchFor(*vertex, x);
    if (b == nullptr) break;
    vertex = b->Child;
  }
  return TRoute{vertex->ClassCounts, vertex->Mean};
}

int32_t MajorityClass(const RunContext& rc, const TClassCounts& counts, int32_t& others) {
  const int32_t classes = std::min(rc.ClassesNumber, MaxClasses);
  const int32_t cls = FirstLargest(counts, classes);
  others = 0;
  for (int32_t i = 1; i <= classes; ++i) {
    if (i != cls) others += counts[i];
  }
  return cls;
}

bool RuleHolds(const RunContext& rc, const TRulePath& path, int32_t depth, int32_t object,
               bool useTimeSeriesTable) {
  for (int32_t d = 1; d <= depth; ++d) {
    const TPathEntry& e = path[d];
    const double x = PathValue(rc, e, object, useTimeSeriesTable);
    // Unlike routing, a missing value does not stop early: the rule simply fails.
    if (IsMissing(x) || e.Branch == nullptr || !BranchHolds(*e.Branch, x)) return false;
  }
  return true;
}

int32_t LargestVote(const RunContext& rc, const TVotes& votes) {
  return FirstLargest(votes, std::min(rc.ClassesNumber, MaxClasses));
}

double Vote(const RunContext& rc, const std::vector<double>& predictions, int32_t treesNumber) {
  const int32_t trees = std::min<int32_t>(
      treesNumber, static_cast<int32_t>(std::min(predictions.size(), rc.Competence.size())) - 1);
  if (TaskOf(rc) == TaskKind::Classification) {
    TVotes votes{};
    for (int32_t t = 1; t <= trees; ++t) {
      const double cls = std::trunc(predictions[t]);
      // A column no tree filled holds 0, which names no class and so carries no vote.
      if (ClassIndexInRange(rc, cls)) votes[static_cast<size_t>(cls)] += rc.Competence[t];
    }
    return LargestVote(rc, votes);
  }
  // The weights already sum to 1, so the weighted sum is the combined value.
  double sum = 0.0;
  for (int32_t t = 1; t <= trees; ++t) sum += predictions[t] * rc.Competence[t];
  return sum;
}

}  // namespace tarmel
