// PLACEHOLDER: to be implemented.
#include "cross_validation.h"

namespace tarmel {

void RunVariants(RunContext&) {}
void CrossValidate(RunContext&) {}

}  // namespace tarmel
