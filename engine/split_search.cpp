// PLACEHOLDER: to be implemented.
#include "split_search.h"

namespace tarmel {

TGrowResult GrowVertex(RunContext&, PVertex, std::span<const int32_t>, FeatureFlags, int32_t,
                       int32_t) {
  return {};
}
double SplitQuality(const RunContext&, int32_t, double, double, double, double) { return 0; }
bool IsHomogeneous(const RunContext&, double, double) { return true; }
int32_t Misclassified(const RunContext&, const TClassCounts&) { return 0; }

}  // namespace tarmel
