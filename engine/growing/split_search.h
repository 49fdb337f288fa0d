// The split search: grows the best subtree below one vertex by elementary groups of every
// usable feature, pairwise merging down to two groups, and a subtree grown below every
// candidate group down to the depth limit MaxDepth. Qualities are lower-is-better.
#pragma once

#include <algorithm>
#include <span>

#include "run_context.h"

namespace tarmel {

struct TGrowResult {
  double Quality = 0.0;     // SplitQuality of the chosen subtree
  double Cost = 0.0;        // always 0
  double Variance = 0.0;    // variance term of the chosen subtree
  int32_t Misclassified = 0;
  int32_t Leaves = 1;
};

// Fills v (allocated by the caller) and grows its subtree over the objects (object numbers
// into the run tables). depth is the caller's depth (0 for a tree's top vertex).
TGrowResult GrowVertex(RunContext& rc, PVertex v, std::span<const int32_t> objects,
                       FeatureFlags available, int32_t depth, int32_t prevFeature);

// x / n, or 0 over no objects at all (an empty object list has no mean and no error).
inline double PerObject(double x, int32_t n) { return n > 0 ? x / n : 0.0; }

// Quality of a subtree with k leaves, misclassification rate r, variance v and cost c over
// a vertex of n objects. Inline, as are the helpers below: the split search rates every
// candidate partition with them.
inline double SplitQuality(const RunContext& rc, int32_t n, double k, double r, double v,
                           double c) {
  const double variance =
      rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight * std::max(v, 0.0) / rc.RootVariance;
  return variance + rc.ClassificationWeight * r + PerObject(rc.LeafWeight * k, n) +
         rc.CostWeight * c;
}

inline bool IsHomogeneous(const RunContext& rc, double r, double v) {
  const double variance = rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight * v / rc.RootVariance;
  return rc.ClassificationWeight * r + variance <= rc.Params->Homogeneity;
}

// The count of the largest class; 0 without classes.
inline int32_t LargestClass(const RunContext& rc, const TClassCounts& counts) {
  int32_t largest = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) largest = std::max(largest, counts[k]);
  return largest;
}

// Sum of all class counts but the (first) largest; 0 without classes.
inline int32_t Misclassified(const RunContext& rc, const TClassCounts& counts) {
  int32_t total = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) total += counts[k];
  return total - LargestClass(rc, counts);
}

}  // namespace tarmel
