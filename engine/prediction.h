// Prediction and voting: the prediction section (every object of the prediction block
// predicted by one tree, with its test error), the silent test pass of cross-validation,
// and the voting section that combines the kept trees by their competence.
#pragma once

#include "run_context.h"

namespace tarmel {

// Applies the tree to objects 1..n of the table. print: writes the prediction section and
// fills column TreesNumber of VoteTable. Silent: returns the test error.
double EvaluateTree(RunContext& rc, const TVertex* root, const TTable& table, int32_t n,
                    bool print);

// The voting section; the caller runs it when PredictObjectsNumber > 0 and TreesNumber > 1.
void WriteVotingSection(RunContext& rc);

}  // namespace tarmel
