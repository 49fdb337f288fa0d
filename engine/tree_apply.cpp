// PLACEHOLDER: to be implemented.
#include "tree_apply.h"

namespace tarmel {

TRoute RouteObject(const RunContext&, const TVertex*, const TTable&, int32_t) { return {}; }
int32_t MajorityClass(const RunContext&, const TClassCounts&, int32_t& others) {
  others = 0;
  return 1;
}
bool RuleHolds(const RunContext&, const TRulePath&, int32_t, int32_t, bool) { return true; }
int32_t LargestVote(const RunContext&, const TVotes&) { return 1; }
double Vote(const RunContext&, const std::vector<double>&, int32_t) { return 0; }

}  // namespace tarmel
