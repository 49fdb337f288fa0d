// The rule report: the run header (first variant), the variant heading, one rule per leaf
// with its conditions, decision, statistics and covered objects, and the tree's error line.
#pragma once

#include "run_context.h"

namespace tarmel {

// Writes the tree's block; when record is given, the tree is also kept there as records
// (its rule numbers, conditions and error as the block gives them).
void ReportTree(RunContext& rc, const TVertex* root, bool useTimeSeriesTable, int32_t leaves,
                TKeptTree* record = nullptr);

}  // namespace tarmel
