// One engine run on a thread of its own, so the window keeps painting while a tree grows
// and a run can be cancelled. The run's progress reaches the window as status-bar texts
// and as the run's standing in queued signals, delivered on the window's thread in the
// order the run reported them and before the run's end is announced.
#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "run_request.h"

class QThread;

namespace tarmel {

// Turns the run's progress into the texts of status-bar panels 1 (" Node " n) and 2
// (" Variant " v " Fold " f); a text is sent only when it changes. The standing itself
// is sent when more than the leaf count changed, which is seldom enough for a queue.
class ProgressRelay : public QObject, public RunObserver {
  Q_OBJECT
 public:
  using QObject::QObject;
  void OnProgress(const RunProgress& progress) override;  // from the run's threads
  void Reset();  // before a run: nothing shown yet

 signals:
  void PanelTextChanged(int panel, const QString& text);
  void ProgressChanged(const tarmel::RunProgress& progress);

 private:
  void Show(int panel, const std::string& text);
  void Forward(const RunProgress& progress);
  std::string Shown_[3];
  bool Started_ = false;
  RunProgress Forwarded_;
};

// What a run was given and what it gave back.
struct RunJob {
  RunParameters Params;        // handed to the run; holds FeatureToPredict as it left it
  std::string InputFileName;   // the data file, in the file system's encoding
  std::string ReportFileName;  // the report the run writes
  RunOutcome Outcome = RunOutcome::Complete;
  QString ReportError;  // why the report could not be created or written
  RunResult Result;     // everything the run found
};

class RunWorker : public QObject {
  Q_OBJECT
 public:
  explicit RunWorker(QObject* parent = nullptr);
  ~RunWorker() override;  // waits for a run still going

  bool IsRunning() const { return Thread_ != nullptr; }
  // Starts a run unless one is going; Finished follows on this object's thread.
  // With sameFolds the run draws its folds from a generator fresh from the start-up seed.
  void Start(const RunParameters& params, const QString& inputFile, const QString& reportFile,
             bool sameFolds = false);
  const RunJob& LastJob() const { return Job_; }
  // Asks the run to stop; it ends within a second with the outcome Cancelled and the
  // report file as it was, unless it was finishing anyway.
  void Cancel() { Cancel_.Cancel(); }

 signals:
  void PanelTextChanged(int panel, const QString& text);
  void ProgressChanged(const tarmel::RunProgress& progress);
  void Finished();

 private:
  void ThreadFinished();

  ProgressRelay Relay_;
  QThread* Thread_ = nullptr;
  TRandom StartupFolds_;        // a generator as at start-up, for runs with the same folds
  TRandom* Random_ = nullptr;   // the run's generator; null: the program-wide one
  RunJob Job_;  // touched by the run's thread only between Start and Finished
  CancelToken Cancel_;
};

}  // namespace tarmel
