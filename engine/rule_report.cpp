// PLACEHOLDER: to be implemented.
#include "rule_report.h"

namespace tarmel {

void ReportTree(RunContext&, const TVertex*, bool, int32_t) {}

}  // namespace tarmel
