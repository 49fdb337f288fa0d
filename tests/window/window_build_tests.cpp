// Build Tree: which text the run reads, what the window shows afterwards, the parameters
// it uses, and that a run on the worker thread writes the same report as a direct run.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <algorithm>

#include "runWorker.h"
#include "run_request.h"
#include "treeTarmel.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowBuild : public WindowTest {
  Q_OBJECT
 private slots:
  void BuildSavesTheEditedDocumentFirst();
  void ReportIsNeverSavedOverTheDataFile();
  void SaveAsOfUnopenedDocumentIsNotSavedAgainBeforeRun();
  void WorkerRunWritesTheSameReportAsADirectRun();
  void SameFoldsEveryRunRepeatsTheNumbers();
  void BuildWhilePanelIsOpenUsesTheFilesValuesWhenAsked();
  void RunDisablesEverythingButStopAndHelp();
  void BuildWithoutDocumentShowsTheMissingFileReport();
  void StartupTextIsNoData();
  void ChangedReportIsOfferedBeforeTheNextRun();
  void ShowDataBringsTheDocumentBack();
  void UncreatableReportIsNamedAndEditorKept();
  void UnreadableParameterFileStopsTheBuild();
  void DataFileNamedLikeTheReportIsNotOverwritten();
};

namespace {

// A copy of an example in the working folder, opened in the window.
void OpenExample(TForm1& form, const QString& example, const QString& copy) {
  WriteBytes(copy, ExampleBytes(example));
  form.FileOpen1Accept(copy);
}

}  // namespace

void WindowBuild::BuildSavesTheEditedDocumentFirst() {
  TForm1& form = NewWindow();
  OpenExample(form, "flowers.txt", "data.txt");
  QString text = EditorText(form);
  QVERIFY(text.contains("6.7 3.3 5.8"));
  SetEditorText(form, text.replace("6.7 3.3 5.8", "6.9 3.3 5.8"));
  QVERIFY(BuildAndWait(form));
  QVERIFY(ReadBytes("data.txt").contains("iris 6.9 3.3 5.8 1.6 sun\r\n"));
  QCOMPARE(EditorText(form).toUtf8(), ReadBytes("output.txt").replace("\r\n", "\n"));
  QCOMPARE(form.PanelText(0), QStringLiteral("output.txt"));
  QCOMPARE(form.ReportFileName, QStringLiteral("output.txt"));
  QCOMPARE(form.LastLoadedFile, QStringLiteral("output.txt"));
  QCOMPARE(form.CurrentFileName, QStringLiteral("data.txt"));
  QVERIFY(Dialogs.Errors.isEmpty());
}

void WindowBuild::ReportIsNeverSavedOverTheDataFile() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "data.txt");
  QVERIFY(BuildAndWait(form));
  SetEditorText(form, "changed report");
  Dialogs.SaveChoices << SaveChoice::Discard;
  QVERIFY(BuildAndWait(form));  // the editor held the report: nothing saved
  QCOMPARE(Dialogs.SaveChangesNames, QStringList({"output.txt"}));
  QCOMPARE(ReadBytes("data.txt"), ExampleBytes("houses.txt"));
  SetEditorText(form, "changed report");
  form.FileSaveExecute();  // asks for a name, and is cancelled
  QCOMPARE(Dialogs.SaveFolders.size(), 1);
  QCOMPARE(ReadBytes("data.txt"), ExampleBytes("houses.txt"));
  Dialogs.SaveAnswers << "report-copy.txt";
  form.FileSaveExecute();
  QCOMPARE(ReadBytes("report-copy.txt"), QByteArray("changed report"));
  SetEditorText(form, "changed again");
  form.FileSaveExecute();  // the report's copy has its name now
  QCOMPARE(Dialogs.SaveFolders.size(), 2);
  QCOMPARE(ReadBytes("report-copy.txt"), QByteArray("changed again"));
  QCOMPARE(form.PanelText(0), QStringLiteral("report-copy.txt"));
  QCOMPARE(form.CurrentFileName, QStringLiteral("data.txt"));  // still the document
  Dialogs.SaveAnswers << "data.txt";
  QVERIFY(!form.FileSaveAs1Execute());  // never over the data
  QCOMPARE(Dialogs.Errors.size(), 1);
  QCOMPARE(ReadBytes("data.txt"), ExampleBytes("houses.txt"));
  QVERIFY(BuildAndWait(form));  // the data file again, not the saved report
  QVERIFY(EditorText(form).contains("data.txt"));
}

