// Run > Tune... seen from the window: the dialog tunes the open data file, shows every cell
// in its table and chart, applies the chosen cell to param.par and the panel, refuses a
// grid it cannot read, and stops when asked.
#include <QAction>
#include <QChart>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "tuneChart.h"
#include "tuneDialog.h"
#include "windowTestSupport.h"

namespace tarmel {

class TuneDialogTest : public WindowTest {
  Q_OBJECT
 private slots:
  void TunesTheOpenFileAndAppliesTheSelectedCell();
  void UnreadableGridIsRefusedAndStopEndsTheTune();
};

namespace {

void SetGrid(TuneDialog& dialog, const char* complexities, const char* minObjs, int repeats) {
  Child<QLineEdit>(dialog, "TuneComplexities")->setText(complexities);
  Child<QLineEdit>(dialog, "TuneMinObjs")->setText(minObjs);
  Child<QSpinBox>(dialog, "TuneRepeats")->setValue(repeats);
}

QString TableText(QTableWidget& table, int row, int column) {
  return table.item(row, column)->text();
}

}  // namespace

void TuneDialogTest::TunesTheOpenFileAndAppliesTheSelectedCell() {
  WriteBytes("flowers.txt", ExampleBytes("flowers.txt"));
  TForm1& form = NewWindow();
  form.FileOpen1Accept("flowers.txt");
  form.findChild<QAction*>("Tune1")->trigger();
  auto* dialog = form.findChild<TuneDialog*>();
  QVERIFY(dialog != nullptr && dialog->isVisible());
  SetGrid(*dialog, "2, 1", "0.1 0.05", 2);
  QSignalSpy finished(dialog, &TuneDialog::TuneFinished);
  QTest::mouseClick(Child<QPushButton>(*dialog, "TuneStart"), Qt::LeftButton);
  QVERIFY(dialog->IsTuning());
  QVERIFY(finished.wait(60000));
  QCOMPARE(Child<QProgressBar>(*dialog, "TuneProgress")->value(), 1000);

  auto& table = *Child<QTableWidget>(*dialog, "TuneTable");
  QCOMPARE(table.rowCount(), 4);
  const QStringList cells = {"1.000 0.050", "1.000 0.100", "2.000 0.050", "2.000 0.100"};
  for (int row = 0; row < 4; ++row) {
    QCOMPARE(TableText(table, row, 0) + " " + TableText(table, row, 1), cells[row]);
  }
  const int proposed = dialog->Result().Proposed;
  QCOMPARE(table.currentRow(), proposed);
  QVERIFY(TableText(table, proposed, 6).contains("proposed"));
  // Two lines of MinObj, each in its band, and the mark of the proposed cell.
  QCOMPARE(dialog->findChild<TuneChart*>()->chart()->series().size(), 5);

  // Another row chosen goes into param.par and the Parameters panel.
  table.selectRow(3);
  QTest::mouseClick(Child<QPushButton>(*dialog, "TuneApply"), Qt::LeftButton);
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 2.000 0.050 0.100   1   1  10 0   1"));
  QCOMPARE(Child<QLineEdit>(form, "Recursive_Embedding")->text(), QStringLiteral("2.00"));
  QCOMPARE(Child<QLineEdit>(form, "MinObj")->text(), QStringLiteral("0.100"));
}

void TuneDialogTest::UnreadableGridIsRefusedAndStopEndsTheTune() {
  WriteBytes("big.txt", GeneratedTable(456, 13));
  TuneDialog dialog(RunParameters{1.0, 1.0, 0.05, 0.05, 1, 13, 10, 0, 1}, "big.txt");
  dialog.show();
  auto* status = Child<QLabel>(dialog, "TuneStatus");
  SetGrid(dialog, "1, x", "0.05", 1);
  dialog.StartOrStop();
  QVERIFY(!dialog.IsTuning());
  QVERIFY(status->text().startsWith("RecursiveComplexity:"));
  SetGrid(dialog, "1", "0.05, 2", 1);
  dialog.StartOrStop();
  QVERIFY(!dialog.IsTuning());
  QVERIFY(status->text().startsWith("MinObj:"));

  SetGrid(dialog, "3", "0.01", 3);
  QSignalSpy finished(&dialog, &TuneDialog::TuneFinished);
  dialog.StartOrStop();
  QVERIFY(dialog.IsTuning());
  QTest::qWait(300);
  dialog.StartOrStop();
  QVERIFY(finished.wait(5000));
  QCOMPARE(status->text(), QStringLiteral("The tune was cancelled"));
  QCOMPARE(Child<QTableWidget>(dialog, "TuneTable")->rowCount(), 0);
  QVERIFY(!Child<QPushButton>(dialog, "TuneApply")->isEnabled());
  QVERIFY(Child<QPushButton>(dialog, "TuneStart")->isEnabled());
}

}  // namespace tarmel

QTEST_MAIN(tarmel::TuneDialogTest)
#include "tune_dialog_tests.moc"
