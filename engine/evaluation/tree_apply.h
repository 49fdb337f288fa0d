// Applying a grown tree: routing an object down to the vertex where it stops, the class
// decision of a vertex, testing an object against a root-to-vertex path, and the weighted
// vote of several trees. Pure reads of the tree and the tables.
#pragma once

#include "run_context.h"

namespace tarmel {

struct TRoute {
  TClassCounts Counts{};
  double Mean = 0.0;
};

// Follows the object down from vertex; stops at a leaf, at a missing split value, or at a
// value that no branch carries.
TRoute RouteObject(const RunContext& rc, const TVertex* vertex, const TTable& table,
                   int32_t object);

// 1-based class with the largest count (lowest index on ties); others := the rest.
int32_t MajorityClass(const RunContext& rc, const TClassCounts& counts, int32_t& others);

// True when the object meets the conditions of path[1..depth].
bool RuleHolds(const RunContext& rc, const TRulePath& path, int32_t depth, int32_t object,
               bool useTimeSeriesTable);

using TVotes = std::array<double, MaxClasses + 1>;
int32_t LargestVote(const RunContext& rc, const TVotes& votes);

// Combines predictions[1..treesNumber] with the weights rc.Competence.
double Vote(const RunContext& rc, const std::vector<double>& predictions, int32_t treesNumber);

}  // namespace tarmel
