// The one run interface every front end uses: a request (parameters, data, report path,
// observer, generator, threads, cancel token) goes in, a result comes back that owns what
// the run found (the kept trees as plain records, their errors, the confusion matrix of
// the cross-validation, the names) next to the outcome and a message a person can read.
// Nothing here changes a byte of the report; the report stays the run's primary output.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "treeTarmel.h"

namespace tarmel {

// Set from any thread; the run looks at it often enough to stop within a second.
class CancelToken {
 public:
  void Cancel() { Cancelled_.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return Cancelled_.load(std::memory_order_relaxed); }
  void Reset() { Cancelled_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> Cancelled_{false};
};

enum class RunPhase {
  Reading,          // the data file is being read and checked
  Growing,          // a variant's own tree grows by leaf expansion
  CrossValidating,  // the fold trees of a variant grow and are tested
  Voting,           // the voting section is written
  Finished,         // the run has ended (whatever its outcome)
};

// Where a run stands. Fraction counts finished trees out of variants x (1 + folds): the
// variant's own tree and one per fold.
struct RunProgress {
  RunPhase Phase = RunPhase::Reading;
  int32_t Variant = 0;        // v of Variants, from 1; 0 before the first variant
  int32_t Variants = 0;       // variants the run may grow
  int32_t FoldsDone = 0;      // folds of the current variant finished so far (a fold
                              // without objects to test counts as finished at once)
  int32_t Folds = 0;          // folds of the current variant's cross-validation, 0 without
  int32_t LeavesGrown = 0;    // leaves of the tree growing now (" Node " n in the window)
  double Fraction = 0.0;      // 0 .. 1 of the whole run
};

// Called from the run's threads, one call at a time; must not block for long.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void OnProgress(const RunProgress& progress) = 0;
};

struct RunRequest {
  RunParameters Params;                    // the nine run parameters
  std::string DataFileName;                // the data file; echoed in the report header
  std::optional<std::string> DataText;     // when set, the data itself (DataFileName is then
                                           // only the name the report shows)
  std::string ReportFileName = "output.txt";
  RunObserver* Observer = nullptr;         // may be null
  TRandom* Random = nullptr;               // null: the program-wide generator
  int32_t Threads = 0;                     // worker threads; 0 = one per core
  const CancelToken* Cancel = nullptr;     // may be null
};


// Something the run read in a way the user probably did not mean; the report is unchanged.
struct RunWarning {
  std::string Text;     // one line a person can read, naming the feature or row
  int32_t Line = 0;     // line of the data file it points at (1-based), 0 when none
  int32_t Count = 1;    // how many of this kind there were (the text names the first)
};

// The form a run's decisions and errors take; a run with ErrorWeight 0 has neither.
enum class TaskKind { Regression, Classification, Neither };

// One vertex of a kept tree. Nodes are stored flat; the root is node 0.
struct TTreeNode {
  int32_t Parent = -1;                 // index of the parent node, -1 at the root
  std::vector<int32_t> Children;       // in branch order
  // The condition of the branch from the parent (empty at the root), as the report
  // writes it: "<= 3.20", "> 3.20", "=] 3.20, 5.00]", "red,blue".
  std::string Condition;
  uint8_t Kind = 0;                    // 0 interval, 2 set of nominal codes
  double Low = 0.0, High = 0.0;        // Kind 0: (Low, High]; +-1e17 stand for infinity
  std::vector<int32_t> Categories;     // Kind 2: the value codes of the branch
  int32_t SplitFeature = 0;            // inner vertices: feature tested, file numbering
  int32_t SplitShift = 0;              // time-series trees: time shift of that feature
  int32_t ObjCount = 0;                // learning objects reaching the vertex
  double Mean = 0.0;                   // regression decision
  double StandardError = 0.0;          // sqrt of the vertex's variance (0 when negative)
  std::vector<int32_t> ClassCounts;    // [0 .. ClassesNumber - 1]: objects of class k + 1
  int32_t MajorityClass = 0;           // classification decision, 1-based; 0 in regression
  bool Heterogeneous = false;          // a leaf the report marks "Heterogeneous group"
  int32_t RuleNumber = 0;              // leaves: the report's rule number; 0 elsewhere
};

struct TKeptTree {
  int32_t Variant = 0;                 // variant number as the report heads it
  bool TimeSeries = false;             // a time-series tree (no rules in the report)
  std::vector<TTreeNode> Nodes;        // node 0 is the root
  int32_t LeavesNumber = 0;
  double TreeError = 0.0;              // standard error or misclassification frequency
  bool CrossValidated = false;
  double CrossValidationError = 0.0;   // as the report's cross-validation line
  double VotingWeight = 0.0;           // normalised competence; 0 when no vote was taken
  // Classification: [true class - 1][predicted class - 1] over every fold's test pass.
  std::vector<std::vector<int32_t>> Confusion;
};

struct RunResult {
  RunOutcome Outcome = RunOutcome::Complete;
  std::string Message;                 // what went wrong, for a person; empty when complete
  RunParameters Params;                // as the run used them (FeatureToPredict after
                                       // a classification run)
  std::vector<RunWarning> Warnings;
  TaskKind Task = TaskKind::Neither;
  int32_t TargetFeature = 0;           // the feature predicted, file numbering
  std::vector<std::string> FeatureNames;             // [f - 1], file numbering
  std::vector<std::vector<std::string>> ValueNames;  // [f - 1][code - 1], nominal features
  std::vector<std::string> ClassNames;               // [k - 1]
  std::vector<TKeptTree> Trees;        // every kept tree, in report order
};

// One whole run. Never throws; every outcome is in the result.
RunResult Run(const RunRequest& request);

}  // namespace tarmel
