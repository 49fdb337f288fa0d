// PLACEHOLDER: to be implemented.
#include "leaf_expansion.h"

namespace tarmel {

double GrowTree(RunContext&) { return 0; }
TLeafChoice FindLeafToExpand(const RunContext&, PVertex, TRulePath&) { return {}; }
void GraftTree(NodePool&, const TVertex*, PVertex) {}
void GrowTimeSeries(RunContext&) {}

}  // namespace tarmel
