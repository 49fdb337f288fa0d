// Growing a variant's tree by leaf expansion: a first tree over all active objects is
// grafted into the node pool, then the leaf with the largest weighted error is regrown
// over the objects that reach it, until the tree has ObjectsNumber leaves or no leaf can
// be expanded.
#pragma once

#include "run_context.h"

namespace tarmel {

// Grows the pooled tree (rc.Pool) over the active objects with rc.ActivePredictors; sets
// rc.LeavesNumber. Returns the quality of the first tree grown over all active objects.
double GrowTree(RunContext& rc);

struct TLeafChoice {
  bool Found = false;
  int32_t Depth = 0;  // path[1..Depth] leads to the chosen leaf
  double Variance = 0.0;
  int32_t Misclassified = 0;
};
TLeafChoice FindLeafToExpand(const RunContext& rc, PVertex root, TRulePath& path);

// Copies the heap tree into the pool so that destination becomes a copy of source.
void GraftTree(NodePool& pool, const TVertex* source, PVertex destination);

// The path step through a branch of the vertex: the feature it tests in the numbering of
// the table read from the file and, for a vertex of the time-series tree, its time shift.
TPathEntry PathEntryFor(const RunContext& rc, const TVertex& vertex, PBranch branch);

// A leaf that no expansion may choose again: its regrown tree was a single vertex.
constexpr int32_t ClosedLeaf = -1;

}  // namespace tarmel
