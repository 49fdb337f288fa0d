// Import Table: the dialog's preview and choices, the data file it puts into the editor as a
// new document with the target in param.par, and the Open dialog's tables taking the same way.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "importDialog.h"
#include "param_file.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowImport : public WindowTest {
  Q_OBJECT
 private slots:
  void PreviewShowsTheFirstRowsWithTypesAndValueCounts();
  void ChoicesImportAgainAndARefusalDisablesOk();
  void ImportPutsANewDocumentIntoTheEditorAndSetsTheTarget();
  void TablesFromTheOpenDialogAreImported();
  void CancelledOrUnreadableImportChangesNothing();
  void TypedTextIsAskedAboutBeforeTheImportReplacesIt();
};

namespace {

// 25 rows: a numeric column with 25 values, a nominal one with 2, a class column with 2.
QByteArray Table() {
  QByteArray text = "size,colour,class\n";
  for (int r = 1; r <= 25; ++r) {
    text += QByteArray::number(r) + (r % 2 ? ",red," : ",blue,") + (r % 3 ? "yes\n" : "no\n");
  }
  return text;
}

// Answers the next Import Table dialog once it is shown: applies the choice, then accepts
// (or cancels) it.
void AnswerImportDialog(const std::function<void(TImportDialog&)>& choose, bool accept = true) {
  QTimer::singleShot(0, [choose, accept] {
    auto* dialog = qobject_cast<TImportDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    choose(*dialog);
    if (accept) {
      dialog->accept();
    } else {
      dialog->reject();
    }
  });
}

void ChooseTarget(TImportDialog& dialog, const QString& name) {
  auto* box = Child<QComboBox>(dialog, "TargetBox");
  box->setCurrentIndex(box->findText(name));
}

int FeatureToPredictInParamFile() {
  RunParameters params;
  params.FeatureToPredict = 0;
  ReadParameterFile("param.par", params);
  return params.FeatureToPredict;
}

}  // namespace

void WindowImport::PreviewShowsTheFirstRowsWithTypesAndValueCounts() {
  TImportDialog dialog("t.csv", Table());
  auto* grid = Child<QTableWidget>(dialog, "PreviewGrid");
  QCOMPARE(grid->rowCount(), 21);  // a row of ticks above the table's first 20
  QCOMPARE(grid->columnCount(), 3);
  QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("size\nnumeric, 25 values"));
  QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("colour\nnominal, 2 values"));
  QCOMPARE(grid->item(20, 1)->text(), QStringLiteral("blue"));
  auto* target = Child<QComboBox>(dialog, "TargetBox");
  QCOMPARE(target->count(), 3);
  QCOMPARE(target->currentText(), QStringLiteral("class"));  // the last column at first
  QCOMPARE(Child<QComboBox>(dialog, "DelimiterBox")->currentText(), QStringLiteral("Comma"));
  QVERIFY(Child<QCheckBox>(dialog, "HeaderBox")->isChecked());
  QVERIFY(dialog.Result().Ok);
  QCOMPARE(Child<QLabel>(dialog, "Outcome")->text(),
           QStringLiteral("25 learning rows and 0 rows to predict; the target is feature 3 of "
                          "the data file."));
}

void WindowImport::ChoicesImportAgainAndARefusalDisablesOk() {
  TImportDialog dialog("t.csv", Table());
  auto* ok = Child<QDialogButtonBox>(dialog, "")->button(QDialogButtonBox::Ok);
  ChooseTarget(dialog, "colour");
  QCOMPARE(dialog.Result().TargetFeature, 2);
  Child<QCheckBox>(dialog, "HeaderBox")->setChecked(false);
  QCOMPARE(Child<QComboBox>(dialog, "TargetBox")->itemText(0), QStringLiteral("V1"));
  QCOMPARE(Child<QComboBox>(dialog, "TargetBox")->currentText(), QStringLiteral("V3"));
  QVERIFY(!dialog.Result().Columns[0].Numeric);  // "size" is a cell now
  auto* delimiter = Child<QComboBox>(dialog, "DelimiterBox");
  delimiter->setCurrentIndex(delimiter->findText("Semicolon"));  // one column only
  QVERIFY(!dialog.Result().Ok);
  QVERIFY(!ok->isEnabled());
  QVERIFY(Child<QLabel>(dialog, "Outcome")->text().startsWith("A data file needs at least two"));
  delimiter->setCurrentIndex(delimiter->findText("Comma"));
  QVERIFY(!ok->isEnabled());  // V1, the target kept, holds 26 different words
  ChooseTarget(dialog, "V3");
  QVERIFY(ok->isEnabled());
  // Rows whose colour is blue are to be predicted; the colour column leaves the data file.
  Child<QComboBox>(dialog, "PredictColumnBox")->setCurrentIndex(2);
  auto* value = Child<QLineEdit>(dialog, "PredictValueEdit");
  value->setText("blue");
  emit value->editingFinished();
  QCOMPARE(dialog.Result().PredictionRows, 12);
  QCOMPARE(dialog.Result().Columns[1].Feature, 0);
  Child<QCheckBox>(dialog, "PredictBox")->setChecked(false);
  QCOMPARE(dialog.Result().PredictionRows, 0);
}

