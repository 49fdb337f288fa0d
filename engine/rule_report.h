// The rule report: the run header (first variant), the variant heading, one rule per leaf
// with its conditions, decision, statistics and covered objects, and the tree's error line.
#pragma once

#include "run_context.h"

namespace tarmel {

void ReportTree(RunContext& rc, const TVertex* root, bool useTimeSeriesTable, int32_t leaves);

}  // namespace tarmel
