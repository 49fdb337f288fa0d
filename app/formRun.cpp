// The main window's runs: Build Tree hands the data file to the engine on a worker thread,
// shows the progress while it grows and the report when it ends; Stop gives it up, and
// Show Data brings the document back. A data file is never overwritten by its report.
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>

#include "data_header.h"
#include "findReplace.h"
#include "formTarmel.h"
#include "runStatus.h"
#include "runWorker.h"
#include "text_files.h"
#include "treeDock.h"

namespace tarmel {

// The run creates the report before it reads the data: a data file that is the report
// itself would be emptied before it is read.
bool TForm1::DataFileIsReport() {
  if (CurrentFileName.isEmpty() || !SameFile(QFile::encodeName(CurrentFileName).toStdString(),
                                               QFile::encodeName(ReportFile).toStdString())) {
    return false;
  }
  ShowFileError(QStringLiteral("Cannot grow a tree from"), CurrentFileName,
                QStringLiteral("the report %1 would overwrite it").arg(ReportFile));
  return true;
}

// The run reads the data file as saved, so unsaved edits of the document are written
// first (and only then: an unchanged file keeps its bytes and may be read-only), typed
// text without a file gets one, and a changed report may be saved before the next one
// replaces it.
bool TForm1::PrepareDataFile() {
  if (ShowsReport_) return MaybeSaveChanges();
  if (HasNamedDocument()) return !IsModified() || SaveEditorTo(CurrentFileName);
  const bool typed = CurrentFileName == UntitledFile || IsModified();
  if (!typed || EditorText().isEmpty()) {
    ShowStatus(QStringLiteral("A data file must be opened first (File > Open...)."));
    return false;
  }
  return FileSaveAs1Execute();
}

void TForm1::TreeBuildExecute() {
  if (IsRunning() || !TakePanelBeforeRun() || !ReadRunParameters() || !PrepareDataFile() ||
      DataFileIsReport() || !ConfirmTarget()) {
    return;
  }
  DataMessage_.clear();
  SetRunning(true);
  // The program-wide generator continues from run to run; the folds a run draws are told
  // with its result.
  const bool sameFolds = SameFolds->isChecked();
  FoldsText_ = sameFolds ? QStringLiteral("folds: as at start-up")
                         : QStringLiteral("folds: draw %1 since the program started").arg(++FoldDraws_);
  Worker_->Start(RunParameters, CurrentFileName, ReportFile, sameFolds);
}

void TForm1::RunFinished() {
  SetRunning(false);
  const RunJob& job = Worker_->LastJob();
  RunParameters.FeatureToPredict = job.Params.FeatureToPredict;
  if (job.Outcome == RunOutcome::ReportNotCreated || job.Outcome == RunOutcome::ReportNotWritten) {
    Dialogs_.ShowError(this, job.ReportError);
  } else if (job.Outcome == RunOutcome::Cancelled) {
    // The report file was left as it was, and the editor still shows what it showed.
    ShowStatus(QStringLiteral("Run cancelled"));
  } else {
    ShowRunReport(job.Result);
  }
  emit BuildFinished();
  if (CloseAfterRun_) {
    CloseAfterRun_ = false;
    close();
  }
}

void TForm1::ShowRunReport(const RunResult& result) {
  ReportFileName = ReportFile;
  if (!LoadIntoEditor(ReportFileName)) return;
  SetDocument({.DataFile = CurrentFileName, .Shown = ReportFileName, .IsReport = true});
  const bool dataError = result.Outcome == RunOutcome::DataError;
  // A run that ended on its data drew no folds worth naming.
  ShowStatus(RunSummary(result, RunClock_.elapsed()) +
             (dataError ? QString() : QStringLiteral("; ") + FoldsText_));
  if (dataError) {
    // The report holds the message alone: the dock has nothing to show.
    DataMessage_ = QString::fromStdString(result.Message);
    TreeDock_->Clear();
    TreeDock_->hide();
    const TDataHeader header = ReadDataHeader(DataHeaderText().toStdString());
    Dialogs_.ShowError(this, ExplainedMessage(result, header.FeatureNames));
  } else {
    const QString target = PredictedText(result);
    TreeDock_->ShowRun(result, CurrentFileName,
                       target.isEmpty() ? FoldsText_
                                        : QStringLiteral("Predicting %1; %2").arg(target, FoldsText_));
    TreeDock_->SetFilesInUse({CurrentFileName, ReportFile, QStringLiteral("param.par")});
  }
  const QString warnings = WarningsText(result.Warnings);
  if (!warnings.isEmpty()) Dialogs_.ShowWarnings(this, warnings);
}

void TForm1::StopBuildingExecute() {
  if (IsRunning() && Dialogs_.ConfirmStop(this)) Worker_->Cancel();
}

// Closing during a run asks "Stop?" and closes once the run has stopped; the run may
// also end on its own while the question is open.
void TForm1::closeEvent(QCloseEvent* event) {
  if (IsRunning()) {
    event->ignore();
    if (!Dialogs_.ConfirmStop(this)) return;
    if (!IsRunning()) {
      QTimer::singleShot(0, this, &QWidget::close);
      return;
    }
    CloseAfterRun_ = true;
    Worker_->Cancel();
    return;
  }
  if (MaybeSaveChanges()) {
    SaveSettings();
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::ShowDataExecute() {
  if (!HasNamedDocument()) {
    ShowStatus(QStringLiteral("A data file must be opened first (File > Open...)."));
    return;
  }
  if (!ShowsReport_ || !MaybeSaveChanges()) return;
  FileOpen1Accept(CurrentFileName);
  PutCaretOnMessageRow();
}

void TForm1::PutCaretOnMessageRow() {
  if (DataMessage_.isEmpty() || ShowsReport_) return;
  const int line = DataMessageLine(EditorText(), DataMessage_);
  if (line < 0) return;
  QTextCursor caret(RichEdit1->document()->findBlockByNumber(line));
  RichEdit1->setTextCursor(caret);
  RichEdit1->centerCursor();
}

void TForm1::ShowRunProgress(const RunProgress& progress) {
  LastProgress_ = progress;
  RunProgress_->setValue(static_cast<int>(progress.Fraction * ProgressSteps));
  RefreshProgressText();
}

// The most detailed text that fits the bar; the whole of it is the bar's tool tip.
void TForm1::RefreshProgressText() {
  const QStringList texts = ProgressTexts(LastProgress_, RunClock_.elapsed());
  const QString percent = QString::number(RunProgress_->value() * 100 / ProgressSteps);
  const int room = RunProgress_->contentsRect().width() - 8;
  QString chosen = texts.last();
  for (const QString& text : texts) {
    QString shown = text;
    if (RunProgress_->fontMetrics().horizontalAdvance(shown.replace("%p", percent)) <= room) {
      chosen = text;
      break;
    }
  }
  RunProgress_->setFormat(chosen);
  RunProgress_->setToolTip(QString(texts.first()).replace("%p", percent));
}

void TForm1::SetRunning(bool running) {
  for (QAction* action : Actions_) action->setEnabled(!running);
  // Reading about the program does not disturb a run.
  for (QAction* help : {HelpDataFormat, HelpWorkFolder, HelpAbout}) help->setEnabled(true);
  TreeDock_->toggleViewAction()->setEnabled(!running);
  RichEdit1->setReadOnly(running);
  GroupBox1->setEnabled(!running);
  RunProgress_->setVisible(running);
  StopBuilding->setEnabled(running);
  if (running) {
    Status_.clear();
    statusBar()->clearMessage();  // the panels show the run's progress
    ShowRunProgress(RunProgress{});
    RunClock_.start();
    ProgressClock_->start();
  } else {
    ProgressClock_->stop();
  }
  for (FindReplaceDialog* dialog : {FindDialog_, ReplaceDialog_}) {
    if (dialog != nullptr) dialog->setEnabled(!running);
  }
  if (!running) UpdateClipboardActions();
}

}  // namespace tarmel
