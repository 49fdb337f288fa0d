// The rule report of one grown tree: the run header before the first variant, the
// variant heading, then one rule per leaf in depth-first branch order. A rule states the
// conditions of the path to its leaf (a feature tested at several levels is written once,
// as the tightest interval or the deepest category set), the leaf's decision and
// statistics, and the active objects the rule covers. The tree's error line closes the
// rules. The walk uses rc.RulePath as its stack; the tree itself is only read.
#include "rule_report.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "leaf_expansion.h"
#include "tree_apply.h"

namespace tarmel {

namespace {

const std::string RuleLine(60, '-');
const std::string BlockLine(60, '*');
constexpr int RegressionObjectsPerLine = 15;
constexpr int ClassObjectsPerLine = 19;

// Totals and per-rule state of one ReportTree call.
struct TReportState {
  bool UseTimeSeriesTable = false;
  bool WriteRules = false;      // the rules are written (not for one leaf or a time series)
  TKeptTree* Record = nullptr;  // the tree as records, when the caller keeps it
  int32_t RuleNumber = 0;
  int32_t ReportedObjects = 0;
  int32_t MisclassifiedSum = 0;
  double SquaredErrorSum = 0.0;
  PerFeature<bool> Printed{};
};

bool IsOpen(double bound) { return std::fabs(bound) == Infinity; }

void WriteRunHeader(RunContext& rc) {
  ReportWriter& out = rc.Out;
  out.Text("input file: ");
  out.Text(rc.InputFileName);
  out.LineEnd();
  out.Text("Recursive Complexity=");
  out.Real(rc.Params->RecursiveComplexity, 6, 3);
  out.Text(" Min_obj=");
  out.Int(rc.MinNodeSize, 3);
  out.Text(" Homogeneity=");
  out.Real(rc.Params->Homogeneity, 3, 3);
  out.LineEnd();
  out.Text("Number of objects=");
  out.Int(rc.ObjectsNumber, 4);
  out.Text(" Number of features=");
  out.Int(rc.FeaturesNumber - 1, 4);
  // A regression header leaves its last line open; the variant block's first line end
  // closes it.
  if (TaskOf(rc) == TaskKind::Classification) {
    out.Text(" Number of classes=");
    out.Int(rc.ClassesNumber, 4);
    out.LineEnd();
  }
}

std::string ValueNameOf(const RunContext& rc, int32_t feature, int32_t code) {
  const TValueTable& table = rc.ValueTable[static_cast<size_t>(feature)];
  for (size_t k = 1; k < table.size(); ++k) {
    if (table[k].ValueCode == code) return table[k].ValueName;
  }
  return {};
}

// The bound of the deepest branch on the feature; an open one is filled from the nearest
// level above (levels j down to i) that bounds the feature on that side, and stays as it is
// when none does.
double TightestBound(const RunContext& rc, int32_t i, int32_t j, bool lower) {
  const int32_t g = rc.RulePath[j].Feature;
  for (int32_t m = j; m >= i; --m) {
    const TPathEntry& e = rc.RulePath[m];
    if (e.Feature != g || e.Branch == nullptr) continue;
    const double bound = lower ? e.Branch->Low : e.Branch->High;
    if (!IsOpen(bound)) return bound;
  }
  const TBranch& deepest = *rc.RulePath[j].Branch;
  return lower ? deepest.Low : deepest.High;
}

// The bounds of the condition on the feature of level j, merged over levels i..j, as the
// report writes them after the feature's name.
std::string IntervalText(const RunContext& rc, int32_t i, int32_t j) {
  const double lo = TightestBound(rc, i, j, true);
  const double hi = TightestBound(rc, i, j, false);
  // The one-sided forms test the markers themselves, so a branch (1e17, +1e17] reads as
  // "x > 1e17" and a bound of -1e17 that ends an interval is written as it is.
  if (lo == -Infinity) return " <=" + FormatReal(hi, 8, 2) + ",";
  if (hi == Infinity) return " >" + FormatReal(lo, 8, 2) + ",";
  return " =] " + FormatReal(lo, 8, 2) + "," + FormatReal(hi, 8, 2) + "],";
}

// The deepest set lies within the sets above it, so it alone is written.
std::string CategoryText(const RunContext& rc, int32_t feature, const TBranch& b) {
  std::string text;
  const int32_t count = std::clamp(b.CategoryCount, 0, MaxCategories);
  for (int32_t k = 1; k <= count; ++k) text += ValueNameOf(rc, feature, b.Categories[k]) + ",";
  return text;
}

// Deepest level of the path, at or below i, that tests the same feature as level i.
int32_t DeepestLevelOf(const RunContext& rc, int32_t i, int32_t depth) {
  const int32_t g = rc.RulePath[i].Feature;
  int32_t j = depth;
  while (rc.RulePath[j].Feature != g) --j;
  return j;
}

void WriteConditions(RunContext& rc, TReportState& state, int32_t depth) {
  state.Printed.fill(false);
  for (int32_t i = 1; i <= depth; ++i) {
    const int32_t g = rc.RulePath[i].Feature;
    if (g < 1 || g > std::min(rc.FeaturesNumber, MaxFeatures)) continue;
    if (state.Printed[static_cast<size_t>(g)]) continue;
    state.Printed[static_cast<size_t>(g)] = true;
    const int32_t j = DeepestLevelOf(rc, i, depth);
    if (i > 1) {
      rc.Out.Text(" AND ");
      rc.Out.LineEnd();
    }
    const TBranch* b = rc.RulePath[j].Branch;
    if (b == nullptr) continue;
    const std::string& name = rc.FeatureName[static_cast<size_t>(g)];
    if (b->Kind == 0 || b->Kind == 1) rc.Out.Text(" " + name + IntervalText(rc, i, j));
    if (b->Kind == 2) rc.Out.Text(name + " = " + CategoryText(rc, g, *b));
  }
  rc.Out.LineEnd();
}

// A leaf's variance as the report uses it: a negative or undefined one counts as 0.
double ReportedVariance(const TVertex& leaf) {
  return leaf.Variance >= 0 ? leaf.Variance : 0.0;  // also clears NaN
}

// The objects the rule counts: the class counts' sum in classification, ObjCount otherwise.
int32_t RuleCount(const RunContext& rc, const TVertex& leaf) {
  if (TaskOf(rc) != TaskKind::Classification) return leaf.ObjCount;
  int32_t count = 0;
  for (int32_t k = 1; k <= std::min(rc.ClassesNumber, MaxClasses); ++k) {
    count += leaf.ClassCounts[static_cast<size_t>(k)];
  }
  return count;
}

// The leaf's share of the tree's error line.
void AddToTotals(const RunContext& rc, TReportState& state, const TVertex& leaf) {
  state.ReportedObjects += RuleCount(rc, leaf);
  if (TaskOf(rc) == TaskKind::Regression) {
    state.SquaredErrorSum += leaf.ObjCount * ReportedVariance(leaf);
  } else if (TaskOf(rc) == TaskKind::Classification) {
    int32_t others = 0;
    MajorityClass(rc, leaf.ClassCounts, others);
    state.MisclassifiedSum += others;
  }
}

// The regression decision: the leaf's mean and standard error.
void WriteRegressionDecision(RunContext& rc, const TVertex& leaf) {
  ReportWriter& out = rc.Out;
  out.Text(rc.ValueFeatureName);
  out.Text(" = ");
  out.Real(leaf.Mean, 4, 2);
  out.Text(",");
  out.LineEnd();
  out.Text(" Standard error");
  out.Real(std::sqrt(ReportedVariance(leaf)), 9, 4);
  out.Text(",");
  out.LineEnd();
}

// The classification decision: the majority class, followed by an empty line.
void WriteClassDecision(RunContext& rc, const TVertex& leaf) {
  int32_t others = 0;
  const int32_t cls = MajorityClass(rc, leaf.ClassCounts, others);
  rc.Out.Text(rc.ClassFeatureName);
  rc.Out.Text(" =");
  rc.Out.Text(rc.ClassName[static_cast<size_t>(cls)]);
  rc.Out.LineEnd();
  rc.Out.LineEnd();
}

// Writes the decision after " THEN "; without a task the decision stays empty.
void WriteDecision(RunContext& rc, const TVertex& leaf) {
  rc.Out.Text(" THEN ");
  switch (TaskOf(rc)) {
    case TaskKind::Regression:
      return WriteRegressionDecision(rc, leaf);
    case TaskKind::Classification:
      return WriteClassDecision(rc, leaf);
    case TaskKind::Neither:
      break;
  }
  rc.Out.LineEnd();
}

std::vector<int32_t> CoveredObjects(const RunContext& rc, int32_t depth, bool useTimeSeries) {
  std::vector<int32_t> covered;
  const size_t stored =
      std::min({rc.ObjectActive.size(), rc.TargetValue.size(), rc.ClassLabel.size()});
  const int32_t last = std::min<int32_t>(rc.ObjectsNumber, static_cast<int32_t>(stored) - 1);
  for (int32_t o = 1; o <= last; ++o) {
    if (rc.ObjectActive[static_cast<size_t>(o)] &&
        RuleHolds(rc, rc.RulePath, depth, o, useTimeSeries)) {
      covered.push_back(o);
    }
  }
  return covered;
}

// Each object as o:4 and a comma, a line end after every perLine-th one, then a line end
// (so an empty list, or a full last line, shows as an empty line).
void WriteObjectList(ReportWriter& out, const std::vector<int32_t>& objects, int perLine) {
  int onLine = 0;
  for (const int32_t o : objects) {
    out.Int(o, 4);
    out.Text(",");
    if (++onLine == perLine) {
      out.LineEnd();
      onLine = 0;
    }
  }
  out.LineEnd();
}

void WriteClassListing(RunContext& rc, const std::vector<int32_t>& covered) {
  for (int32_t c = 1; c <= std::min(rc.ClassesNumber, MaxClasses); ++c) {
    rc.Out.Text(" ");
    rc.Out.Text(rc.ClassName[static_cast<size_t>(c)]);
    rc.Out.LineEnd();
    std::vector<int32_t> ofClass;
    for (const int32_t o : covered) {
      if (rc.ClassLabel[static_cast<size_t>(o)] == c) ofClass.push_back(o);
    }
    WriteObjectList(rc.Out, ofClass, ClassObjectsPerLine);
  }
}

void WriteExtremeLine(RunContext& rc, const char* which, double value) {
  rc.Out.Text(which);
  rc.Out.Text(rc.ValueFeatureName);
  rc.Out.Text(" - ");
  rc.Out.Real(value, 8, 3);
  rc.Out.Text(",");
  rc.Out.LineEnd();
}

void WriteRegressionListing(RunContext& rc, const std::vector<int32_t>& covered) {
  WriteObjectList(rc.Out, covered, RegressionObjectsPerLine);
  double min = Infinity;
  double max = -Infinity;
  for (const int32_t o : covered) {
    const double y = rc.TargetValue[static_cast<size_t>(o)];
    // Strict comparisons: only a smaller (larger) value replaces the one kept.
    if (y < min) min = y;
    if (y > max) max = y;
  }
  WriteExtremeLine(rc, " Min value ", min);
  WriteExtremeLine(rc, " Max value ", max);
}

void WriteCoveredObjects(RunContext& rc, const TReportState& state, int32_t depth) {
  rc.Out.Text(" Objects NN for which this rule is true : ");
  rc.Out.LineEnd();
  const TaskKind task = TaskOf(rc);
  if (task == TaskKind::Neither) return;
  const std::vector<int32_t> covered = CoveredObjects(rc, depth, state.UseTimeSeriesTable);
  if (task == TaskKind::Classification) {
    WriteClassListing(rc, covered);
  } else {
    WriteRegressionListing(rc, covered);
  }
}

void WriteRule(RunContext& rc, TReportState& state, const TVertex& leaf, int32_t depth) {
  ReportWriter& out = rc.Out;
  out.Text(" Rule ");
  out.Int(state.RuleNumber, 3);
  out.Text(",");
  out.LineEnd();
  out.Text(" IF");
  out.LineEnd();
  WriteConditions(rc, state, depth);
  WriteDecision(rc, leaf);
  out.Text(" Number of objects ");
  out.Int(RuleCount(rc, leaf), 3);
  out.Text(",");
  out.LineEnd();
  WriteCoveredObjects(rc, state, depth);
  if (!leaf.Terminal) {
    out.Text(" Heterogeneous group");
    out.LineEnd();
    out.Text(" Rule can not be continued");
    out.LineEnd();
  }
  out.Text(RuleLine);
  out.LineEnd();
}

// The condition of the branch at level d as a rule ending below it would show it: the
// report's text without the feature's name, its blanks run together and its last comma.
std::string BranchCondition(const RunContext& rc, int32_t d) {
  const TBranch* b = rc.RulePath[d].Branch;
  const int32_t g = rc.RulePath[d].Feature;
  int32_t i = 1;
  while (rc.RulePath[i].Feature != g) ++i;
  std::string text;
  if (b->Kind == 0 || b->Kind == 1) text = IntervalText(rc, i, d);
  if (b->Kind == 2 && g >= 1 && g <= MaxFeatures) text = CategoryText(rc, g, *b);
  std::string condition;
  for (const char c : text) {
    if (c != ' ' || (!condition.empty() && condition.back() != ' ')) condition += c;
  }
  if (!condition.empty() && condition.back() == ',') condition.pop_back();
  return condition;
}

void CopyConditionFields(TTreeNode& node, const TBranch& b) {
  node.Kind = b.Kind;
  node.Low = b.Low;
  node.High = b.High;
  const int32_t count = std::clamp(b.CategoryCount, 0, MaxCategories);
  node.Categories.assign(b.Categories.begin() + 1, b.Categories.begin() + 1 + count);
}

// Adds the vertex reached through path[1..depth] to the record; returns its index.
int32_t RecordVertex(const RunContext& rc, TReportState& state, const TVertex& vertex,
                     int32_t depth, int32_t parent) {
  std::vector<TTreeNode>& nodes = state.Record->Nodes;
  TTreeNode node;
  node.Parent = parent;
  if (depth > 0) {
    node.Condition = BranchCondition(rc, depth);
    CopyConditionFields(node, *rc.RulePath[depth].Branch);
  }
  node.ObjCount = vertex.ObjCount;
  node.Mean = vertex.Mean;
  node.StandardError = std::sqrt(ReportedVariance(vertex));
  const int32_t classes = std::clamp(rc.ClassesNumber, 0, MaxClasses);
  node.ClassCounts.assign(vertex.ClassCounts.begin() + 1, vertex.ClassCounts.begin() + 1 + classes);
  int32_t others = 0;
  if (TaskOf(rc) == TaskKind::Classification) {
    node.MajorityClass = MajorityClass(rc, vertex.ClassCounts, others);
  }
  const bool leaf = vertex.FirstBranch == nullptr;
  node.Heterogeneous = leaf && !vertex.Terminal;
  node.RuleNumber = leaf && state.WriteRules ? state.RuleNumber : 0;
  if (!leaf) {
    const TPathEntry step = PathEntryFor(rc, vertex, vertex.FirstBranch);
    node.SplitFeature = step.Feature;
    node.SplitShift = step.Shift;
  }
  const auto index = static_cast<int32_t>(nodes.size());
  if (parent >= 0) nodes[static_cast<size_t>(parent)].Children.push_back(index);
  nodes.push_back(std::move(node));
  return index;
}

// Depth-first in branch order: the rules are numbered, and the records made, in the order
// the leaves are met.
void ReportRules(RunContext& rc, TReportState& state, const TVertex& vertex, int32_t depth,
                 int32_t parent) {
  if (vertex.FirstBranch == nullptr) {
    ++state.RuleNumber;
    AddToTotals(rc, state, vertex);
    if (state.Record != nullptr) RecordVertex(rc, state, vertex, depth, parent);
    if (state.WriteRules) WriteRule(rc, state, vertex, depth);
    return;
  }
  const int32_t self =
      state.Record != nullptr ? RecordVertex(rc, state, vertex, depth, parent) : -1;
  rc.RulePath[depth + 1].Feature = PathEntryFor(rc, vertex, vertex.FirstBranch).Feature;
  for (PBranch b = vertex.FirstBranch; b != nullptr; b = b->Next) {
    rc.RulePath[depth + 1].Branch = b;
    ReportRules(rc, state, *b->Child, depth + 1, self);
  }
}

// The tree's error as its error line gives it; 0 without a reported object.
double TreeError(const RunContext& rc, const TReportState& state) {
  const double objects = state.ReportedObjects;
  if (objects <= 0) return 0.0;
  switch (TaskOf(rc)) {
    case TaskKind::Regression:
      return std::sqrt(state.SquaredErrorSum / objects);
    case TaskKind::Classification:
      return state.MisclassifiedSum / objects;
    case TaskKind::Neither:
      break;
  }
  return 0.0;
}

// Without a reported object there is no error to measure; 0 is written.
void WriteTreeErrorLine(RunContext& rc, const TReportState& state) {
  switch (TaskOf(rc)) {
    case TaskKind::Regression:
      rc.Out.Text(" Standard error for the tree is ");
      break;
    case TaskKind::Classification:
      rc.Out.Text(" Misclassification frequency for the tree is ");
      break;
    case TaskKind::Neither:
      return;
  }
  rc.Out.Real(TreeError(rc, state), 6, 2);
  rc.Out.LineEnd();
}

void WriteSingleLeafBlock(RunContext& rc, const TVertex& root) {
  rc.Out.Text(" No rule is found for given parameters");
  rc.Out.LineEnd();
  rc.Out.Text(root.Terminal ? " Objects are homogenious" : " Objects are heterogenious");
  rc.Out.LineEnd();
}

}  // namespace

void ReportTree(RunContext& rc, const TVertex* root, bool useTimeSeriesTable, int32_t leaves,
                TKeptTree* record) {
  ReportWriter& out = rc.Out;
  if (rc.VariantNo == 1) WriteRunHeader(rc);
  out.LineEnd();
  out.Text(RuleLine);
  out.LineEnd();
  out.Text("Variant N");
  out.Int(rc.VariantNo, 3);
  out.LineEnd();
  TReportState state;
  state.UseTimeSeriesTable = useTimeSeriesTable;
  // Time-series trees are reported by their heading alone.
  state.WriteRules = leaves != 1 && rc.ReportMode == 8;
  state.Record = record;
  if (state.WriteRules || record != nullptr) ReportRules(rc, state, *root, 0, -1);
  if (record != nullptr) {
    record->Variant = rc.VariantNo;
    record->TimeSeries = useTimeSeriesTable;
    record->LeavesNumber = leaves;
    record->TreeError = TreeError(rc, state);
  }
  if (leaves == 1) {
    WriteSingleLeafBlock(rc, *root);
    return;
  }
  if (state.WriteRules) WriteTreeErrorLine(rc, state);
  out.Text(BlockLine);
  out.LineEnd();
}

}  // namespace tarmel
