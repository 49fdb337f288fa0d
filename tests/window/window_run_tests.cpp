// A run seen from the window: Stop cancels it and leaves the editor and the report file as
// they were, closing during a run waits for it, the progress bar fits the status bar, and
// the end of a run says what came of it and leads back to a faulty data row.
#include <QAction>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>

#include "runStatus.h"
#include "runWorker.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowRun : public WindowTest {
  Q_OBJECT
 private slots:
  void StopCancelsTheRunAndKeepsWhatWasShown();
  void ClosingDuringARunClosesAfterItStopped();
  void ProgressBarFitsBesideThePanels();
  void DataMessageLeadsShowDataToItsRow();
  void RunEndIsToldOnceAndOutlastsHints();
  void DataMessageLinesCountRowsAfterHeaderAndKeyword();
};

namespace {

const QByteArray LongRun = "1.000 2.000 0.050 0.050   3  13  10 0   1";
const QByteArray ShortRun = "1.000 1.000 0.050 0.050   1  13   0 0   1";

// Starts Build Tree and waits for the run's first progress, so that Stop comes mid-run.
bool StartAndWaitForProgress(TForm1& form) {
  QSignalSpy progress(form.findChild<RunWorker*>(), &RunWorker::ProgressChanged);
  form.TreeBuildExecute();
  return form.IsRunning() && progress.wait(60000);
}

}  // namespace

