// Prediction and voting: the prediction section (every object of the prediction block
// predicted by one tree, with its test error), the silent test pass of cross-validation,
// and the voting section that combines the kept trees by their competence.
#pragma once

#include "run_context.h"
#include "run_result.h"

namespace tarmel {

// Applies the tree to objects 1..n of the table. print: writes the prediction section and
// fills column TreesNumber of VoteTable. Silent: returns the test error and, in a
// classification task, adds every object to the confusion matrix when one is given.
double EvaluateTree(RunContext& rc, const TVertex* root, const TTable& table, int32_t n,
                    bool print, TConfusion* confusion = nullptr);

// The voting section; the caller runs it when PredictObjectsNumber > 0 and TreesNumber > 1.
// The kept trees' records in the run's result get their voting weights.
void WriteVotingSection(RunContext& rc);

}  // namespace tarmel
