// What the window shows can be trusted: the target of the next run is in the status bar
// and a change of it asks first, the panel's unapplied values never go unnoticed, the
// results name the target, the folds and the repeated trees, and the dock follows the
// document.
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "hand_results.h"
#include "importDialog.h"
#include "resultsTable.h"
#include "treeDock.h"
#include "treeRepeats.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowTrust : public WindowTest {
  Q_OBJECT
 private slots:
  void NextTargetIsNamedBeforeTheRun();
  void AnotherTargetForTheSameFileAsksFirst();
  void TargetBeyondTheFeaturesNamesTheField();
  void UnappliedPanelValuesAreAppliedOrDropped();
  void RepeatedTreesAreMarked();
  void DockFollowsTheDocumentAndNamesTheRun();
  void ImportAsksWithADialogOfItsOwn();
  void WindowStaysOnTheScreenWhenTheDockAppears();
  void ImportOffersTheWayIntoTheLimits();
};

namespace {

// houses.txt: price area rooms age district, 40 objects.
const QByteArray Houses = ExampleBytes(QStringLiteral("houses.txt"));

void WriteParameters(int target, const char* minObj = "0.050") {
  WriteBytes(QStringLiteral("param.par"), QByteArray("1.000 1.000 0.050 ") + minObj +
                                              "   1 " + QByteArray::number(target) +
                                              "  10 0   1\r\n");
}

QByteArray ParameterText(int index) {
  return ReadBytes(QStringLiteral("param.par")).simplified().split(' ').value(index);
}

QString NextTarget(TForm1& form) { return Child<QLabel>(form, "NextTarget")->text(); }

TreeDock* Dock(TForm1& form) { return Child<TreeDock>(form, "TreeDock"); }

QStringList SelectorItems(TreeDock* dock) {
  QStringList items;
  for (int i = 0; i < dock->Selector()->count(); ++i) items << dock->Selector()->itemText(i);
  return items;
}

}  // namespace

void WindowTrust::NextTargetIsNamedBeforeTheRun() {
  WriteBytes("houses.txt", Houses);
  WriteParameters(2);
  TForm1& form = NewWindow();
  QCOMPARE(NextTarget(form), QStringLiteral("Predicts: feature 2"));  // no data yet
  form.FileOpen1Accept("houses.txt");
  QCOMPARE(NextTarget(form), QStringLiteral("Predicts: area (feature 2)"));
  // OK on the panel changes it at once; a target the data lacks is said as such.
  form.ParamDialogExecute();
  Child<QLineEdit>(form, "FeatureToPredict")->setText("1");
  form.OKClick();
  QCOMPARE(NextTarget(form), QStringLiteral("Predicts: price (feature 1)"));
  WriteParameters(9);
  form.FileOpen1Accept("houses.txt");
  QCOMPARE(NextTarget(form), QStringLiteral("Predicts: feature 9 (the data has 5)"));
  // Beside Build Tree, whole in the window's first size.
  form.show();
  const QLabel* label = Child<QLabel>(form, "NextTarget");
  QVERIFY(label->isVisible());
  QVERIFY(label->mapTo(&form, QPoint(label->sizeHint().width(), 0)).x() <= form.width());
}

// As after an import that wrote another target into param.par: the run asks, naming both.
void WindowTrust::AnotherTargetForTheSameFileAsksFirst() {
  const struct {
    int answer;
    bool runs;
    int predicted;  // by the run, and in param.par afterwards
  } cases[] = {{0, true, 1}, {1, true, 2}, {-1, false, 1}};
  for (const auto& c : cases) {
    WriteBytes("houses.txt", Houses);
    WriteParameters(2);
    TForm1& form = NewWindow();
    form.FileOpen1Accept("houses.txt");
    QVERIFY(BuildAndWait(form));
    QVERIFY(Dialogs.Questions.isEmpty());  // the first run on the file asks nothing
    WriteParameters(1);
    Dialogs.Answers = {c.answer};
    QCOMPARE(BuildAndWait(form), c.runs);
    QCOMPARE(Dialogs.Questions.size(), 1);
    QVERIFY(Dialogs.Questions.takeFirst().contains(
        "The last run on houses.txt predicted area (feature 2). This run would predict price "
        "(feature 1)"));
    QCOMPARE(ParameterText(5).toInt(), c.predicted);
    if (c.runs) QCOMPARE(Dock(form)->LastRun().TargetFeature, c.predicted);
  }
}