// An unchanged document is not written again (a read-only one can be analysed); a
// changed one is, whether it was opened or saved under a new name.
void WindowBuild::SaveAsOfUnopenedDocumentIsNotSavedAgainBeforeRun() {
  Dialogs.SaveAnswers << "typed.txt";
  TForm1& form = NewWindow();
  form.FileNewExecute();
  SetEditorText(form, QString::fromUtf8(ExampleBytes("flowers.txt")));
  form.FileSaveAs1Execute();
  const QByteArray saved = ReadBytes("typed.txt");
  QFile::setPermissions("typed.txt", QFileDevice::ReadOwner);
  QVERIFY(BuildAndWait(form));
  QVERIFY(Dialogs.Errors.isEmpty());
  QCOMPARE(ReadBytes("typed.txt"), saved);
  QVERIFY(EditorText(form).contains("typed.txt"));

  QFile::setPermissions("typed.txt", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  form.ShowDataExecute();
  SetEditorText(form, "not data");
  QVERIFY(BuildAndWait(form));
  QCOMPARE(ReadBytes("typed.txt"), QByteArray("not data"));
  QVERIFY(!EditorText(form).contains("not data"));
}

// A run on the worker thread writes the same report as a direct run: with the defaults
// while there is no param.par (and none is created), and with the file's values.
// Off at start, the program-wide generator goes on from run to run; on, every run draws the
// folds of the first run after start-up, and the status bar says which folds a run drew.
void WindowBuild::SameFoldsEveryRunRepeatsTheNumbers() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  auto* same = Child<QAction>(form, "SameFolds");
  QVERIFY(same->isCheckable() && !same->isChecked());
  QVERIFY(BuildAndWait(form));
  QVERIFY(form.statusBar()->currentMessage().contains("since the program started"));
  same->setChecked(true);
  const TRandom before = SharedRandom();
  QByteArray reports[2];
  for (QByteArray& report : reports) {
    form.ShowDataExecute();
    QVERIFY(BuildAndWait(form));
    report = ReadBytes("output.txt");
    QVERIFY(form.statusBar()->currentMessage().endsWith("; folds: as at start-up"));
  }
  QCOMPARE(reports[0], reports[1]);
  QCOMPARE(SharedRandom().Seed, before.Seed);  // the program-wide draws are left alone
  RunRequest direct;
  direct.DataFileName = "houses.txt";
  direct.ReportFileName = "direct.txt";
  TRandom startup;
  direct.Random = &startup;
  Run(direct);
  QCOMPARE(ReadBytes("direct.txt"), reports[0]);
}

void WindowBuild::WorkerRunWritesTheSameReportAsADirectRun() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  // The direct run continues the program-wide generator from where the window's run
  // starts, so both draw the same folds.
  TRandom random{SharedRandom().Seed};
  QVERIFY(BuildAndWait(form));
  QVERIFY(!QFile::exists("param.par"));
  QCOMPARE(form.RunParameters.FoldsCrossValidate, 10);
  RunRequest direct;
  direct.DataFileName = "houses.txt";
  direct.ReportFileName = "direct.txt";
  direct.Random = &random;
  QCOMPARE(Run(direct).Outcome, RunOutcome::Complete);
  QCOMPARE(ReadBytes("output.txt"), ReadBytes("direct.txt"));

  WriteBytes("param.par", "1.000 1.300 0.050 0.050   2   1   4 0   1");
  OpenExample(form, "flowers.txt", "flowers.txt");
  random = TRandom{SharedRandom().Seed};
  QSignalSpy progress(form.findChild<RunWorker*>(), &RunWorker::PanelTextChanged);
  QVERIFY(BuildAndWait(form));
  direct.Params = {1.0, 1.3, 0.05, 0.05, 2, 1, 4, 0, 1};
  direct.DataFileName = "flowers.txt";
  const RunResult result = Run(direct);
  QCOMPARE(result.Outcome, RunOutcome::Complete);
  const QByteArray report = ReadBytes("output.txt");
  QVERIFY(report.size() > 1000);
  QCOMPARE(report, ReadBytes("direct.txt"));
  QCOMPARE(form.RunParameters.FeatureToPredict, result.Params.FeatureToPredict);
  QCOMPARE(form.RunParameters.FeatureToPredict, 6);  // the class run handed it back
  // The progress texts arrived, and the run emptied both panels last; the report's
  // caret then shows in panel 1.
  QVERIFY(progress.size() > 2);
  QCOMPARE(progress.first().at(0).toInt(), 1);
  QVERIFY(progress.first().at(1).toString().startsWith(" Node "));
  QVERIFY(std::any_of(progress.begin(), progress.end(), [](const QList<QVariant>& p) {
    return p.at(0).toInt() == 2 && p.at(1).toString().startsWith(" Variant ");
  }));
  QCOMPARE(progress.at(progress.size() - 2), QList<QVariant>({1, QString()}));
  QCOMPARE(progress.last(), QList<QVariant>({2, QString()}));
  QCOMPARE(form.PanelText(1), QStringLiteral("1:1"));
  QVERIFY(form.PanelText(2).isEmpty());
}

