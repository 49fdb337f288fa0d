// Prediction and voting. The prediction section routes every object of the prediction
// block through one tree, prints its decision next to its true target when that is known,
// keeps the decision in the tree's column of the vote table and ends with the tree's test
// error. The silent pass does the same over a fold's test objects and only returns the
// error. The voting section turns each kept tree's cross-validation error into a weight
// and prints every tree's vote and the combined decision with the ensemble's error.
#include "prediction.h"

#include <algorithm>
#include <cmath>

#include "tree_apply.h"

namespace tarmel {

namespace {

// Objects whose target is known, with what their errors need.
struct TErrorSums {
  double Error = 0.0;
  int32_t Known = 0;
  double SumY = 0.0;
  double SumY2 = 0.0;
};

bool IsMissing(double x) { return x == MissingValue; }

int32_t TargetColumn(const RunContext& rc) {
  return TaskOf(rc) == TaskKind::Classification ? rc.ClassFeature : rc.ValueFeature;
}

// Name of the class whose code is the whole part of the stored value; empty for a value
// that names no class.
const std::string& ClassNameOf(const RunContext& rc, double stored) {
  static const std::string NoName;
  const double code = std::trunc(stored);
  if (code < 1 || code > std::min(rc.ClassesNumber, MaxClasses)) return NoName;
  return rc.ClassName[static_cast<size_t>(code)];
}

// The code stored in the tables for class number cls.
double StoredCodeOf(const RunContext& rc, int32_t cls) {
  const TValueTable& table = rc.ValueTable[static_cast<size_t>(rc.ClassFeature)];
  if (cls < 1 || static_cast<size_t>(cls) >= table.size()) return cls;
  return table[static_cast<size_t>(cls)].ValueCode;
}

bool ClassDiffers(const RunContext& rc, double stored, int32_t cls) {
  return std::trunc(stored) != StoredCodeOf(rc, cls);
}

int32_t PredictedClass(const RunContext& rc, const TRoute& route) {
  int32_t others = 0;
  return MajorityClass(rc, route.Counts, others);
}

// Ends an object line with its true target, when known, and counts the object's error.
// prediction is a class number in classification and a value in regression.
void WriteTruth(RunContext& rc, TErrorSums& sums, double prediction, double y) {
  const TaskKind task = TaskOf(rc);
  if (task == TaskKind::Neither || IsMissing(y)) {
    rc.Out.LineEnd();
    return;
  }
  ++sums.Known;
  if (task == TaskKind::Classification) {
    rc.Out.Text(" (true class= ");
    rc.Out.Text(ClassNameOf(rc, y));
    rc.Out.Text(")");
    rc.Out.LineEnd();
    if (ClassDiffers(rc, y, static_cast<int32_t>(prediction))) sums.Error += 1;
    return;
  }
  sums.SumY += y;
  sums.SumY2 += y * y;
  rc.Out.Text(" (true value= ");
  rc.Out.Real(y, 5, 3);
  rc.Out.Text(")");
  rc.Out.LineEnd();
  sums.Error += (prediction - y) * (prediction - y);
}

// The error line of a section. In regression the error is relative to the spread of the
// known targets; when they do not spread, the plain root-mean-square error is written
// instead and the line loses its "Relative ".
void WriteTestError(RunContext& rc, const TErrorSums& sums, const char* label) {
  const TaskKind task = TaskOf(rc);
  if (sums.Known == 0 || task == TaskKind::Neither) return;
  double error = 0.0;
  if (task == TaskKind::Classification) {
    error = sums.Error / sums.Known;
  } else {
    const double spread = sums.SumY2 - sums.SumY * sums.SumY / sums.Known;
    if (spread > 0) {
      error = std::sqrt(sums.Error / spread);
      rc.Out.Text("Relative ");
    } else {
      error = std::sqrt(sums.Error / sums.Known);
    }
  }
  rc.Out.Text(label);
  rc.Out.Real(error, 5, 3);
  rc.Out.LineEnd();
}

void StoreVote(RunContext& rc, int32_t object, double prediction) {
  if (static_cast<size_t>(object) >= rc.VoteTable.size()) return;
  std::vector<double>& row = rc.VoteTable[static_cast<size_t>(object)];
  if (rc.TreesNumber >= 1 && static_cast<size_t>(rc.TreesNumber) < row.size()) {
    row[static_cast<size_t>(rc.TreesNumber)] = prediction;
  }
}

void WritePredictionLine(RunContext& rc, const TVertex* root, const TTable& table, int32_t j,
                         TErrorSums& sums) {
  ReportWriter& out = rc.Out;
  out.Text("Object ");
  out.Int(j, 3);
  out.Text("-> ");
  const TRoute route = RouteObject(rc, root, table, j);
  double prediction = 0.0;
  switch (TaskOf(rc)) {
    case TaskKind::Classification: {
      const int32_t cls = PredictedClass(rc, route);
      out.Text(rc.ClassName[static_cast<size_t>(cls)]);
      prediction = cls;
      break;
    }
    case TaskKind::Regression:
      out.Text(" ");
      out.Real(route.Mean, 6, 2);
      prediction = route.Mean;
      break;
    case TaskKind::Neither:
      out.LineEnd();
      return;
  }
  StoreVote(rc, j, prediction);
  WriteTruth(rc, sums, prediction, table.At(TargetColumn(rc), j));
}

void WritePredictionSection(RunContext& rc, const TVertex* root, const TTable& table,
                            int32_t n) {
  rc.Out.Text("############ PREDICTION  ##########");
  rc.Out.LineEnd();
  TErrorSums sums;
  for (int32_t j = 1; j <= n; ++j) WritePredictionLine(rc, root, table, j, sums);
  WriteTestError(rc, sums, "test error=");
}

// The stored class code is the class number: classes are the value table's entries.
void CountInConfusion(const RunContext& rc, TConfusion& confusion, double stored,
                      int32_t predicted) {
  const int32_t classes = std::clamp(rc.ClassesNumber, 0, MaxClasses);
  const double truth = std::trunc(stored);
  if (truth < 1 || truth > classes || predicted < 1 || predicted > classes) return;
  confusion.resize(static_cast<size_t>(classes), std::vector<int32_t>(static_cast<size_t>(classes), 0));
  ++confusion[static_cast<size_t>(truth) - 1][static_cast<size_t>(predicted) - 1];
}

// The error of the tree on test objects that all have a known target: root-mean-square
// error in regression, misclassification frequency in classification.
double SilentTestError(const RunContext& rc, const TVertex* root, const TTable& table,
                       int32_t n, TConfusion* confusion) {
  const TaskKind task = TaskOf(rc);
  if (task == TaskKind::Neither || n <= 0) return 0.0;
  const int32_t column = TargetColumn(rc);
  double error = 0.0;
  for (int32_t j = 1; j <= n; ++j) {
    const TRoute route = RouteObject(rc, root, table, j);
    const double y = table.At(column, j);
    if (task == TaskKind::Classification) {
      const int32_t predicted = PredictedClass(rc, route);
      if (ClassDiffers(rc, y, predicted)) error += 1;
      if (confusion != nullptr) CountInConfusion(rc, *confusion, y, predicted);
    } else {
      error += (route.Mean - y) * (route.Mean - y);
    }
  }
  return task == TaskKind::Regression ? std::sqrt(error / n) : error / n;
}

int32_t VotingTrees(const RunContext& rc) {
  return std::clamp<int32_t>(rc.TreesNumber, 0, static_cast<int32_t>(rc.Competence.size()) - 1);
}

// A tree's weight is the inverse of its cross-validation error; a tree with no error
// measured (or a negligible one) gets the fixed weight 10000. The weights are then scaled
// to sum to 1.
void MakeVotingWeights(RunContext& rc, int32_t trees) {
  const int32_t folds = rc.Params->FoldsCrossValidate;
  double sum = 0.0;
  for (int32_t t = 1; t <= trees; ++t) {
    double& c = rc.Competence[static_cast<size_t>(t)];
    c = (folds > 0 && c > 0.0001) ? 1 / c : 10000;
    sum += c;
  }
  if (sum <= 0) return;
  for (int32_t t = 1; t <= trees; ++t) rc.Competence[static_cast<size_t>(t)] /= sum;
}

void WriteCompetences(RunContext& rc, int32_t trees) {
  ReportWriter& out = rc.Out;
  out.LineEnd();
  out.Text("###############Prediction################");
  out.LineEnd();
  out.Text("(Base trees voting)");
  out.LineEnd();
  out.Text("Competence:");
  out.LineEnd();
  for (int32_t t = 1; t <= trees; ++t) {
    out.Int(t, 2);
    out.Text(" tree=");
    out.Real(rc.Competence[static_cast<size_t>(t)], 5, 3);
    out.LineEnd();
  }
  out.LineEnd();
}

void WriteVoteLine(RunContext& rc, int32_t j, int32_t trees, TErrorSums& sums) {
  ReportWriter& out = rc.Out;
  const std::vector<double>& row = rc.VoteTable[static_cast<size_t>(j)];
  const TaskKind task = TaskOf(rc);
  out.Int(j, 3);
  out.Text(" object (Vote: ");
  for (int32_t t = 1; t <= trees && static_cast<size_t>(t) < row.size(); ++t) {
    if (task == TaskKind::Regression) {
      out.Real(row[static_cast<size_t>(t)], 5, 3);
      out.Text("; ");
    } else if (task == TaskKind::Classification) {
      out.Text(ClassNameOf(rc, row[static_cast<size_t>(t)]));
      out.Text(" ");
    }
  }
  out.Text(") -> ");
  const double v = Vote(rc, row, trees);
  if (task == TaskKind::Regression) out.Real(v, 5, 3);
  if (task == TaskKind::Classification) out.Text(ClassNameOf(rc, v));
  WriteTruth(rc, sums, v, rc.PredictTable.At(TargetColumn(rc), j));
}

}  // namespace

double EvaluateTree(RunContext& rc, const TVertex* root, const TTable& table, int32_t n,
                    bool print, TConfusion* confusion) {
  if (!print) return SilentTestError(rc, root, table, n, confusion);
  WritePredictionSection(rc, root, table, n);
  return 0.0;
}

void WriteVotingSection(RunContext& rc) {
  const int32_t trees = VotingTrees(rc);
  MakeVotingWeights(rc, trees);
  KeepVotingWeights(rc, trees);
  WriteCompetences(rc, trees);
  TErrorSums sums;
  const int32_t objects =
      std::min<int32_t>(rc.PredictObjectsNumber, static_cast<int32_t>(rc.VoteTable.size()) - 1);
  for (int32_t j = 1; j <= objects; ++j) WriteVoteLine(rc, j, trees, sums);
  WriteTestError(rc, sums, "test error= ");
}

}  // namespace tarmel