void WindowTrust::TargetBeyondTheFeaturesNamesTheField() {
  WriteParameters(31);
  TForm1& form = NewWindow();
  form.FileNewExecute();
  SetEditorText(form, QString::fromLatin1(Houses));
  Dialogs.SaveAnswers << "typed.txt";
  form.TreeBuildExecute();
  QVERIFY(!form.IsRunning());
  QCOMPARE(Dialogs.Errors.size(), 1);
  QCOMPARE(Dialogs.Errors[0], QStringLiteral("FeatureToPredict on the Parameters panel is 31, "
                                             "but typed.txt has features 1 to 5. Set "
                                             "FeatureToPredict to the feature to predict."));
  QVERIFY(!QFile::exists("output.txt"));
}

void WindowTrust::UnappliedPanelValuesAreAppliedOrDropped() {
  const struct {
    const char* typed;  // into MinObjInNode
    int answer;
    bool asks, runs;
    const char* saved;  // MinObj in param.par afterwards
  } cases[] = {
      {"0.050", 0, false, true, "0.050"},  // unchanged: nothing to ask
      {"0.1", 0, true, true, "0.100"},
      {"0.1", 1, true, true, "0.050"},
      {"0.1", -1, true, false, "0.050"},
      {"x", 0, false, false, "0.050"},  // refused as OK refuses it
  };
  for (const auto& c : cases) {
    WriteBytes("houses.txt", Houses);
    WriteParameters(1);
    TForm1& form = NewWindow();
    form.FileOpen1Accept("houses.txt");
    form.ParamDialogExecute();
    Child<QLineEdit>(form, "MinObj")->setText(QString::fromLatin1(c.typed));
    Dialogs.Answers = {c.answer};
    Dialogs.Questions.clear();
    Dialogs.Errors.clear();
    QCOMPARE(BuildAndWait(form), c.runs);
    QCOMPARE(Dialogs.Questions.size(), c.asks ? 1 : 0);
    QCOMPARE(Dialogs.Errors.size(), QString(c.typed) == "x" ? 1 : 0);
    QCOMPARE(ParameterText(3), QByteArray(c.saved));
    QCOMPARE(Child<QGroupBox>(form, "GroupBox1")->isHidden(), c.runs);  // open until used
  }
}

void WindowTrust::RepeatedTreesAreMarked() {
  RunResult run = testing::FlowerResult();
  for (int variant : {2, 3, 4}) {
    run.Trees.push_back(run.Trees[0]);
    run.Trees.back().Variant = variant;
  }
  run.Trees[1].Nodes[0].SplitFeature = 5;  // another root
  run.Trees[3].Nodes[3].MajorityClass = 2;  // another decision in one leaf
  QCOMPARE(RepeatedVariants(run), std::vector<int>({0, 0, 1, 0}));
  run.Trees[3].Nodes[3].MajorityClass = 3;
  run.Trees[3].Nodes[2].High = 2.5;  // another condition
  QCOMPARE(RepeatedVariants(run), std::vector<int>({0, 0, 1, 0}));
  run.Trees[3] = run.Trees[1];
  run.Trees[3].Variant = 4;
  QCOMPARE(RepeatedVariants(run), std::vector<int>({0, 0, 1, 2}));

  TForm1& form = NewWindow();
  TreeDock* dock = Dock(form);
  dock->ShowRun(run);
  QCOMPARE(SelectorItems(dock),
           QStringList({"Tree 1 of 4", "Tree 2 of 4", "Tree 3 of 4 (same as variant 1)",
                        "Tree 4 of 4 (same as variant 2)"}));
  QTableWidget* rows = dock->Table()->Results();
  QCOMPARE(rows->item(2, 0)->text(), QStringLiteral("3 (same as variant 1)"));
  QCOMPARE(rows->item(1, 0)->text(), QStringLiteral("2"));
  // The copied table keeps the cells the batch runner writes.
  QVERIFY(!dock->Table()->Tsv().contains("same as"));
}

// The results name the target and the folds; the dock keeps a run only while its data
// file is the document, and a run that ends on its data explains the message and shows
// no dock.
void WindowTrust::DockFollowsTheDocumentAndNamesTheRun() {
  WriteBytes("houses.txt", Houses);
  WriteBytes("bad.txt", "2 2 ?\r\n1 1\r\nx y\r\n1 2\r\n1e3 4\r\n");
  WriteParameters(1);
  TForm1& form = NewWindow();
  form.FileOpen1Accept("houses.txt");
  QVERIFY(BuildAndWait(form));
  TreeDock* dock = Dock(form);
  QCOMPARE(dock->Table()->Context(),
           QStringLiteral("Predicting price (feature 1); folds: draw 1 since the program started"));
  Child<QAction>(form, "SameFolds")->setChecked(true);
  form.ShowDataExecute();  // the same file again: its tree stays
  QCOMPARE(dock->Selector()->count(), 1);
  QVERIFY(BuildAndWait(form));
  QCOMPARE(dock->Table()->Context(), QStringLiteral("Predicting price (feature 1); folds: as at start-up"));
  form.FileOpen1Accept("bad.txt");
  QCOMPARE(dock->Selector()->count(), 0);
  QVERIFY(dock->Table()->Note().startsWith("No run of the open document yet"));
  QVERIFY(!dock->isHidden());
  QVERIFY(BuildAndWait(form));
  QVERIFY(dock->isHidden());
  QCOMPARE(Dialogs.Errors, QStringList({
      "bad.txt: Error in input file row   2 column   1 :wrong value 1e3\nLearning row 2, column "
      "1 (x) must hold a number in plain decimal form (1000, not 1e3 or 1,5), or the file's "
      "missing marker."}));
  QCOMPARE(ReadBytes("output.txt"), QByteArray("Error in input file row   2 column   1 :wrong value 1e3\r\n"));
  form.FileOpen1Accept("houses.txt");
  QVERIFY(BuildAndWait(form));
  Dialogs.SaveChoices << SaveChoice::Discard;
  form.FileNewExecute();
  QVERIFY(dock->LastRun().Trees.empty());
}

