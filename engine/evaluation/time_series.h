// Growing the time-series tree: lagged candidate tables built from the series, a tree
// grown by leaf expansion on each, the best one grafted leaf by leaf into a pool of its own.
#pragma once

#include "run_context.h"

namespace tarmel {

// Grows the time-series tree (rc.SeriesPool); sets rc.SeriesLeavesNumber. The file's
// tables and per-feature description are as before when it returns.
void GrowTimeSeries(RunContext& rc);

}  // namespace tarmel
