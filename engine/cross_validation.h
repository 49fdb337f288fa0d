// Tree variants and cross-validation: every variant after the first is grown without the
// root features of the earlier ones; each is reported, predicts the prediction block and
// is cross-validated over folds drawn afresh, and its error becomes its voting weight.
#pragma once

#include "run_context.h"

namespace tarmel {

// Grows, reports, predicts and cross-validates every variant; leaves TreesNumber,
// VoteTable and Competence filled for the voting section.
void RunVariants(RunContext& rc);

// Cross-validates the current variant, writes its line and stores the error in
// Competence[TreesNumber].
void CrossValidate(RunContext& rc);

}  // namespace tarmel
