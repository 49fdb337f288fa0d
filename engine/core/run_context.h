// The state of one run, shared by the reader, the growers, the evaluation and the report.
// Every table and per-feature, per-object or per-class array is numbered from 1 (entry 0
// holds nothing). The context owns all storage of the run, so it is released on every
// path out of Run, after success and failure alike.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data_file.h"
#include "report_writer.h"
#include "run_progress.h"
#include "run_request.h"
#include "treeTarmel.h"
#include "tree_records.h"

namespace tarmel {

struct TSearchScratch;  // working storage of the split search, reused between vertices
struct SearchScratchDeleter {
  void operator()(TSearchScratch* scratch) const;
};

// Holds the split search's working storage. Copies of the run state grow on other threads,
// so a copy starts with no storage of its own instead of sharing the original's.
struct SearchScratchSlot {
  SearchScratchSlot() = default;
  SearchScratchSlot(const SearchScratchSlot&) {}
  SearchScratchSlot& operator=(const SearchScratchSlot&) { return *this; }
  SearchScratchSlot(SearchScratchSlot&&) noexcept = default;
  SearchScratchSlot& operator=(SearchScratchSlot&&) noexcept = default;
  ~SearchScratchSlot() = default;
  std::unique_ptr<TSearchScratch, SearchScratchDeleter> Scratch;
};

constexpr double MissingValue = 9999.0;  // stored value of a missing cell
constexpr int MaxObjects = 1000;         // learning objects, and prediction objects
constexpr int MaxFileFeatures = 49;      // features in the file
constexpr int MaxFeatures = MaxFileFeatures + 1;  // with the appended constant feature
constexpr int MaxValues = 10;            // values of a nominal feature (but the last two)
constexpr int NameLength = 20;           // characters kept of any name or token

constexpr int32_t NumericFeature = 0;
constexpr int32_t NominalFeature = 2;

// Doubles indexed [feature][object], both from 1; a column per feature is contiguous.
class TTable {
 public:
  TTable() = default;
  TTable(int32_t features, int32_t objects)
      : Objects_(objects), Cells_(static_cast<size_t>(features + 1) * (objects + 1), 0.0) {}
  double& At(int32_t f, int32_t i) { return Cells_[Index(f, i)]; }
  double At(int32_t f, int32_t i) const { return Cells_[Index(f, i)]; }
  const double* Column(int32_t f) const { return &Cells_[Index(f, 0)]; }
  bool Empty() const { return Cells_.empty(); }
  void Release() { *this = TTable(); }

 private:
  size_t Index(int32_t f, int32_t i) const {
    return static_cast<size_t>(f) * static_cast<size_t>(Objects_ + 1) + static_cast<size_t>(i);
  }
  int32_t Objects_ = 0;
  std::vector<double> Cells_;
};

struct TValueEntry {
  int32_t ValueCode = 0;
  std::string ValueName;  // empty: the entry is free
};
using TValueTable = std::vector<TValueEntry>;  // entries 0..k, entry 0 unused

using FeatureFlags = std::array<bool, MaxFeatures + 1>;
template <typename T>
using PerFeature = std::array<T, MaxFeatures + 1>;

// One step of a root-to-vertex path: the branch taken, the feature its parent is split
// on and, in time-series ordering, the time shift of that feature.
struct TPathEntry {
  PBranch Branch = nullptr;
  int32_t Feature = 0;
  int32_t Shift = 0;
};

// Entries 1..depth are used; the path grows with the tree, it has no fixed limit.
struct TRulePath {
  std::vector<TPathEntry> Entries = std::vector<TPathEntry>(46);
  TPathEntry& operator[](int32_t d) {
    if (Entries.size() <= static_cast<size_t>(d)) Entries.resize(static_cast<size_t>(d) + 1);
    return Entries[static_cast<size_t>(d)];
  }
  const TPathEntry& operator[](int32_t d) const { return Entries[static_cast<size_t>(d)]; }
};

// Warnings of a run: each kind of warning about one subject (a key such as "9999 f3") is
// kept once, naming where it happened first, and counted.
struct TWarningList {
  std::vector<std::string> Keys;     // parallel to Warnings
  std::vector<RunWarning> Warnings;  // in the order first met
};

inline void AddWarning(TWarningList& list, const std::string& key, std::string text,
                       int32_t line) {
  for (size_t k = 0; k < list.Keys.size(); ++k) {
    if (list.Keys[k] == key) {
      ++list.Warnings[k].Count;
      return;
    }
  }
  list.Keys.push_back(key);
  list.Warnings.push_back(RunWarning{std::move(text), line, 1});
}

struct RunContext {
  // --- set by the caller of the run ---
  RunParameters* Params = nullptr;     // the caller's nine parameters (FeatureToPredict changes)
  std::string InputFileName;           // echoed in the run header
  TRunTracker* Tracker = nullptr;      // progress, shared with the fold copies; may be null
  bool ShowsLeaves = true;             // this state reports the leaves it grows
  TRandom* Random = nullptr;           // fold draws
  int32_t Threads = 0;                 // worker threads for folds and searches; 0 = one per core
  const CancelToken* Cancel = nullptr; // asked to stop; may be null
  ReportWriter Out;                    // the report, output.txt
  RunResult* Result = nullptr;         // what the run found, filled as the report is
                                       // written; null in fold copies and partial runs