// Yes to "Stop?" cancels the run, not the program: the editor keeps the data or the
// earlier report, output.txt keeps its bytes, and the window is ready for the next run.
void WindowRun::StopCancelsTheRunAndKeepsWhatWasShown() {
  WriteBytes("big.txt", GeneratedTable(456, 13));
  WriteBytes("param.par", LongRun);
  Dialogs.StopAnswer = true;
  TForm1& form = NewWindow();
  form.FileOpen1Accept("big.txt");
  QSignalSpy finished(&form, &TForm1::BuildFinished);
  QVERIFY(StartAndWaitForProgress(form));
  form.findChild<QAction*>("StopBuilding")->trigger();
  QVERIFY(finished.wait(60000));
  QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Run cancelled"));
  QCOMPARE(EditorText(form).toUtf8(), GeneratedTable(456, 13).replace("\r\n", "\n"));
  QVERIFY(!QFile::exists("output.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("big.txt"));

  WriteBytes("param.par", ShortRun);
  QVERIFY(BuildAndWait(form));
  const QByteArray earlier = ReadBytes("output.txt");
  const QString shown = EditorText(form);
  WriteBytes("param.par", LongRun);
  QVERIFY(StartAndWaitForProgress(form));
  form.EscapeKeyPress();
  QVERIFY(finished.wait(60000));
  QCOMPARE(Dialogs.StopQuestions, 2);
  QCOMPARE(ReadBytes("output.txt"), earlier);
  QCOMPARE(EditorText(form), shown);
  QCOMPARE(form.PanelText(0), QStringLiteral("output.txt"));
  QVERIFY(form.findChild<QAction*>("TreeBuild")->isEnabled());
  QVERIFY(!form.findChild<QAction*>("StopBuilding")->isEnabled());
  QVERIFY(!form.findChild<QPlainTextEdit*>("RichEdit1")->isReadOnly());
  QVERIFY(Dialogs.Errors.isEmpty());
}

void WindowRun::ClosingDuringARunClosesAfterItStopped() {
  WriteBytes("big.txt", GeneratedTable(456, 13));
  WriteBytes("param.par", LongRun);
  TForm1& form = NewWindow();
  form.show();
  form.FileOpen1Accept("big.txt");
  QSignalSpy finished(&form, &TForm1::BuildFinished);
  QVERIFY(StartAndWaitForProgress(form));
  QVERIFY(!form.close());  // No: the run goes on and the window stays
  QVERIFY(form.isVisible());
  QVERIFY(form.IsRunning());
  Dialogs.StopAnswer = true;
  QVERIFY(!form.close());  // Yes: closes once the run has stopped
  QVERIFY(finished.wait(60000));
  QVERIFY(!form.isVisible());
  QCOMPARE(Dialogs.StopQuestions, 2);
  QVERIFY(!QFile::exists("output.txt"));
}

// At the default size panels 0 and 1 show whole and the bar takes what panel 2 cannot
// show; in a wide window every panel shows whole with the bar right of them.
void WindowRun::ProgressBarFitsBesideThePanels() {
  WriteBytes("big.txt", GeneratedTable(456, 13));
  WriteBytes("param.par", LongRun);
  Dialogs.StopAnswer = true;
  TForm1& form = NewWindow();
  form.show();
  QCOMPARE(form.size(), QSize(484, 426));
  form.FileOpen1Accept("big.txt");
  QSignalSpy finished(&form, &TForm1::BuildFinished);
  auto* bar = form.findChild<QProgressBar*>("RunProgress");
  QVERIFY(bar->isHidden());
  QVERIFY(StartAndWaitForProgress(form));
  QVERIFY(bar->isVisible());
  const auto rightOf = [&](const char* name) {
    const QWidget* w = form.findChild<QWidget*>(QString::fromLatin1(name));
    return w->mapTo(form.statusBar(), QPoint(w->width(), 0)).x();
  };
  const int barLeft = bar->mapTo(form.statusBar(), QPoint(0, 0)).x();
  QVERIFY(rightOf("Panel1") <= barLeft);
  QVERIFY(bar->width() >= 50);
  QVERIFY(bar->format().contains("%p%"));
  QVERIFY(bar->toolTip().contains("variant 1 of 3"));
  form.statusBar()->showMessage("Stop Tree Growing");  // a hint hides the panels
  QCoreApplication::processEvents();
  QVERIFY(bar->width() <= 484 - 400);
  form.resize(900, 426);
  QTRY_VERIFY(rightOf("Panel2") <= bar->mapTo(form.statusBar(), QPoint(0, 0)).x());
  QTRY_VERIFY(bar->width() >= 250);
  form.StopBuildingExecute();
  QVERIFY(finished.wait(60000));
  QVERIFY(bar->isHidden());
}

void WindowRun::DataMessageLeadsShowDataToItsRow() {
  const struct {
    QByteArray data;
    const char* message;  // the status text starts with it
    int line;             // of the caret after Show Data, from 0
  } cases[] = {
      {"3 2 ?\r\n1 1\r\na b\r\n1 2\r\n# note #\r\n3 x\r\n5 6\r\n",
       "bad.txt: Error in input file row 2 column 2", 5},
      {"2 2 ?\r\n1 1\r\na b\r\n1 2\r\n3 4\r\nPredict\r\n2\r\n5 6\r\n7 y\r\n",
       "bad.txt: Prediction: Error in input file row 2 column 2", 8},
  };
  for (const auto& c : cases) {
    WriteBytes("bad.txt", c.data);
    WriteBytes("param.par", "1.000 1.000 0.050 0.050   1   2   0 0   1");
    TForm1& form = NewWindow();
    form.FileOpen1Accept("bad.txt");
    QVERIFY(BuildAndWait(form));
    QVERIFY2(form.statusBar()->currentMessage().startsWith(c.message),
             qPrintable(form.statusBar()->currentMessage()));
    form.findChild<QAction*>("ShowData")->trigger();
    auto* editor = form.findChild<QPlainTextEdit*>("RichEdit1");
    QCOMPARE(editor->textCursor().blockNumber(), c.line);
    QCOMPARE(form.PanelText(1), QStringLiteral("%1:1").arg(c.line + 1));
  }
}

void WindowRun::RunEndIsToldOnceAndOutlastsHints() {
  WriteBytes("cells.txt", "3 2 ?\r\n1 1\r\na b\r\n1 2\r\n9999 4\r\n5 9999\r\n");
  WriteBytes("param.par", "1.000 1.000 0.050 0.050   1   2   0 0   1");
  TForm1& form = NewWindow();
  form.FileOpen1Accept("cells.txt");
  QVERIFY(BuildAndWait(form));
  QCOMPARE(Dialogs.Warnings.size(), 1);
  QVERIFY(Dialogs.Warnings[0].contains("row 2 (line 5)"));
  QVERIFY(Dialogs.Warnings[0].contains("row 3 (line 6)"));
  QVERIFY(form.statusBar()->currentMessage().startsWith("Report"));
  QStatusTipEvent hover(QStringLiteral("Grow Tree"));
  QCoreApplication::sendEvent(&form, &hover);
  QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Grow Tree"));
  QStatusTipEvent leave{QString()};
  QCoreApplication::sendEvent(&form, &leave);  // the pointer left the button
  QVERIFY(form.statusBar()->currentMessage().startsWith("Report"));
  form.FileOpen1Accept("cells.txt");
  WriteBytes("cells.txt", "3 2 ?\r\n1 1\r\na b\r\n1 2\r\n3 4\r\n5 6\r\n");
  QVERIFY(BuildAndWait(form));
  QCOMPARE(Dialogs.Warnings.size(), 1);  // none this time
}

void WindowRun::DataMessageLinesCountRowsAfterHeaderAndKeyword() {
  const QString data = QStringLiteral(
      "# two rows, #\n# two features #\n2 2 ?\n1 0(2)\nx\ny\n\n1 a\n2 b\npredict 2\n3 a\n\n4 c\n");
  const struct {
    const char* message;
    int line;
  } cases[] = {
      {"d: Error in input file row   1 column   1 :wrong value q", 7},
      {"d: Error in input file row   2 column   2 :too much values", 8},
      {"d: Prediction: Error in input file row   1 column   1 :wrong value q", 10},
      {"d: Prediction: Error in input file row   2 column   1 :wrong value q", 12},
      {"d: Prediction: Error in input file row   3 column   1 :wrong value q", -1},
      {"d:  Error: too few objects", -1},
  };
  for (const auto& c : cases) {
    QCOMPARE(DataMessageLine(data, QString::fromLatin1(c.message)), c.line);
  }
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowRun)
#include "window_run_tests.moc"
