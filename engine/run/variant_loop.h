// The variant loop: grows, reports, predicts and cross-validates every tree variant.
#pragma once

#include "run_context.h"

namespace tarmel {

// Grows, reports, predicts and cross-validates every variant; leaves TreesNumber,
// VoteTable and Competence filled for the voting section, and the kept trees in the
// run's result. Returns early when the run is given up.
void RunVariants(RunContext& rc);

}  // namespace tarmel