void WindowTrust::ImportAsksWithADialogOfItsOwn() {
  TForm1& form = NewWindow();
  Child<QAction>(form, "FileImportTable")->trigger();  // cancelled
  QCOMPARE(Dialogs.ImportQuestions, 1);
  QCOMPARE(Dialogs.OpenQuestions, 0);
}

// Wherever the window stands, its first growth for the dock keeps it inside the screen's
// free area, and the editor keeps a usable share; ctest runs this at scale 2 as well.
void WindowTrust::WindowStaysOnTheScreenWhenTheDockAppears() {
  const struct {
    double x, y;  // where the window stands, as shares of the free area
  } cases[] = {{0.3, 0.25}, {0.9, 0.1}, {0.1, 0.9}, {0.95, 0.95}};
  for (const auto& c : cases) {
    TForm1& form = NewWindow();
    const QRect area = form.screen()->availableGeometry();
    form.move(area.left() + static_cast<int>(area.width() * c.x),
              area.top() + static_cast<int>(area.height() * c.y));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Dock(form)->ShowRun(testing::FlowerResult());
    QCoreApplication::processEvents();
    const QRect frame = form.frameGeometry();
    QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                  .arg(frame.x()).arg(frame.y())
                                                  .arg(frame.width()).arg(frame.height())
                                                  .arg(area.width()).arg(area.height())));
    const auto* editor = Child<QWidget>(form, "RichEdit1");
    QVERIFY2(editor->width() >= frame.width() / 4, qPrintable(QString::number(editor->width())));
  }
}

// 1200 rows of 52 columns, the target's cell NA in every tenth row.
void WindowTrust::ImportOffersTheWayIntoTheLimits() {
  QByteArray table;
  for (int c = 1; c <= 52; ++c) table += "c" + QByteArray::number(c) + (c < 52 ? "," : "\n");
  for (int r = 1; r <= 1200; ++r) {
    for (int c = 1; c < 52; ++c) table += QByteArray::number(r * c % 89) + ",";
    table += r % 10 == 0 ? "NA\n" : QByteArray::number(r % 5) + "\n";
  }
  TImportDialog dialog("big.csv", table);
  auto* ok = Child<QDialogButtonBox>(dialog, "")->button(QDialogButtonBox::Ok);
  auto* outcome = Child<QLabel>(dialog, "Outcome");
  QVERIFY(!ok->isEnabled());
  QVERIFY2(outcome->text().endsWith("untick columns in the first row of the preview."),
           qPrintable(outcome->text()));
  // Unticking three columns leaves 49; then only the rows are over the limit.
  auto* grid = Child<QTableWidget>(dialog, "PreviewGrid");
  for (int c : {0, 1, 2}) {
    grid->item(0, c)->setCheckState(Qt::Unchecked);
    QCoreApplication::processEvents();
  }
  QVERIFY2(outcome->text().startsWith("The table has 1080 learning rows"), qPrintable(outcome->text()));
  QCOMPARE(grid->item(0, 1)->checkState(), Qt::Unchecked);  // kept across the import
  Child<QCheckBox>(dialog, "FirstRowsBox")->setChecked(true);
  QVERIFY(ok->isEnabled());
  QCOMPARE(dialog.Result().LearningRows, 1000);
  QCOMPARE(dialog.Result().PredictionRows, 120);  // the NA targets, by default
  const QString changes = Child<QPlainTextEdit>(dialog, "ChangesView")->toPlainText();
  for (const char* said : {"Column 1 \"c1\": left out, as chosen.",
                           "Only the first 1000 of 1080 learning rows are taken.",
                           "120 rows whose Column 52 \"c52\" is missing are the rows to predict."}) {
    QVERIFY2(changes.contains(QLatin1String(said)), qPrintable(changes));
  }
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowTrust)
#include "window_trust_tests.moc"
