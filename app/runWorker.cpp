// Runs the engine off the window's thread. The job record is handed to the run's thread
// when it starts and read back only after that thread has ended, so the two threads never
// touch it at the same time; progress texts cross over as queued signals.
#include "runWorker.h"

#include <QFile>
#include <QThread>
#include <algorithm>

namespace tarmel {

void ProgressRelay::Reset() {
  for (std::string& text : Shown_) text.clear();
  Started_ = false;
  Forwarded_ = RunProgress{};
}

void ProgressRelay::Forward(const RunProgress& p) {
  const RunProgress& f = Forwarded_;
  if (p.Phase == f.Phase && p.Variant == f.Variant && p.Variants == f.Variants &&
      p.FoldsDone == f.FoldsDone && p.Folds == f.Folds && p.Fraction == f.Fraction) {
    return;
  }
  Forwarded_ = p;
  emit ProgressChanged(p);
}

void ProgressRelay::Show(int panel, const std::string& text) {
  if (Shown_[panel] == text) return;
  Shown_[panel] = text;
  emit PanelTextChanged(panel, QString::fromStdString(text));
}

// The engine calls one at a time, so the texts kept here need no lock. The fold shown is
// the one growing now: one more than the folds finished.
void ProgressRelay::OnProgress(const RunProgress& p) {
  Forward(p);
  if (p.Phase == RunPhase::Finished) {
    if (!Started_) return;  // a run that stopped on its data leaves the status bar alone
    Show(1, "");
    Show(2, "");
    return;
  }
  if (p.LeavesGrown > 0) {
    Started_ = true;
    Show(1, " Node " + std::to_string(p.LeavesGrown));
  }
  if (p.Phase == RunPhase::CrossValidating && p.Folds > 0) {
    Started_ = true;
    const int32_t fold = std::min(p.FoldsDone + 1, p.Folds);
    Show(2, " Variant " + std::to_string(p.Variant) + " Fold " + std::to_string(fold));
  }
}

RunWorker::RunWorker(QObject* parent) : QObject(parent) {
  connect(&Relay_, &ProgressRelay::PanelTextChanged, this, &RunWorker::PanelTextChanged,
          Qt::QueuedConnection);
  connect(&Relay_, &ProgressRelay::ProgressChanged, this, &RunWorker::ProgressChanged,
          Qt::QueuedConnection);
}

// A window that goes away has no use for the rest of its run.
RunWorker::~RunWorker() {
  if (Thread_ != nullptr) {
    Cancel_.Cancel();
    Thread_->wait();
    delete Thread_;
  }
}

void RunWorker::Start(const RunParameters& params, const QString& inputFile,
                      const QString& reportFile, bool sameFolds) {
  if (IsRunning()) return;
  Job_ = RunJob{params, QFile::encodeName(inputFile).toStdString(),
                QFile::encodeName(reportFile).toStdString(), RunOutcome::Complete, {}, {}};
  StartupFolds_ = TRandom{};
  Random_ = sameFolds ? &StartupFolds_ : nullptr;
  Relay_.Reset();
  Cancel_.Reset();
  Thread_ = QThread::create([this] {
    RunRequest request;
    request.Params = Job_.Params;
    request.DataFileName = Job_.InputFileName;
    request.ReportFileName = Job_.ReportFileName;
    request.Observer = &Relay_;
    request.Cancel = &Cancel_;
    request.Random = Random_;
    Job_.Result = Run(request);
    Job_.Params = Job_.Result.Params;
    Job_.Outcome = Job_.Result.Outcome;
    Job_.ReportError = QString::fromStdString(Job_.Result.Message);
  });
  connect(Thread_, &QThread::finished, this, &RunWorker::ThreadFinished);
  Thread_->start();
}

void RunWorker::ThreadFinished() {
  Thread_->wait();
  delete Thread_;
  Thread_ = nullptr;
  emit Finished();
}

}  // namespace tarmel