// The panel's unapplied values are dropped on request: the run then uses the file's.
void WindowBuild::BuildWhilePanelIsOpenUsesTheFilesValuesWhenAsked() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  form.ParamDialogExecute();
  auto* homogeneity = form.findChild<QLineEdit*>("Homogeneity");
  homogeneity->setText("0.5");
  WriteBytes("param.par", "1.000 1.000 0.070 0.050   2   1   3 0   1");
  Dialogs.Answers = {1};  // drop the panel's changes
  QVERIFY(BuildAndWait(form));
  QCOMPARE(Dialogs.Questions.size(), 1);
  QCOMPARE(form.RunParameters.Homogeneity, 0.07);
  QCOMPARE(form.RunParameters.VariantsNumber, 2);
  QVERIFY(form.findChild<QGroupBox*>("GroupBox1")->isHidden());
}

void WindowBuild::RunDisablesEverythingButStopAndHelp() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  QSignalSpy finished(&form, &TForm1::BuildFinished);
  form.TreeBuildExecute();
  QVERIFY(form.IsRunning());
  for (QAction* action : form.findChildren<QAction*>()) {
    if (action->objectName().isEmpty()) continue;  // the menus' own entries
    QCOMPARE(action->isEnabled(), action->objectName() == "StopBuilding" ||
                                      action->objectName().startsWith("Help"));
  }
  auto* editor = form.findChild<QPlainTextEdit*>("RichEdit1");
  QVERIFY(editor->isReadOnly());
  Child<QAction>(form, "StopBuilding")->trigger();  // answered No: the run goes on
  QCOMPARE(Dialogs.StopQuestions, 1);
  form.TreeBuildExecute();  // ignored while a run is going
  QVERIFY(!form.close());   // closing asks the same question, answered No
  QCOMPARE(Dialogs.StopQuestions, 2);
  form.EscapeKeyPress();  // and so does Escape
  QCOMPARE(Dialogs.StopQuestions, 3);
  QVERIFY(finished.wait(120000));
  QCOMPARE(finished.count(), 1);
  QVERIFY(!editor->isReadOnly());
  QVERIFY(Child<QAction>(form, "TreeBuild")->isEnabled());
  QVERIFY(Child<QAction>(form, "FileSave")->isEnabled());
  QVERIFY(!Child<QAction>(form, "StopBuilding")->isEnabled());
  QVERIFY(form.statusBar()->currentMessage().startsWith("Report"));
}

// Typed text is never replaced by a report of a missing file: it gets a name first, and
// without any text or document there is nothing to run.
void WindowBuild::BuildWithoutDocumentShowsTheMissingFileReport() {
  TForm1& form = NewWindow();
  form.TreeBuildExecute();
  QVERIFY(!form.IsRunning());
  QVERIFY(form.statusBar()->currentMessage().contains("data file must be opened first"));
  form.FileNewExecute();
  form.TreeBuildExecute();  // New and nothing typed: still nothing to run
  QVERIFY(!form.IsRunning());
  QVERIFY(Dialogs.SaveFolders.isEmpty());

  const QString typed = QString::fromUtf8(ExampleBytes("houses.txt"));
  SetEditorText(form, typed);
  form.TreeBuildExecute();  // asks for a name, and is cancelled: no run
  QVERIFY(!form.IsRunning());
  QCOMPARE(Dialogs.SaveFolders.size(), 1);
  QVERIFY(EditorText(form).startsWith("# Flat prices"));
  QVERIFY(!QFile::exists("output.txt"));
  Dialogs.SaveAnswers << "typed.txt";
  QVERIFY(BuildAndWait(form));
  QCOMPARE(form.CurrentFileName, QStringLiteral("typed.txt"));
  QCOMPARE(ReadBytes("typed.txt"), ExampleBytes("houses.txt"));
  QVERIFY(EditorText(form).contains("typed.txt"));
  QVERIFY(Dialogs.Errors.isEmpty());
}

