// What a run hands back besides its report, gathered as the run finds it: the names its
// records refer to, each kept tree, the cross-validation's error and confusion matrix, and
// the voting weights. Fold copies and partial runs keep nothing: there, every call here
// does nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "run_context.h"

namespace tarmel {

// [true class - 1][predicted class - 1]: objects of a test pass by their two classes.
using TConfusion = std::vector<std::vector<int32_t>>;

// The run keeps its trees as records (the caller gave it a result to fill).
bool KeepsTrees(const RunContext& rc);

// The task, its target and the names of the features, values and classes, as read.
void KeepNames(const RunContext& rc);

// A variant's tree, in report order.
void KeepTree(RunContext& rc, TKeptTree record);

// Like Competence, the last kept tree takes the error, also when the variant
// cross-validated was not kept.
void KeepCrossValidation(RunContext& rc, double error, TConfusion confusion);

// The kept trees 1..trees take their weights in the vote from Competence.
void KeepVotingWeights(RunContext& rc, int32_t trees);

}  // namespace tarmel
