// Progress of a run as the front ends see it: the phase, the variant, the folds finished,
// the leaves grown and the share of the whole run done. The run state and its fold copies
// share one tracker, so folds growing on other threads count as they finish; the observer
// hears of every change one call at a time.
#pragma once

#include <cstdint>
#include <mutex>

#include "run_request.h"

namespace tarmel {

struct RunContext;

struct TRunTracker {
  RunObserver* Observer = nullptr;  // the request's observer; may be null
  std::mutex Lock;                  // one observer call at a time
  RunProgress Now;                  // what the observer heard last
  bool TreeDone = false;            // the current variant's own tree has grown
};

// The variant's own tree and each of its folds count as one tree of the run.
void ShowVariantStart(RunContext& rc, int32_t variant, int32_t variants, int32_t folds);
void ShowVariantTreeGrown(RunContext& rc);
// Folds that hold no object to test grow no tree: they count as finished at once.
void ShowFoldsStart(RunContext& rc, int32_t foldsSkipped);
void ShowFoldDone(RunContext& rc);
// Leaves grown so far by the tree growing now; only the state that shows leaves reports.
void ShowLeaves(RunContext& rc, double total);
void ShowPhase(RunContext& rc, RunPhase phase);

}  // namespace tarmel
