// The Parameters panel and param.par: the default file, the widths the values are written
// in, values kept or taken by OK, the hidden ordering controls, and the edits' numbers.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>

#include "editNumbers.h"
#include "windowTestSupport.h"

namespace tarmel {

class ParametersPanel : public QObject {
  Q_OBJECT
 private slots:
  void init() { Folder_ = std::make_unique<WorkingFolder>(); }
  void cleanup() { Folder_.reset(); }

  void FirstOpeningCreatesDefaultFile();
  void OkWritesThreeDecimalsAndKeepsErrorWeight();
  void FiveDigitIntegerIsWrittenWideAndReadBack();
  void LagIsTakenOnlyWhenOrderingIsSet();
  void OrderingFollowsTheChoiceButNotTheFilling();
  void EditTextsThatAreNoNumbersGiveZero();

 private:
  std::unique_ptr<WorkingFolder> Folder_;
};

namespace {

QLineEdit* Edit(TForm1& form, const char* name) {
  return form.findChild<QLineEdit*>(QString::fromLatin1(name));
}

}  // namespace

void ParametersPanel::FirstOpeningCreatesDefaultFile() {
  FakeDialogs dialogs;
  TForm1 form(dialogs.Make());
  auto* panel = form.findChild<QGroupBox*>("GroupBox1");
  QVERIFY(panel->isHidden());
  form.ParamDialogExecute();
  QVERIFY(!panel->isHidden());
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050   1   1  10 0   1"));
  const char* names[] = {"Recursive_Embedding", "Homogeneity", "MinObj", "VariantsNumber",
                         "FeatureToPredict", "FoldsCrossValidate", "LagEdit"};
  const char* shown[] = {"1.00", "0.050", "0.050", "1", "1", "10", "1"};
  for (size_t i = 0; i < std::size(names); ++i) QCOMPARE(Edit(form, names[i])->text(), shown[i]);
  QVERIFY(!Edit(form, "LagEdit")->isEnabled());
  Edit(form, "FeatureToPredict")->setText("5");
  form.ParamDialogExecute();  // opening again drops what OK has not confirmed
  QCOMPARE(Edit(form, "FeatureToPredict")->text(), QStringLiteral("1"));
}

void ParametersPanel::OkWritesThreeDecimalsAndKeepsErrorWeight() {
  WriteBytes("param.par", "2.5 1 0.05 0.05 1 1 10 0 1");
  FakeDialogs dialogs;
  TForm1 form(dialogs.Make());
  form.ParamDialogExecute();
  Edit(form, "Recursive_Embedding")->setText("2.25");
  Edit(form, "Homogeneity")->setText("0.0126");
  Edit(form, "MinObj")->setText("  +1e-1");
  form.OKClick();
  QVERIFY(form.findChild<QGroupBox*>("GroupBox1")->isHidden());
  QCOMPARE(ReadBytes("param.par"), QByteArray("2.500 2.250 0.013 0.100   1   1  10 0   1"));
  form.ParamDialogExecute();
  QCOMPARE(form.RunParameters.RecursiveComplexity, 2.25);
  QCOMPARE(form.RunParameters.Homogeneity, 0.013);  // the file keeps three decimals
  QCOMPARE(Edit(form, "Recursive_Embedding")->text(), QStringLiteral("2.25"));
}

void ParametersPanel::FiveDigitIntegerIsWrittenWideAndReadBack() {
  FakeDialogs dialogs;
  TForm1 form(dialogs.Make());
  form.ParamDialogExecute();
  Edit(form, "VariantsNumber")->setText("12345");
  Edit(form, "FoldsCrossValidate")->setText("-3");
  form.OKClick();
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050 12345   1  -3 0   1"));
  form.ParamDialogExecute();
  QCOMPARE(form.RunParameters.VariantsNumber, 12345);
  QCOMPARE(form.RunParameters.FoldsCrossValidate, -3);
  QCOMPARE(Edit(form, "VariantsNumber")->text(), QStringLiteral("12345"));
}

void ParametersPanel::LagIsTakenOnlyWhenOrderingIsSet() {
  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 0 4");
  FakeDialogs dialogs;
  TForm1 form(dialogs.Make());
  form.ParamDialogExecute();
  QCOMPARE(Edit(form, "LagEdit")->text(), QStringLiteral("4"));
  Edit(form, "LagEdit")->setText("7");
  form.OKClick();
  QCOMPARE(form.RunParameters.Lag, 4);
  QVERIFY(ReadBytes("param.par").endsWith(" 0   4"));

  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 1 4");
  form.ParamDialogExecute();
  QVERIFY(Edit(form, "LagEdit")->isEnabled());
  QCOMPARE(form.findChild<QComboBox*>("TimeBox")->currentIndex(), 1);
  Edit(form, "LagEdit")->setText("7");
  form.OKClick();
  QVERIFY(ReadBytes("param.par").endsWith(" 1   7"));
}

void ParametersPanel::OrderingFollowsTheChoiceButNotTheFilling() {
  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 2 1");
  FakeDialogs dialogs;
  TForm1 form(dialogs.Make());
  form.ParamDialogExecute();
  QCOMPARE(form.RunParameters.Ordering, 2);
  QVERIFY(Edit(form, "LagEdit")->isEnabled());
  form.OKClick();
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050   1   1  10 2   1"));
  auto* box = form.findChild<QComboBox*>("TimeBox");
  box->setEditText("weekly");  // typed text names no item
  QCOMPARE(form.RunParameters.Ordering, -1);
  box->setCurrentIndex(0);
  QCOMPARE(form.RunParameters.Ordering, 0);
  QVERIFY(!Edit(form, "LagEdit")->isEnabled());
}

void ParametersPanel::EditTextsThatAreNoNumbersGiveZero() {
  const struct {
    const char* text;
    double real;
    int32_t integer;
  } cases[] = {
      {"", 0, 0},           {"   ", 0, 0},        {"abc", 0, 0},      {"  12", 12, 12},
      {"+7", 7, 7},         {"-2", -2, -2},       {"+-2", 0, 0},      {"1.5", 1.5, 0},
      {".5", 0.5, 0},       {"5.", 5, 0},         {"2E2", 200, 0},    {"2e-1", 0.2, 0},
      {"1e", 0, 0},         {"1,5", 0, 0},        {"3 ", 0, 0},       {"inf", 0, 0},
      {"nan", 0, 0},        {"0x10", 0, 0},       {"1e999", 0, 0},    {"2147483647", 2147483647, 2147483647},
      {"2147483648", 2147483648.0, 0},            {"\u00BD", 0, 0},
  };
  for (const auto& c : cases) {
    const QString text = QString::fromUtf8(c.text);
    QCOMPARE(EditTextToReal(text), c.real);
    QCOMPARE(EditTextToInt(text), c.integer);
  }
  FakeDialogs dialogs;
  TForm1 form(dialogs.Make());
  form.ParamDialogExecute();
  Edit(form, "Homogeneity")->setText("lots");
  Edit(form, "VariantsNumber")->clear();
  form.OKClick();
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.000 0.050   0   1  10 0   1"));
}

}  // namespace tarmel

QTEST_MAIN(tarmel::ParametersPanel)
#include "parameters_panel_tests.moc"