void WindowImport::ImportPutsANewDocumentIntoTheEditorAndSetsTheTarget() {
  WriteBytes("t.csv", Table());
  WriteBytes("param.par", "2.000 1.000 0.050 0.050   1   3  10 0   1");
  Dialogs.OpenAnswers << "t.csv";
  Dialogs.SaveAnswers << "imported.txt";  // should Build Tree ask for a name
  TForm1& form = NewWindow();
  AnswerImportDialog([](TImportDialog& d) { ChooseTarget(d, "colour"); });
  Child<QAction>(form, "FileImportTable")->trigger();
  QCOMPARE(form.CurrentFileName, QStringLiteral("untitled.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("untitled.txt"));
  const QStringList lines = EditorText(form).split('\n');
  QCOMPARE(lines.mid(0, 4),
           (QStringList{"25 3 ?", "1 0(2) 0(2)", "size colour class", "1 red yes"}));
  QCOMPARE(FeatureToPredictInParamFile(), 2);
  QCOMPARE(ReadBytes("param.par"), QByteArray("2.000 1.000 0.050 0.050   1   2  10 0   1"));
  QVERIFY2(BuildAndWait(form), qPrintable(Dialogs.Errors.join('\n')));
  QVERIFY(EditorText(form).contains("Number of classes=   2"));
  QVERIFY(Dialogs.Errors.isEmpty());
}

void WindowImport::TablesFromTheOpenDialogAreImported() {
  WriteBytes("t.tsv", "a\tb\n1\tx\n2\ty\n3\tx\n");
  Dialogs.OpenAnswers << "t.tsv";
  TForm1& form = NewWindow();
  AnswerImportDialog([](TImportDialog&) {});
  form.FileOpen1Execute();
  QCOMPARE(EditorText(form), QStringLiteral("3 2 ?\n1 0(2)\na b\n1 x\n2 y\n3 x\n"));
  QCOMPARE(form.CurrentFileName, QStringLiteral("untitled.txt"));
  QCOMPARE(FeatureToPredictInParamFile(), 2);
  QVERIFY(IsTableFile("T.CSV") && IsTableFile("dir/x.tsv") && !IsTableFile("x.txt"));
}

void WindowImport::CancelledOrUnreadableImportChangesNothing() {
  WriteBytes("t.csv", Table());
  WriteBytes("data.txt", "2 2 ?\r\n1 1\r\nx y\r\n1 2\r\n3 4\r\n");
  TForm1& form = NewWindow();
  form.FileOpen1Accept("data.txt");
  AnswerImportDialog([](TImportDialog&) {}, false);
  form.FileImportTableAccept("t.csv");
  QCOMPARE(form.CurrentFileName, QStringLiteral("data.txt"));
  QCOMPARE(EditorText(form), QStringLiteral("2 2 ?\n1 1\nx y\n1 2\n3 4\n"));
  QVERIFY(!QFile::exists("param.par"));
  form.FileImportTableAccept("missing.csv");
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(Dialogs.Errors[0].startsWith("Cannot read \"missing.csv\": "));
  QCOMPARE(form.CurrentFileName, QStringLiteral("data.txt"));
}

void WindowImport::TypedTextIsAskedAboutBeforeTheImportReplacesIt() {
  WriteBytes("t.csv", Table());
  Dialogs.SaveChoices << SaveChoice::Cancel << SaveChoice::Discard;
  TForm1& form = NewWindow();
  form.FileNewExecute();
  SetEditorText(form, "typed by hand");
  AnswerImportDialog([](TImportDialog&) {});
  form.FileImportTableAccept("t.csv");  // Cancel: the typed text stays
  QCOMPARE(Dialogs.SaveChangesNames.size(), 1);
  QCOMPARE(EditorText(form), QStringLiteral("typed by hand"));
  QVERIFY(!QFile::exists("param.par"));
  AnswerImportDialog([](TImportDialog&) {});
  form.FileImportTableAccept("t.csv");  // Discard: the table replaces it
  QVERIFY(EditorText(form).startsWith("25 3 ?\n"));
  QCOMPARE(FeatureToPredictInParamFile(), 3);
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowImport)
#include "window_import_tests.moc"
