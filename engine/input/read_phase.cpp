// The run driver's read phase: checks the parameters, reads the counts, the feature
// types and names, decides the task from the type of the feature to predict, appends a
// constant feature of its own, reads the learning rows and the prediction block, and
// prepares the tables of the run. Every fault is a message in the report.
#include "read_phase.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "data_reader.h"
#include "read_warnings.h"

namespace tarmel {

namespace {

// Whole part of a count or code read as a double, kept within 32 bits.
int32_t WholePart(double x) {
  constexpr double Low = std::numeric_limits<int32_t>::min();
  constexpr double High = std::numeric_limits<int32_t>::max();
  if (!(x > Low)) return std::numeric_limits<int32_t>::min();
  if (!(x < High)) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::trunc(x));
}

bool Fail(RunContext& rc, std::string_view message, bool lineEnd = true) {
  rc.Out.Text(message);
  if (lineEnd) rc.Out.LineEnd();
  return false;
}

constexpr double MaxRecursiveComplexity = 2147483647.0;

bool CheckParameters(RunContext& rc) {
  const RunParameters& p = *rc.Params;
  if (p.MinObj < 0) return Fail(rc, "Error in parameters: MinObjInNode must not be negative");
  if (p.RecursiveComplexity < 0) {
    return Fail(rc, "Error in parameters: RecursiveComplexity must not be negative");
  }
  // The stages count one beyond the whole part, which must stay a 32-bit integer.
  if (!(p.RecursiveComplexity < MaxRecursiveComplexity)) {
    return Fail(rc, "Error in parameters: RecursiveComplexity must be less than 2147483647");
  }
  if (p.ErrorWeight < 0) return Fail(rc, "Error in parameters: ErrorWeight must not be negative");
  return true;
}

void SetWeights(RunContext& rc) {
  const RunParameters& p = *rc.Params;
  rc.InComment = false;
  rc.RegressionWeight = p.ErrorWeight;
  rc.ClassificationWeight = p.ErrorWeight;
  rc.LeafWeight = 1.0;
  rc.CostWeight = 0.1;
  rc.ReportMode = p.Ordering == 0 ? 8 : 12;
  rc.RecursionDepth = WholePart(p.RecursiveComplexity);
}

bool ReadCounts(RunContext& rc) {
  double objects = 0, features = 0;
  if (!ReadNumber(rc, objects) || !ReadNumber(rc, features)) return false;
  rc.ObjectsNumber = WholePart(objects);
  rc.FileFeatures = WholePart(features);
  if (!ReadToken(rc, rc.MissingToken)) return false;
  const int32_t predicted = rc.Params->FeatureToPredict;
  if (rc.ObjectsNumber > MaxObjects) return Fail(rc, " Error: too much objects", false);
  if (rc.FileFeatures > MaxFileFeatures) return Fail(rc, " Error: too much features", false);
  if (rc.ObjectsNumber < 1) return Fail(rc, " Error: too few objects");
  if (rc.FileFeatures < 1) return Fail(rc, " Error: too few features");
  if (predicted > rc.FileFeatures || predicted < 1) {
    return Fail(rc, " Error: wrong number of predicted feature", false);
  }
  const double product = rc.ObjectsNumber * rc.Params->MinObj;
  rc.MinNodeSize = WholePart(std::min(product, 2e9)) + 1;
  return true;
}

// A time-series tree predicts the target at time Lag + t from the series before it, so
// the lag must leave at least one earlier time and at least one time to predict.
bool CheckLag(RunContext& rc) {
  const RunParameters& p = *rc.Params;
  if (p.Ordering == 0) return true;
  if (p.Lag < 1) return Fail(rc, "Error in parameters: Lag must be at least 1");
  if (p.Lag >= rc.ObjectsNumber) {
    return Fail(rc, "Error in parameters: Lag must be less than the number of objects");
  }
  return true;
}

void ResetFeatureState(RunContext& rc) {
  const int32_t fc = rc.FileFeatures;
  rc.PredictorFlags.fill(false);
  for (int32_t f = 1; f <= fc; ++f) rc.PredictorFlags[f] = true;
  rc.PredictorFlags[rc.Params->FeatureToPredict] = false;
  rc.ActivePredictors = rc.PredictorFlags;
  rc.ObjectActive.assign(static_cast<size_t>(rc.ObjectsNumber) + 1, 1);
  rc.ValuesNumber.fill(0);
}

// "1" is numeric; "0(d)", "0(dd" are nominal with d or dd values, a digit being its code
// minus that of '0' in byte arithmetic.
bool ParseFeatureType(const std::string& t, int32_t& type, int32_t& values) {
  if (t == "1") {
    type = NumericFeature;
    values = 0;
    return true;
  }
  if (t.size() < 3 || t[0] != '0' || t[1] != '(') return false;
  auto digit = [](char ch) { return static_cast<int32_t>(static_cast<uint8_t>(ch - '0')); };
  type = NominalFeature;
  values = digit(t[2]);
  if (t.size() > 3 && t[3] != ')') values = values * 10 + digit(t[3]);
  return true;
}

bool ReadFeatureTypes(RunContext& rc) {
  const int32_t fc = rc.FileFeatures;
  for (int32_t f = 1; f <= fc; ++f) {
    std::string token;
    if (!ReadToken(rc, token)) return false;
    if (!ParseFeatureType(token, rc.FeatureType[f], rc.ValuesNumber[f])) {
      return Fail(rc, "Error in input file: wrong feature types");
    }
    const bool wide = rc.ValuesNumber[f] > MaxValues && f < fc - 1;
    if (wide || rc.ValuesNumber[f] > MaxCategories) {
      return Fail(rc, "Error in input file: too much values for " + FormatInt(f, 3) +
                          "-th feature");
    }
  }
  return true;
}

bool ReadNames(RunContext& rc) {
  const int32_t fc = rc.FileFeatures;
  for (int32_t f = 1; f <= fc; ++f) {
    if (rc.FeatureType[f] == NominalFeature) {
      rc.ValueTable[f].assign(static_cast<size_t>(rc.ValuesNumber[f]) + 1, TValueEntry{});
    }
  }
  for (int32_t f = 1; f <= fc; ++f) rc.FeatureCost[f] = 1.0;
  for (int32_t f = 1; f <= fc; ++f) {
    if (!ReadToken(rc, rc.FeatureName[f])) return false;
  }
  if (!rc.LineEnded) {
    for (int c = rc.In.Get(); c != '\n' && c != EndOfData; c = rc.In.Get()) {
    }
  }
  // A hash sign right behind the last name must not swallow the rows.
  rc.InComment = false;
  return true;
}

void AppendConstantFeature(RunContext& rc) {
  const int32_t last = rc.FileFeatures + 1;
  rc.FeaturesNumber = last;
  rc.ValueTable[last].clear();
  if (!rc.IsClassification) {
    rc.FeatureType[last] = NominalFeature;
    rc.FeatureName[last] = "W";
    rc.ValuesNumber[last] = 1;
    rc.ValueTable[last] = {TValueEntry{}, TValueEntry{1, "1"}};
  } else {
    rc.FeatureType[last] = NumericFeature;
    rc.FeatureName[last] = "Y";
    rc.ValuesNumber[last] = 0;
  }
}

bool DecideTask(RunContext& rc) {
  RunParameters& p = *rc.Params;
  if (rc.FeatureType[p.FeatureToPredict] == NumericFeature) {
    rc.ClassificationWeight = 0.0;
    rc.ClassFeature = rc.FileFeatures;
  } else {
    rc.RegressionWeight = 0.0;
    rc.ClassFeature = p.FeatureToPredict;
    p.FeatureToPredict = rc.FileFeatures;
  }
  rc.ValueFeature = p.FeatureToPredict;
  rc.IsRegression = rc.RegressionWeight != 0.0;
  rc.IsClassification = rc.ClassificationWeight != 0.0;
  AppendConstantFeature(rc);
  if (p.Ordering != 0) {
    rc.SeriesObjectsNumber = rc.ObjectsNumber;
    rc.SeriesFeaturesNumber = rc.FeaturesNumber;
  }
  rc.ClassFeatureName = rc.FeatureName[rc.ClassFeature];
  rc.ValueFeatureName = rc.FeatureName[rc.ValueFeature];
  rc.ClassesNumber = rc.IsClassification ? rc.ValuesNumber[rc.ClassFeature] : 0;
  if (rc.ClassesNumber > MaxClasses) return Fail(rc, "Error in input file: too much classes");
  return true;
}

void AllocatePools(RunContext& rc) {
  rc.NodePoolSize = 2 * (rc.ObjectsNumber / rc.MinNodeSize);
  rc.Pool.Allocate(rc.NodePoolSize);
  if (rc.Params->Ordering != 0) rc.SeriesPool.Allocate(rc.NodePoolSize);
}

TTable& TableRead(RunContext& rc) {
  return rc.Params->Ordering != 0 ? rc.SeriesTable : rc.DataTable;
}

bool ReadLearningRows(RunContext& rc) {
  TTable& table = TableRead(rc);
  table = TTable(rc.FeaturesNumber, rc.ObjectsNumber);
  if (!ReadRows(rc, table, rc.FileFeatures, rc.ObjectsNumber, false)) return false;
  rc.ObjectOrder.resize(static_cast<size_t>(rc.ObjectsNumber) + 1);
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) rc.ObjectOrder[i] = i;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) table.At(rc.FeaturesNumber, i) = 1.0;
  return true;
}