void WindowBuild::StartupTextIsNoData() {
  WriteBytes("autoread.txt", "Welcome\r\n");
  TForm1& form = NewWindow();
  form.TreeBuildExecute();
  QVERIFY(!form.IsRunning());
  QVERIFY(form.statusBar()->currentMessage().contains("data file must be opened first"));
  QVERIFY(Dialogs.SaveFolders.isEmpty());
  SetEditorText(form, "typed over the welcome");
  form.TreeBuildExecute();  // typed text counts as a document without a name
  QCOMPARE(Dialogs.SaveFolders.size(), 1);
  QCOMPARE(ReadBytes("autoread.txt"), QByteArray("Welcome\r\n"));
}

// The report is replaced only after the question, and Cancel keeps it and starts nothing.
void WindowBuild::ChangedReportIsOfferedBeforeTheNextRun() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  QVERIFY(BuildAndWait(form));
  SetEditorText(form, "my notes on the report");
  form.TreeBuildExecute();
  QVERIFY(!form.IsRunning());
  QCOMPARE(EditorText(form), QStringLiteral("my notes on the report"));
  Dialogs.SaveChoices << SaveChoice::Save;
  Dialogs.SaveAnswers << "notes.txt";
  QVERIFY(BuildAndWait(form));
  QCOMPARE(ReadBytes("notes.txt"), QByteArray("my notes on the report"));
  QCOMPARE(ReadBytes("houses.txt"), ExampleBytes("houses.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("output.txt"));
}

void WindowBuild::ShowDataBringsTheDocumentBack() {
  TForm1& form = NewWindow();
  QAction* show = Child<QAction>(form, "ShowData");
  QCOMPARE(show->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
  show->trigger();  // no document yet: only a message
  QVERIFY(form.statusBar()->currentMessage().contains("data file must be opened first"));
  OpenExample(form, "houses.txt", "houses.txt");
  QVERIFY(BuildAndWait(form));
  SetEditorText(form, "edited report");
  show->trigger();  // the question is cancelled: the report stays
  QCOMPARE(EditorText(form), QStringLiteral("edited report"));
  Dialogs.SaveChoices << SaveChoice::Discard;
  show->trigger();
  QCOMPARE(EditorText(form).toUtf8(), ExampleBytes("houses.txt").replace("\r\n", "\n"));
  QCOMPARE(form.PanelText(0), QStringLiteral("houses.txt"));
  QCOMPARE(form.LastLoadedFile, QStringLiteral("houses.txt"));
  QVERIFY(!form.isWindowModified());
}

void WindowBuild::UncreatableReportIsNamedAndEditorKept() {
  QDir().mkdir("output.txt");
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  QVERIFY(BuildAndWait(form));
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(Dialogs.Errors[0].contains("\"output.txt\": Is a directory"));
  QCOMPARE(EditorText(form).toUtf8(), ExampleBytes("houses.txt").replace("\r\n", "\n"));
  QCOMPARE(form.PanelText(0), QStringLiteral("houses.txt"));
  QCOMPARE(form.LastLoadedFile, QStringLiteral("houses.txt"));
}

void WindowBuild::UnreadableParameterFileStopsTheBuild() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "houses.txt");
  WriteBytes("param.par", "1.000 abc");
  form.TreeBuildExecute();
  QDir().remove("param.par");
  QDir().mkdir("param.par");  // there, but no file to read
  form.TreeBuildExecute();
  QVERIFY(!form.IsRunning());
  QCOMPARE(Dialogs.Errors.size(), 2);
  QVERIFY(Dialogs.Errors[0].contains("param.par"));
  QVERIFY(Dialogs.Errors[1].startsWith("Cannot read \"param.par\""));
  QVERIFY(!QFile::exists("output.txt"));
}

void WindowBuild::DataFileNamedLikeTheReportIsNotOverwritten() {
  TForm1& form = NewWindow();
  OpenExample(form, "houses.txt", "output.txt");
  form.FileOpen1Accept(QDir::currentPath() + "/output.txt");
  form.TreeBuildExecute();
  QVERIFY(!form.IsRunning());
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(Dialogs.Errors[0].contains("/output.txt\": the report output.txt would overwrite it"));
  QCOMPARE(ReadBytes("output.txt"), ExampleBytes("houses.txt"));
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowBuild)
#include "window_build_tests.moc"
