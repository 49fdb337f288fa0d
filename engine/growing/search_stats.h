// Statistics of a group's objects and of a partition's totals, kept inline: the merge loop
// pools, counts and rates pairs in its innermost steps.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "search_records.h"
#include "split_search.h"

namespace tarmel::search {

inline void CountClass(const RunContext& rc, int32_t object, TClassCounts& counts) {
  const int32_t label = rc.ClassLabel[object];
  if (label >= 1 && label <= rc.ClassesNumber) ++counts[label];
}

// The integer part of a stored nominal value. Stored codes are small; the range check only
// keeps the conversion defined for whatever a hand-filled table may hold.
inline int32_t NominalCode(double x) {
  return x > -1e9 && x < 1e9 ? static_cast<int32_t>(x) : 0;
}

inline void AddObject(const RunContext& rc, int32_t object, TStats& s) {
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
inline void CountObject(const RunContext& rc, int32_t object, TStats& s) {
  ++s.Count;
  CountClass(rc, object, s.Classes);
}

// The statistics of the union of groups a and b go to u, which is neither of them.
inline void PoolCounts(const RunContext& rc, const TStats& a, const TStats& b, TStats& u) {
  u.Count = a.Count + b.Count;
  u.Mean = 0.0;
  u.Variance = 0.0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) u.Classes[k] = a.Classes[k] + b.Classes[k];
}

// Count and class counts of the union go to u, which is neither a nor b; returns the
// union's misclassified count as one leaf (as Misclassified would, in one pass).
inline int32_t PoolClassCounts(const RunContext& rc, const TStats& a, const TStats& b, TStats& u) {
  u.Count = a.Count + b.Count;
  u.Mean = 0.0;
  u.Variance = 0.0;
  int32_t total = 0;
  int32_t largest = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) {
    const int32_t count = a.Classes[k] + b.Classes[k];
    u.Classes[k] = count;
    total += count;
    largest = std::max(largest, count);
  }
  return total - largest;
}

inline void Pool(const RunContext& rc, const TStats& a, const TStats& b, TStats& u) {
  PoolCounts(rc, a, b, u);
  const double na = a.Count;
  const double nb = b.Count;
  u.Mean = (na * a.Mean + nb * b.Mean) / u.Count;
  const double da = a.Mean - u.Mean;
  const double db = b.Mean - u.Mean;
  u.Variance = (na * (da * da + a.Variance) + nb * (db * db + b.Variance)) / u.Count;
}

// Whether a leaf over objects of these statistics is too small for an accepted partition:
// fewer than MinNodeSize objects of its largest class, in classification, or in all.
inline bool IsSmallLeaf(const RunContext& rc, const TStats& stats) {
  const int32_t size =
      rc.ClassificationWeight != 0 ? LargestClass(rc, stats.Classes) : stats.Count;
  return size < rc.MinNodeSize;
}

// A single leaf over objects of these statistics.
inline TFigures LeafFigures(const RunContext& rc, const TStats& stats) {
  return {stats.Count, 1, Misclassified(rc, stats.Classes), stats.Variance};
}

// The quality below which a later partition of the feature still matters: it must beat
// the vertex's best so far to be linked, and come out no worse than the feature's own best
// (a later partition wins a tie) to become it. A bound at or above it ends the search.
inline double StopQuality(const TFeatureSearch& s) {
  return std::min(*s.V.VertexQuality, std::nextafter(s.Best, Infinity));
}

// A quality raised by a margin far above the rounding that running sums of variance drops
// or spreads carry: the limit for the bounds built from such sums.
inline double AboveRounding(double quality) {
  return quality + 1e-9 * std::max(1.0, std::fabs(quality));
}

inline double StopLimit(const TFeatureSearch& s) { return AboveRounding(StopQuality(s)); }

inline double QualityOf(const TFeatureSearch& s, const TTotals& t) {
  return SplitQuality(s.V.rc, s.V.N, t.Leaves, static_cast<double>(t.Misclassified) / s.Known(),
                      t.Variance, s.V.rc.FeatureCost[s.G]);
}

// The totals of the partition after a merge that changes them so.
inline TTotals MergedTotals(const TFeatureSearch& s, int32_t leavesChange,
                            int32_t misclassifiedChange, double varianceDrop) {
  TTotals t;
  t.Leaves = s.Totals.Leaves + leavesChange;
  t.Misclassified = s.Totals.Misclassified + misclassifiedChange;
  t.Variance = s.Totals.Variance - varianceDrop;
  return t;
}

// The totals of the partition in which the pair's groups are replaced by their union.
inline TTotals MergedTotals(const TFeatureSearch& s, const TPair& pair) {
  return MergedTotals(s, pair.LeavesChange, pair.MisclassifiedChange, pair.VarianceDrop);
}

}  // namespace tarmel::search
