// The worker thread reads; the window's thread waits a moment and then, while the reading
// goes on, keeps a progress dialog moving. The two share only two atomics until the thread
// has ended, after which the window's thread takes the outcome.
#include "importWorker.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <new>

namespace tarmel {

namespace {

constexpr int ProgressRange = 1000;
constexpr int QuietMilliseconds = 250;  // a read this short shows no dialog

struct TSharedState {
  std::atomic<int64_t> Read{0};
  std::atomic<bool> Cancel{false};
};

TTableReading ReadOnThisThread(TByteSource& source, TSharedState& shared) {
  TTableReading outcome;
  try {
    TTableText text = ReadTableText(source, [&shared](int64_t read) {
      shared.Read = read;
      return !shared.Cancel;
    });
    if (!text.ReadError.empty()) {
      outcome.Error = QString::fromStdString(text.ReadError);
    } else if (!text.Cancelled) {
      outcome.Text = std::move(text);
    }
  } catch (const std::bad_alloc&) {
    outcome.Error = QStringLiteral("there is not enough memory to read it");
  }
  return outcome;
}

void ShowProgressUntilDone(QWidget* parent, const QString& fileName, QThread& thread,
                           TSharedState& shared, int64_t size) {
  QProgressDialog dialog(
      QStringLiteral("Reading %1 ...").arg(QFileInfo(fileName).fileName()),
      QStringLiteral("Cancel"), 0, size > 0 ? ProgressRange : 0, parent);
  dialog.setObjectName(QStringLiteral("ImportProgress"));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  QEventLoop loop;
  QTimer clock;
  QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
  QObject::connect(&clock, &QTimer::timeout, &dialog, [&] {
    if (dialog.wasCanceled()) shared.Cancel = true;
    if (size > 0) {
      dialog.setValue(static_cast<int>(std::min<int64_t>(shared.Read, size) * ProgressRange /
                                       size));
    }
  });
  clock.start(50);
  dialog.show();
  if (!thread.isFinished()) loop.exec();
}

}  // namespace

TTableReading ReadTableInBackground(QWidget* parent, const QString& fileName,
                                    TByteSource& source, int64_t size) {
  TSharedState shared;
  TTableReading outcome;
  std::unique_ptr<QThread> thread(
      QThread::create([&] { outcome = ReadOnThisThread(source, shared); }));
  thread->start();
  if (!thread->wait(QDeadlineTimer(QuietMilliseconds))) {
    ShowProgressUntilDone(parent, fileName, *thread, shared, size);
  }
  thread->wait();
  return outcome;
}

}  // namespace tarmel