void SetTargets(RunContext& rc) {
  const TTable& table = TableRead(rc);
  rc.TargetValue.assign(static_cast<size_t>(rc.ObjectsNumber) + 1, 0.0);
  rc.ClassLabel.assign(static_cast<size_t>(rc.ObjectsNumber) + 1, 0);
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    const double value = table.At(rc.ValueFeature, i);
    if (value == MissingValue) {
      rc.ObjectActive[i] = 0;
    } else {
      rc.TargetValue[i] = value;
    }
    const double label = table.At(rc.ClassFeature, i);
    if (label == MissingValue) {
      rc.ObjectActive[i] = 0;
    } else {
      rc.ClassLabel[i] = WholePart(label);
    }
  }
}

bool ReadPredictionBlock(RunContext& rc) {
  if (!FindPredictKeyword(rc)) return true;
  bool notNumeric = false;
  const TWord countWord = ReadWord(rc);
  const double count = ParseNumber(countWord.Text, notNumeric);
  if (notNumeric) return Fail(rc, "Error in input file: wrong number of predicting data");
  NoteCountToken(rc, countWord.Text, countWord.Length, rc.In.Line());
  rc.PredictObjectsNumber = WholePart(count);
  if (rc.PredictObjectsNumber > MaxObjects) {
    return Fail(rc, " Error: too much objects for prediction", false);
  }
  if (rc.PredictObjectsNumber < 0) {
    return Fail(rc, "Error in input file: wrong number of predicting data");
  }
  rc.PredictTable = TTable(rc.FeaturesNumber, rc.PredictObjectsNumber);
  if (!ReadRows(rc, rc.PredictTable, rc.FileFeatures, rc.PredictObjectsNumber, true)) return false;
  for (int32_t j = 1; j <= rc.PredictObjectsNumber; ++j) rc.PredictTable.At(rc.FeaturesNumber, j) = 1.0;
  return true;
}

