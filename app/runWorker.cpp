// Runs the engine off the window's thread. The job record is handed to the run's thread
// when it starts and read back only after that thread has ended, so the two threads never
// touch it at the same time; progress texts cross over as queued signals.
#include "runWorker.h"

#include <QFile>
#include <QThread>
#include <cerrno>
#include <system_error>

namespace tarmel {

void ProgressRelay::SetPanelText(int panel, const std::string& text) {
  emit PanelTextChanged(panel, QString::fromStdString(text));
}

RunWorker::RunWorker(QObject* parent) : QObject(parent) {
  connect(&Relay_, &ProgressRelay::PanelTextChanged, this, &RunWorker::PanelTextChanged,
          Qt::QueuedConnection);
}

RunWorker::~RunWorker() {
  if (Thread_ != nullptr) {
    Thread_->wait();
    delete Thread_;
  }
}

void RunWorker::Start(const RunParameters& params, const QString& inputFile,
                      const QString& reportFile) {
  if (IsRunning()) return;
  Job_ = RunJob{params, QFile::encodeName(inputFile).toStdString(),
                QFile::encodeName(reportFile).toStdString(), RunOutcome::Complete, {}};
  Thread_ = QThread::create([this] {
    errno = 0;
    const RunEnvironment env{Job_.ReportFileName, &Relay_, nullptr};
    Job_.Outcome = RunTree(Job_.Params, Job_.InputFileName, env);
    // errno belongs to this thread and still holds why the report could not be opened.
    if (Job_.Outcome == RunOutcome::ReportNotCreated && errno != 0) {
      Job_.ReportError = QString::fromStdString(std::generic_category().message(errno));
    }
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
