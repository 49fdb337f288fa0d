#include "treeRepeats.h"

namespace tarmel {

namespace {

bool SameNode(const TTreeNode& a, const TTreeNode& b) {
  return a.Parent == b.Parent && a.Children == b.Children && a.Kind == b.Kind &&
         a.Low == b.Low && a.High == b.High && a.Categories == b.Categories &&
         a.SplitFeature == b.SplitFeature && a.SplitShift == b.SplitShift &&
         a.Mean == b.Mean && a.MajorityClass == b.MajorityClass &&
         a.Heterogeneous == b.Heterogeneous;
}

}  // namespace

bool SameRules(const TKeptTree& a, const TKeptTree& b) {
  if (a.TimeSeries != b.TimeSeries || a.Nodes.size() != b.Nodes.size()) return false;
  for (size_t i = 0; i < a.Nodes.size(); ++i) {
    if (!SameNode(a.Nodes[i], b.Nodes[i])) return false;
  }
  return true;
}

std::vector<int> RepeatedVariants(const RunResult& run) {
  std::vector<int> repeats(run.Trees.size(), 0);
  for (size_t i = 0; i < run.Trees.size(); ++i) {
    for (size_t j = 0; j < i && repeats[i] == 0; ++j) {
      if (SameRules(run.Trees[j], run.Trees[i])) repeats[i] = run.Trees[j].Variant;
    }
  }
  return repeats;
}

QString RepeatNote(int variant) {
  return variant == 0 ? QString() : QStringLiteral(" (same as variant %1)").arg(variant);
}

}  // namespace tarmel