  // --- reader (data file) ---
  DataFile In;                         // the data file being read
  bool InComment = false;              // the tokenizer is inside a # comment #
  bool LineEnded = false;              // the last token ended its line
  int32_t TokenLine = 0;               // line of the data file the last token began on
  size_t TokenLength = 0;              // characters of the last token, also those not kept
  TWarningList Warnings;               // what the reader took in a way not meant, maybe
  int32_t ObjectsNumber = 0;           // learning objects (changes per candidate table in
                                       // time-series ordering)
  int32_t FileFeatures = 0;            // FC, the feature count written in the file
  int32_t FeaturesNumber = 0;          // FC + 1 with the appended constant feature
  std::string MissingToken;            // a cell equal to it is missing
  PerFeature<int32_t> FeatureType{};   // NumericFeature or NominalFeature
  PerFeature<int32_t> ValuesNumber{};  // declared values of a nominal feature
  PerFeature<TValueTable> ValueTable;  // nominal features: code and name per value
  PerFeature<std::string> FeatureName;
  TTable DataTable;                    // learning objects (the candidate table in time series)
  int32_t PredictObjectsNumber = 0;
  TTable PredictTable;                 // the prediction block

  // --- task (run driver) ---
  int32_t MinNodeSize = 1;             // trunc(ObjectsNumber x MinObj) + 1
  int32_t RecursionDepth = 1;          // trunc(RecursiveComplexity)
  int32_t ValueFeature = 0;            // feature holding the numeric target
  int32_t ClassFeature = 0;            // feature holding the class
  double RegressionWeight = 0.0;       // weight of the variance term
  double ClassificationWeight = 0.0;   // weight of the misclassification term
  bool IsRegression = false;           // RegressionWeight <> 0
  bool IsClassification = false;       // ClassificationWeight <> 0
  double LeafWeight = 1.0;             // weight of the leaves-per-object term
  double CostWeight = 0.1;             // weight of the feature-cost term
  int32_t ClassesNumber = 0;           // 0 in regression, at most MaxClasses
  std::array<std::string, MaxClasses + 1> ClassName;
  std::string ClassFeatureName;        // for the report
  std::string ValueFeatureName;        // for the report
  FeatureFlags PredictorFlags{};       // features that may be used in splits
  PerFeature<double> FeatureCost{};    // cost of splitting on each feature
  FeatureFlags ActivePredictors{};     // PredictorFlags narrowed by the variant loop
  std::vector<uint8_t> ObjectActive;   // [1..ObjectsNumber]: takes part in growing
  std::vector<double> TargetValue;     // [1..ObjectsNumber]: cell of ValueFeature
  std::vector<int32_t> ClassLabel;     // [1..ObjectsNumber]: whole part of the class cell
  std::vector<int32_t> ObjectOrder;    // object list handed to the growers
  std::vector<int32_t> FoldOf;         // [1..ObjectsNumber]: fold of each object
  int32_t NodePoolSize = 0;            // 2 x (ObjectsNumber div MinNodeSize)
  NodePool Pool;                       // the tree of the current growth
  std::vector<std::vector<double>> VoteTable;  // [object][tree], when predicting
  std::vector<double> Competence;      // [tree]: cross-validation error, then vote weight
  int32_t TreesNumber = 1;             // trees kept so far
  int32_t VariantNo = 1;               // variant being grown
  int32_t ReportMode = 8;              // 8 data table, 12 time series
  TTable TestTable;                    // the test objects of one fold

  // --- growers ---
  double RootVariance = 0.0;           // Variance of the top vertex of the current growth
  int32_t MaxDepth = 0;                // depth limit of the current lookahead stage
  PerFeature<double> FeatureScore{};   // average quality credited to a feature in a stage
  PerFeature<double> FeatureHits{};    // credits of the current stage
  bool ScoresRead = false;             // a later stage reads the current stage's scores
  int32_t LeavesNumber = 0;            // leaves of the pooled tree
  TRulePath RulePath;                  // path from the root to a vertex
  SearchScratchSlot SearchScratch;     // split search buffers and value ranks

  // --- time-series ordering ---
  TTable SeriesTable;                  // the table read from the file
  int32_t SeriesObjectsNumber = 0;     // ObjectsNumber of the file
  int32_t SeriesFeaturesNumber = 0;    // FeaturesNumber of the file
  NodePool SeriesPool;                 // the time-series tree
  int32_t SeriesLeavesNumber = 0;      // leaves of the time-series tree
};

// Worker threads for folds and searches: the state's own count, or one per core (asked of
// the system once per process: the answer is read from a file each time).
int32_t ThreadsOf(const RunContext& rc);

// A run with ErrorWeight 0 sets neither task flag; its decisions are then left empty and no
// error is computed.
inline TaskKind TaskOf(const RunContext& rc) {
  if (rc.IsRegression) return TaskKind::Regression;
  if (rc.IsClassification) return TaskKind::Classification;
  return TaskKind::Neither;
}

// The caller asked the run to stop; growers then finish at once with what they have.
inline bool CancelRequested(const RunContext& rc) {
  return rc.Cancel != nullptr && rc.Cancel->Cancelled();
}

}  // namespace tarmel
