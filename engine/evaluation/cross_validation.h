// Cross-validation: the objects are drawn into folds afresh for every variant; a tree per
// fold is grown over the other folds and tested on its own, and the weighed fold errors
// make the variant's error, later its voting weight.
#pragma once

#include "run_context.h"

namespace tarmel {

// A fold 1..FoldsCrossValidate for every object, drawn from rc.Random in object order.
void DrawFolds(RunContext& rc);

// Cross-validates the current variant, writes its line and stores the error in
// Competence[TreesNumber].
void CrossValidate(RunContext& rc);

}  // namespace tarmel
