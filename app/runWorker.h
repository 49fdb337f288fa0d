// One engine run on a thread of its own, so the window keeps painting while a tree grows.
// The engine's progress texts reach the window as queued signals, delivered on the
// window's thread in the order the run set them and before the run's end is announced.
#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "progress.h"
#include "treeTarmel.h"

class QThread;

namespace tarmel {

class ProgressRelay : public QObject, public ProgressSink {
  Q_OBJECT
 public:
  using QObject::QObject;
  void SetPanelText(int panel, const std::string& text) override;  // from any thread

 signals:
  void PanelTextChanged(int panel, const QString& text);
};

// What a run was given and what it gave back.
struct RunJob {
  RunParameters Params;        // handed to the run; holds FeatureToPredict as it left it
  std::string InputFileName;   // the data file, in the file system's encoding
  std::string ReportFileName;  // the report the run writes
  RunOutcome Outcome = RunOutcome::Complete;
  QString ReportError;  // the system's reason when the report could not be created
};

class RunWorker : public QObject {
  Q_OBJECT
 public:
  explicit RunWorker(QObject* parent = nullptr);
  ~RunWorker() override;  // waits for a run still going

  bool IsRunning() const { return Thread_ != nullptr; }
  // Starts a run unless one is going; Finished follows on this object's thread.
  void Start(const RunParameters& params, const QString& inputFile, const QString& reportFile);
  const RunJob& LastJob() const { return Job_; }

 signals:
  void PanelTextChanged(int panel, const QString& text);
  void Finished();

 private:
  void ThreadFinished();

  ProgressRelay Relay_;
  QThread* Thread_ = nullptr;
  RunJob Job_;  // touched by the run's thread only between Start and Finished
};

}  // namespace tarmel
