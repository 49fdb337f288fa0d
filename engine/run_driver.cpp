// The run driver: one run from the parameters and the data file to the finished report.
// It checks the parameters, reads and checks the data, decides the task from the type of
// the feature to predict, appends a constant feature of its own, prepares the tables of
// the run, runs the variant loop and the voting section, and releases everything. Every
// fault is a message in the report; the context owns all storage, so nothing leaks on
// any path.
#include "run_driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "cross_validation.h"
#include "data_reader.h"
#include "prediction.h"
#include "read_warnings.h"
#include "tree_apply.h"
#include "run_request.h"

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
  if (rc.Params->Ordering != 0) rc.SeriesFlags.assign(static_cast<size_t>(rc.ObjectsNumber) + 1, 0);
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
  TWord word;
  do {
    word = ReadWord(rc);
  } while (!word.EndOfFile && word.Text != "Predict" && word.Text != "predict");
  if (word.EndOfFile) return true;
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
  const bool anyActive = std::any_of(rc.ObjectActive.begin() + 1, rc.ObjectActive.end(),
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

uint32_t TRandom::Next(uint32_t n) {
  Seed = Seed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(Seed) * n) >> 32);
}

TRandom& SharedRandom() {
  static TRandom random;
  return random;
}

void DrawFolds(RunContext& rc) {
  const auto folds = static_cast<uint32_t>(std::max(rc.Params->FoldsCrossValidate, 1));
  rc.FoldOf.resize(static_cast<size_t>(rc.ObjectsNumber) + 1);
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    rc.FoldOf[i] = static_cast<int32_t>(rc.Random->Next(folds)) + 1;
  }
}

bool ReadRun(RunContext& rc) {
  if (!CheckParameters(rc)) return false;
  SetWeights(rc);
  if (!ReadCounts(rc)) return false;
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

namespace {

// The same file, also through another path or a link: the same device and inode.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The report's message as one line: a failed run's report holds nothing else.
std::string MessageOf(const std::string& report) {
  std::string line;
  for (const char c : report) line += (c == '\r' || c == '\n') ? ' ' : c;
  const size_t first = line.find_first_not_of(' ');
  const size_t last = line.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

bool OpenData(RunContext& rc, const RunRequest& request, RunResult& result) {
  std::string reason;
  if (request.DataText) {
    rc.In.OpenText(*request.DataText);
    return true;
  }
  if (rc.In.Open(request.DataFileName, reason)) return true;
  rc.Out.Text("No input file found.");
  rc.Out.LineEnd();
  rc.Out.Text("Please, see TRELM.TXT file for more information.");
  rc.Out.LineEnd();
  result.Message = "Cannot read the data file \"" + request.DataFileName + "\": " + reason;
  NoteUnreadableData(rc, request.DataFileName, reason);
  return false;
}

// The names the kept trees' records refer to, as the file gives them.
void KeepNames(const RunContext& rc, RunResult& result) {
  result.Task = TaskForm(rc) == TTaskForm::Regression       ? TaskKind::Regression
                : TaskForm(rc) == TTaskForm::Classification ? TaskKind::Classification
                                                            : TaskKind::Neither;
  result.TargetFeature = result.Task == TaskKind::Classification ? rc.ClassFeature : rc.ValueFeature;
  for (int32_t f = 1; f <= rc.FileFeatures; ++f) {
    result.FeatureNames.push_back(rc.FeatureName[static_cast<size_t>(f)]);
    std::vector<std::string> values;
    const TValueTable& table = rc.ValueTable[static_cast<size_t>(f)];
    for (size_t k = 1; k < table.size(); ++k) values.push_back(table[k].ValueName);
    result.ValueNames.push_back(std::move(values));
  }
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) {
    result.ClassNames.push_back(rc.ClassName[static_cast<size_t>(k)]);
  }
}

// The read phase, the variant loop and the voting section; the outcome written so far.
RunOutcome ReadGrowAndVote(RunContext& rc, const RunRequest& request, RunResult& result) {
  ShowPhase(rc, RunPhase::Reading);
  if (!OpenData(rc, request, result)) return RunOutcome::DataError;
  if (!ReadRun(rc)) {
    result.Message = request.DataFileName + ": " + MessageOf(rc.Out.Written());
    return RunOutcome::DataError;
  }
  KeepNames(rc, result);
  RunVariants(rc);
  if (CancelRequested(rc)) return RunOutcome::Cancelled;
  // Time-series trees predict nothing, so they have no votes to combine.
  const bool predicted = rc.PredictObjectsNumber > 0 && rc.Params->Ordering == 0;
  if (predicted && rc.TreesNumber > 1) {
    ShowPhase(rc, RunPhase::Voting);
    WriteVotingSection(rc);
  }
  return RunOutcome::Complete;
}

// Puts the report in place, or leaves the old one when the run was given up.
void FinishReport(RunContext& rc, const RunRequest& request, RunResult& result) {
  const std::string& report = request.ReportFileName;
  if (result.Outcome != RunOutcome::Cancelled && CancelRequested(rc)) {
    result.Outcome = RunOutcome::Cancelled;
  }
  if (result.Outcome == RunOutcome::Cancelled) {
    rc.Out.Discard();
    result.Message = "The run was cancelled; the report \"" + report + "\" was left as it was";
    return;
  }
  std::string reason;
  if (!rc.Out.Commit(reason)) {
    result.Outcome = RunOutcome::ReportNotWritten;
    result.Message = "Cannot write the report \"" + report + "\": " + reason;
  }
}

}  // namespace

RunResult Run(const RunRequest& request) {
  RunResult result;
  result.Params = request.Params;
  const std::string& report = request.ReportFileName;
  if (!request.DataText && SameFile(request.DataFileName, report)) {
    result.Outcome = RunOutcome::ReportNotCreated;
    result.Message = "The report \"" + report + "\" is the data file \"" +
                     request.DataFileName + "\": the run would overwrite the data";
    return result;
  }
  TRunTracker tracker;
  tracker.Observer = request.Observer;
  auto rc = std::make_unique<RunContext>();
  rc->Params = &result.Params;
  rc->InputFileName = request.DataFileName;
  rc->Tracker = &tracker;
  rc->Random = request.Random != nullptr ? request.Random : &SharedRandom();
  rc->Threads = request.Threads;
  rc->Cancel = request.Cancel;
  rc->Result = &result;
  std::string reason;
  if (!rc->Out.Create(report, reason)) {
    result.Outcome = RunOutcome::ReportNotCreated;
    result.Message = "Cannot create the report \"" + report + "\": " + reason;
    return result;
  }
  result.Outcome = ReadGrowAndVote(*rc, request, result);
  // Also a refused file: a warning may tell why its message came where it did.
  result.Warnings = rc->Warnings.Warnings;
  FinishReport(*rc, request, result);
  ShowPhase(*rc, RunPhase::Finished);
  return result;
}

RunOutcome RunTree(RunParameters& params, const std::string& inputFileName,
                   const RunEnvironment& env) {
  RunRequest request;
  request.Params = params;
  request.DataFileName = inputFileName;
  request.ReportFileName = env.ReportFileName;
  request.Observer = env.Observer;
  request.Random = env.Random;
  const RunResult result = Run(request);
  params = result.Params;
  return result.Outcome;
}

}  // namespace tarmel