bool FinishReading(RunContext& rc) {
  rc.In.Close();
  // Classes first seen in the prediction block get their names too.
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) {
    rc.ClassName[k] = rc.ValueTable[rc.ClassFeature][static_cast<size_t>(k)].ValueName;
  }
  // A time series predicts only the times after the lag.
  const int32_t first = rc.Params->Ordering != 0 ? rc.Params->Lag + 1 : 1;
  const bool anyActive = std::any_of(rc.ObjectActive.begin() + first, rc.ObjectActive.end(),
                                     [](uint8_t a) { return a != 0; });
  if (!anyActive) return Fail(rc, " Error: no object with a known target");
  return true;
}

void PrepareVariantTables(RunContext& rc) {
  // A kept tree needs a root feature no earlier tree used, so there are never more trees
  // than features, however many variants were asked for.
  const int32_t variants = std::clamp(rc.Params->VariantsNumber, 1, rc.FeaturesNumber);
  if (rc.PredictObjectsNumber > 0) {
    rc.VoteTable.assign(static_cast<size_t>(rc.PredictObjectsNumber) + 1,
                        std::vector<double>(static_cast<size_t>(variants) + 1, 0.0));
  }
  rc.Competence.assign(static_cast<size_t>(variants) + 1, 0.0);
  rc.VariantNo = 1;
  rc.TreesNumber = 1;
}

}  // namespace

bool ReadRun(RunContext& rc) {
  if (!CheckParameters(rc)) return false;
  SetWeights(rc);
  if (!ReadCounts(rc) || !CheckLag(rc)) return false;
  ResetFeatureState(rc);
  if (!ReadFeatureTypes(rc) || !ReadNames(rc) || !DecideTask(rc)) return false;
  AllocatePools(rc);
  if (!ReadLearningRows(rc)) return false;
  SetTargets(rc);
  if (!ReadPredictionBlock(rc) || !FinishReading(rc)) return false;
  PrepareVariantTables(rc);
  return true;
}

bool ReadRunFromText(RunContext& rc, RunParameters& params, std::string text, TRandom* random) {
  rc.Params = &params;
  rc.Random = random;
  rc.InputFileName = "data.txt";
  rc.In.OpenText(std::move(text));
  return ReadRun(rc);
}

void SwapLayout(RunContext& rc, TFileLayout& layout) {
  std::swap(rc.ObjectsNumber, layout.ObjectsNumber);
  std::swap(rc.FeaturesNumber, layout.FeaturesNumber);
  std::swap(rc.FeatureType, layout.FeatureType);
  std::swap(rc.ValuesNumber, layout.ValuesNumber);
  std::swap(rc.ValueTable, layout.ValueTable);
  std::swap(rc.FeatureCost, layout.FeatureCost);
  std::swap(rc.ActivePredictors, layout.ActivePredictors);
  std::swap(rc.DataTable, layout.DataTable);
  std::swap(rc.ObjectActive, layout.ObjectActive);
  std::swap(rc.TargetValue, layout.TargetValue);
  std::swap(rc.ClassLabel, layout.ClassLabel);
}

}  // namespace tarmel
