// The split search: grows the best subtree below one vertex by elementary groups of every
// usable feature, pairwise merging down to two groups, and a subtree grown below every
// candidate group down to the depth limit MaxDepth. Qualities are lower-is-better.
#pragma once

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

// Quality of a subtree with k leaves, misclassification rate r, variance v and cost c over
// a vertex of n objects.
double SplitQuality(const RunContext& rc, int32_t n, double k, double r, double v, double c);

bool IsHomogeneous(const RunContext& rc, double r, double v);

// Sum of all class counts but the (first) largest; 0 without classes.
int32_t Misclassified(const RunContext& rc, const TClassCounts& counts);

}  // namespace tarmel
