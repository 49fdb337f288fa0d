// The segment bound of a regression search at the depth limit: the least quality that any
// coarser interval partition of the standing groups can reach, found by cutting them into
// intervals at the lowest cost, where a partition costs its spread within intervals and its
// leaves as the quality weighs them. The merge loop reaches only such partitions, so a
// feature whose least cost cannot beat what the vertex still needs stops searching.
#include <algorithm>
#include <cmath>
#include <vector>

#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

// Running sums over the standing groups in value order, the targets taken about the first
// group's mean so that the spread of an interval is not lost to cancellation.
struct TPrefix {
  std::vector<int32_t>& Count;
  std::vector<double>& Sum;
  std::vector<double>& Squares;
  const std::vector<double>& Inverse;  // 1 / n by n

  // The spread within the interval of groups i+1..j, times its count of objects.
  double Spread(int32_t i, int32_t j) const {
    const auto x = static_cast<size_t>(i);
    const auto y = static_cast<size_t>(j);
    const double sum = Sum[y] - Sum[x];
    const double inverse = Inverse[static_cast<size_t>(Count[y] - Count[x])];
    return std::max(0.0, Squares[y] - Squares[x] - sum * sum * inverse);
  }
};

TPrefix StandingPrefix(TFeatureSearch& s) {
  std::vector<double>& inverse = s.V.Scratch.Inverse;
  for (size_t n = inverse.size(); n <= static_cast<size_t>(s.Known()); ++n) {
    inverse.push_back(n > 0 ? 1.0 / static_cast<double>(n) : 0.0);
  }
  TPrefix p{s.B.SegmentCount, s.B.SegmentSum, s.B.SegmentSquares, inverse};
  p.Count.assign(1, 0);
  p.Sum.assign(1, 0.0);
  p.Squares.assign(1, 0.0);
  const double origin = s.Groups[1].Stats.Mean;
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    const TStats& g = s.Groups[k].Stats;
    const double n = g.Count;
    const double d = g.Mean - origin;
    p.Count.push_back(p.Count.back() + g.Count);
    p.Sum.push_back(p.Sum.back() + n * d);
    p.Squares.push_back(p.Squares.back() + n * (g.Variance + d * d));
  }
  return p;
}

}  // namespace

// Every later partition joins the standing groups into two or more intervals, at least one
// of them of two groups or more. Its quality is w * spread + l * intervals + what the
// misclassified count and the cost add, so its least value over all of them is found
// interval by interval over the prefixes of the groups: a prefix cut into single groups
// may start an interval of two or more, one cut so that some interval joins groups may
// start any. The search fails as soon as the best cut of a prefix, with the rest of the
// groups as one interval, stays under the limit. A prefix is dropped once its cost with
// one more interval reaches the limit, or once it costs up to group j no less than the
// best cut of the first j groups: an interval's spread is at least the spreads of its two
// parts, so it never starts a cheaper last interval than that cut does. The costs are sums
// like the totals' own, and the limit stands far above their rounding.
bool SegmentsRuleOut(TFeatureSearch& s) {
  // Nominal groups merge in any combination, not in intervals.
  if (!s.V.MayStop || s.V.Order != TPairOrder::ByVarianceDrop || s.Nominal) return false;
  const RunContext& rc = s.V.rc;
  const double w = rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight / rc.RootVariance / s.Known();
  const double l = PerObject(rc.LeafWeight, s.V.N);
  const double limit = StopLimit(s);
  const TTotals fixed{0, s.Totals.Misclassified, 0.0};
  const double reach = limit - QualityOf(s, fixed);  // what the intervals must stay under
  if (std::isnan(reach)) return false;
  if (reach <= 2 * l) return true;  // two leaves alone reach it
  const TPrefix p = StandingPrefix(s);
  const auto r = static_cast<int32_t>(p.Count.size()) - 1;
  // Spreads too large for a double would cost intervals more than they do.
  if (!std::isfinite(p.Squares.back())) return false;
  std::vector<TSegmentStart>& starts = s.B.SegmentStarts;
  starts.assign(1, {0, 2, 0.0, 0.0});
  double single = 0.0;  // the first j groups each alone
  for (int32_t j = 1; j < r; ++j) {
    double cut = Infinity;  // the least cost of the first j groups, some of them joined
    for (TSegmentStart& start : starts) {
      if (j < start.FirstEnd) continue;
      start.Cost = start.Base + w * p.Spread(start.At, j);
      cut = std::min(cut, start.Cost + l);
    }
    std::erase_if(starts, [&](const TSegmentStart& start) {
      return start.Base + l >= reach || (j >= start.FirstEnd && start.Cost >= cut);
    });
    single += w * p.Spread(j - 1, j) + l;
    // A cut found whole, the rest of the groups one interval, may already stay under.
    const double rest = w * p.Spread(j, r) + l;
    if (cut + rest < reach || (j + 2 <= r && single + rest < reach)) return false;
    if (cut + l < reach) starts.push_back({j, j + 1, cut, 0.0});
    if (single + l < reach) starts.push_back({j, j + 2, single, 0.0});
    if (starts.empty()) return true;  // no cut can stay under reach
  }
  // The last interval ends with the last group and starts after at least one.
  double least = Infinity;
  for (const TSegmentStart& start : starts) {
    if (start.At >= 1 && r >= start.FirstEnd) {
      least = std::min(least, start.Base + w * p.Spread(start.At, r) + l);
    }
  }
  return least >= reach;
}

}  // namespace tarmel::search
