// The run driver's read phase, reusable without a report file: reads the data file opened
// in rc.In into the context, checks it, decides the task, appends the constant feature
// and prepares the tables of the run. False after a message in rc.Out.
#pragma once

#include <string>

#include "run_context.h"

namespace tarmel {

// rc.Params, rc.In and rc.Out must be set up; rc.Random may be null until folds are drawn.
bool ReadRun(RunContext& rc);

// Sets up rc for a run over the given file text with a report kept in memory, then
// reads it. The parameters must outlive rc.
bool ReadRunFromText(RunContext& rc, RunParameters& params, std::string text,
                     TRandom* random = nullptr);

// A fold 1..FoldsCrossValidate for every object, drawn from rc.Random in object order.
void DrawFolds(RunContext& rc);

}  // namespace tarmel
