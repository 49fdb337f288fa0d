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
  if (TaskForm(rc) == TTaskForm::Classification) {
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

void WriteIntervalCondition(RunContext& rc, int32_t i, int32_t j) {
  ReportWriter& out = rc.Out;
  const std::string& name = rc.FeatureName[static_cast<size_t>(rc.RulePath[j].Feature)];
  const double lo = TightestBound(rc, i, j, true);
  const double hi = TightestBound(rc, i, j, false);
  out.Text(" ");
  out.Text(name);
  // The one-sided forms test the markers themselves, so a branch (1e17, +1e17] reads as
  // "x > 1e17" and a bound of -1e17 that ends an interval is written as it is.
  if (lo == -Infinity) {
    out.Text(" <=");
    out.Real(hi, 8, 2);
    out.Text(",");
  } else if (hi == Infinity) {
    out.Text(" >");
    out.Real(lo, 8, 2);
    out.Text(",");
  } else {
    out.Text(" =] ");
    out.Real(lo, 8, 2);
    out.Text(",");
    out.Real(hi, 8, 2);
    out.Text("],");
  }
}

// The deepest set lies within the sets above it, so it alone is written.
void WriteCategoryCondition(RunContext& rc, int32_t feature, const TBranch& b) {
  ReportWriter& out = rc.Out;
  out.Text(rc.FeatureName[static_cast<size_t>(feature)]);
  out.Text(" = ");
  const int32_t count = std::clamp(b.CategoryCount, 0, MaxCategories);
  for (int32_t k = 1; k <= count; ++k) {
    out.Text(ValueNameOf(rc, feature, b.Categories[k]));
    out.Text(",");
  }
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
    if (b->Kind == 0 || b->Kind == 1) WriteIntervalCondition(rc, i, j);
    if (b->Kind == 2) WriteCategoryCondition(rc, g, *b);
  }
  rc.Out.LineEnd();
}

// The regression decision: the leaf's mean and standard error; the leaf's squared error
// joins the tree's total. Returns the rule's object count.
int32_t WriteRegressionDecision(RunContext& rc, TReportState& state, const TVertex& leaf) {
  ReportWriter& out = rc.Out;
  const double v = leaf.Variance >= 0 ? leaf.Variance : 0.0;  // also clears NaN
  state.SquaredErrorSum += leaf.ObjCount * v;
  out.Text(rc.ValueFeatureName);
  out.Text(" = ");
  out.Real(leaf.Mean, 4, 2);
  out.Text(",");
  out.LineEnd();
  out.Text(" Standard error");
  out.Real(std::sqrt(v), 9, 4);
  out.Text(",");
  out.LineEnd();
  return leaf.ObjCount;
}

// The classification decision: the majority class, followed by an empty line; the
// objects outside it join the tree's misclassified total. Returns the rule's object count.
int32_t WriteClassDecision(RunContext& rc, TReportState& state, const TVertex& leaf) {
  int32_t others = 0;
  const int32_t cls = MajorityClass(rc, leaf.ClassCounts, others);
  state.MisclassifiedSum += others;
  rc.Out.Text(rc.ClassFeatureName);
  rc.Out.Text(" =");
  rc.Out.Text(rc.ClassName[static_cast<size_t>(cls)]);
  rc.Out.LineEnd();
  rc.Out.LineEnd();
  int32_t count = 0;
  for (int32_t k = 1; k <= std::min(rc.ClassesNumber, MaxClasses); ++k) {
    count += leaf.ClassCounts[static_cast<size_t>(k)];
  }
  return count;
}

// Writes the decision after " THEN "; without a task the decision stays empty.
int32_t WriteDecision(RunContext& rc, TReportState& state, const TVertex& leaf) {
  rc.Out.Text(" THEN ");
  switch (TaskForm(rc)) {
    case TTaskForm::Regression:
      return WriteRegressionDecision(rc, state, leaf);
    case TTaskForm::Classification:
      return WriteClassDecision(rc, state, leaf);
    case TTaskForm::Neither:
      break;
  }
  rc.Out.LineEnd();
  return leaf.ObjCount;
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
  const TTaskForm form = TaskForm(rc);
  if (form == TTaskForm::Neither) return;
  const std::vector<int32_t> covered = CoveredObjects(rc, depth, state.UseTimeSeriesTable);
  if (form == TTaskForm::Classification) {
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
  const int32_t count = WriteDecision(rc, state, leaf);
  out.Text(" Number of objects ");
  out.Int(count, 3);
  out.Text(",");
  out.LineEnd();
  state.ReportedObjects += count;
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

void ReportRules(RunContext& rc, TReportState& state, const TVertex& vertex, int32_t depth) {
  if (vertex.FirstBranch == nullptr) {
    ++state.RuleNumber;
    WriteRule(rc, state, vertex, depth);
    return;
  }
  rc.RulePath[depth + 1].Feature = vertex.SplitFeature;
  for (PBranch b = vertex.FirstBranch; b != nullptr; b = b->Next) {
    rc.RulePath[depth + 1].Branch = b;
    ReportRules(rc, state, *b->Child, depth + 1);
  }
}

// Without a reported object there is no error to measure; 0 is written.
void WriteTreeErrorLine(RunContext& rc, const TReportState& state) {
  const double objects = state.ReportedObjects;
  switch (TaskForm(rc)) {
    case TTaskForm::Regression:
      rc.Out.Text(" Standard error for the tree is ");
      rc.Out.Real(objects > 0 ? std::sqrt(state.SquaredErrorSum / objects) : 0.0, 6, 2);
      rc.Out.LineEnd();
      return;
    case TTaskForm::Classification:
      rc.Out.Text(" Misclassification frequency for the tree is ");
      rc.Out.Real(objects > 0 ? state.MisclassifiedSum / objects : 0.0, 6, 2);
      rc.Out.LineEnd();
      return;
    case TTaskForm::Neither:
      return;
  }
}

void WriteSingleLeafBlock(RunContext& rc, const TVertex& root) {
  rc.Out.Text(" No rule is found for given parameters");
  rc.Out.LineEnd();
  rc.Out.Text(root.Terminal ? " Objects are homogenious" : " Objects are heterogenious");
  rc.Out.LineEnd();
}

}  // namespace

void ReportTree(RunContext& rc, const TVertex* root, bool useTimeSeriesTable, int32_t leaves) {
  ReportWriter& out = rc.Out;
  if (rc.VariantNo == 1) WriteRunHeader(rc);
  out.LineEnd();
  out.Text(RuleLine);
  out.LineEnd();
  out.Text("Variant N");
  out.Int(rc.VariantNo, 3);
  out.LineEnd();
  if (leaves == 1) {
    WriteSingleLeafBlock(rc, *root);
    return;
  }
  // Time-series trees are reported by their heading alone.
  if (rc.ReportMode == 8) {
    TReportState state;
    state.UseTimeSeriesTable = useTimeSeriesTable;
    ReportRules(rc, state, *root, 0);
    WriteTreeErrorLine(rc, state);
  }
  out.Text(BlockLine);
  out.LineEnd();
}

}  // namespace tarmel
