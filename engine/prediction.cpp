// PLACEHOLDER: to be implemented.
#include "prediction.h"

namespace tarmel {

double EvaluateTree(RunContext&, const TVertex*, const TTable&, int32_t, bool) { return 0; }
void WriteVotingSection(RunContext&) {}

}  // namespace tarmel
