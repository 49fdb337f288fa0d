// The Parameters panel and param.par: the default file, the widths the values are written
// in, values kept or taken by OK, the ordering controls, and the edits' numbers.
#include <QComboBox>
#include <QGroupBox>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "editNumbers.h"
#include "windowTestSupport.h"

namespace tarmel {

class ParametersPanel : public WindowTest {
  Q_OBJECT
 private slots:
  void FirstOpeningShowsDefaultsAndOkCreatesTheFile();
  void OkWritesThreeDecimalsAndKeepsErrorWeight();
  void FiveDigitIntegerIsWrittenWideAndReadBack();
  void LagIsTakenOnlyWhenOrderingIsSet();
  void OrderingFollowsTheChoiceButNotTheFilling();
  void EditTextsThatAreNoNumbersGiveNoValue();
  void OkRefusesWhatARunCannotUse();
  void LagIsRefusedOnlyForATimeSeries();
  void FocusEnterAndEscape();
  void FeatureNameFollowsTheNumber();
};

void ParametersPanel::FirstOpeningShowsDefaultsAndOkCreatesTheFile() {
  TForm1& form = NewWindow();
  auto* panel = form.findChild<QGroupBox*>("GroupBox1");
  QVERIFY(panel->isHidden());
  form.ParamDialogExecute();
  QVERIFY(!panel->isHidden());
  QVERIFY(!QFile::exists("param.par"));  // only OK writes it
  const char* names[] = {"Recursive_Embedding", "Homogeneity", "MinObj", "VariantsNumber",
                         "FeatureToPredict", "FoldsCrossValidate", "LagEdit"};
  const char* shown[] = {"1.00", "0.050", "0.050", "1", "1", "10", "1"};
  for (size_t i = 0; i < std::size(names); ++i) {
    QCOMPARE(Child<QLineEdit>(form, names[i])->text(), shown[i]);
  }
  QVERIFY(!Child<QLineEdit>(form, "LagEdit")->isEnabled());
  Child<QLineEdit>(form, "FeatureToPredict")->setText("5");
  form.ParamDialogExecute();  // opening again drops what OK has not confirmed
  QCOMPARE(Child<QLineEdit>(form, "FeatureToPredict")->text(), QStringLiteral("1"));
  form.OKClick();
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050   1   1  10 0   1"));
}

void ParametersPanel::OkWritesThreeDecimalsAndKeepsErrorWeight() {
  WriteBytes("param.par", "2.5 1 0.05 0.05 1 1 10 0 1");
  TForm1& form = NewWindow();
  form.ParamDialogExecute();
  Child<QLineEdit>(form, "Recursive_Embedding")->setText("2.25");
  Child<QLineEdit>(form, "Homogeneity")->setText("0.0126");
  Child<QLineEdit>(form, "MinObj")->setText("  +1e-1");
  form.OKClick();
  QVERIFY(form.findChild<QGroupBox*>("GroupBox1")->isHidden());
  QCOMPARE(ReadBytes("param.par"), QByteArray("2.500 2.250 0.013 0.100   1   1  10 0   1"));
  form.ParamDialogExecute();
  QCOMPARE(form.RunParameters.RecursiveComplexity, 2.25);
  QCOMPARE(form.RunParameters.Homogeneity, 0.013);  // the file keeps three decimals
  QCOMPARE(Child<QLineEdit>(form, "Recursive_Embedding")->text(), QStringLiteral("2.25"));
}

void ParametersPanel::FiveDigitIntegerIsWrittenWideAndReadBack() {
  TForm1& form = NewWindow();
  form.ParamDialogExecute();
  Child<QLineEdit>(form, "VariantsNumber")->setText("12345");
  Child<QLineEdit>(form, "FoldsCrossValidate")->setText("-3");
  form.OKClick();
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050 12345   1  -3 0   1"));
  form.ParamDialogExecute();
  QCOMPARE(form.RunParameters.VariantsNumber, 12345);
  QCOMPARE(form.RunParameters.FoldsCrossValidate, -3);
  QCOMPARE(Child<QLineEdit>(form, "VariantsNumber")->text(), QStringLiteral("12345"));
}

void ParametersPanel::LagIsTakenOnlyWhenOrderingIsSet() {
  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 0 4");
  TForm1& form = NewWindow();
  form.ParamDialogExecute();
  QCOMPARE(Child<QLineEdit>(form, "LagEdit")->text(), QStringLiteral("4"));
  Child<QLineEdit>(form, "LagEdit")->setText("7");
  form.OKClick();
  QCOMPARE(form.RunParameters.Lag, 4);
  QVERIFY(ReadBytes("param.par").endsWith(" 0   4"));

  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 1 4");
  form.ParamDialogExecute();
  QVERIFY(Child<QLineEdit>(form, "LagEdit")->isEnabled());
  QCOMPARE(form.findChild<QComboBox*>("TimeBox")->currentIndex(), 1);
  Child<QLineEdit>(form, "LagEdit")->setText("7");
  form.OKClick();
  QVERIFY(ReadBytes("param.par").endsWith(" 1   7"));
}

void ParametersPanel::OrderingFollowsTheChoiceButNotTheFilling() {
  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 2 1");
  TForm1& form = NewWindow();
  form.ParamDialogExecute();
  QCOMPARE(form.RunParameters.Ordering, 2);
  QVERIFY(Child<QLineEdit>(form, "LagEdit")->isEnabled());
  form.OKClick();
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050   1   1  10 2   1"));
  auto* box = form.findChild<QComboBox*>("TimeBox");
  box->setEditText("weekly");  // typed text names no item
  QCOMPARE(form.RunParameters.Ordering, -1);
  box->setCurrentIndex(0);
  QCOMPARE(form.RunParameters.Ordering, 0);
  QVERIFY(!Child<QLineEdit>(form, "LagEdit")->isEnabled());
}

void ParametersPanel::EditTextsThatAreNoNumbersGiveNoValue() {
  const std::optional<double> none;
  const struct {
    const char* text;
    std::optional<double> real;
    std::optional<int32_t> integer;
  } cases[] = {
      {"", none, none},         {"   ", none, none},      {"abc", none, none},
      {"  12", 12, 12},         {"+7", 7, 7},            {"-2", -2, -2},
      {"+-2", none, none},      {"1.5", 1.5, none},      {".5", 0.5, none},
      {"5.", 5, none},          {"2E2", 200, none},      {"2e-1", 0.2, none},
      {"1e", none, none},       {"1,5", none, none},     {"3 ", none, none},
      {"inf", none, none},      {"nan", none, none},     {"0x10", none, none},
      {"1e999", none, none},    {"2147483647", 2147483647, 2147483647},
      {"2147483648", 2147483648.0, none},                {"\u00BD", none, none},
  };
  for (const auto& c : cases) {
    const QString text = QString::fromUtf8(c.text);
    QCOMPARE(EditTextToReal(text), c.real);
    QCOMPARE(EditTextToInt(text), c.integer);
  }
}

// Each refusal names the field and the reason, keeps the panel open with the field
// selected, and writes nothing; the first bad field in tab order is the one named.
void ParametersPanel::OkRefusesWhatARunCannotUse() {
  WriteBytes("houses.txt", ExampleBytes("houses.txt"));
  const struct {
    const char* field;
    const char* text;
    const char* message;
  } cases[] = {
      {"Homogeneity", "lots", "Homogeneity: \"lots\" is not a number."},
      {"VariantsNumber", "", "VariantsNumber: nothing is entered."},
      {"VariantsNumber", "2.5",
       "VariantsNumber: \"2.5\" is not a whole number from -2147483648 to 2147483647."},
      {"FoldsCrossValidate", "99999999999",
       "FoldsCrossValidate: \"99999999999\" is not a whole number from -2147483648 to "
       "2147483647."},
      {"Recursive_Embedding", "1e999", "RecursiveComplexity: \"1e999\" is not a number."},
      {"Recursive_Embedding", "-1", "RecursiveComplexity: -1 is negative; a run needs 0 or more."},
      {"MinObj", "-0.5", "MinObjInNode: -0.5 is negative; a run needs 0 or more."},
      {"FeatureToPredict", "6",
       "FeatureToPredict: 6 is not a feature of houses.txt, whose features are 1 to 5."},
      {"FeatureToPredict", "0",
       "FeatureToPredict: 0 is not a feature of houses.txt, whose features are 1 to 5."},
  };
  TForm1& form = NewWindow();
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  form.FileOpen1Accept("houses.txt");
  for (const auto& c : cases) {
    form.ParamDialogExecute();
    QLineEdit* edit = Child<QLineEdit>(form, c.field);
    edit->setText(QString::fromUtf8(c.text));
    const bool minObj = c.field == std::string("MinObj");
    Child<QLineEdit>(form, "MinObj")->setText(minObj ? c.text : "-9");  // a later field
    form.OKClick();
    QCOMPARE(Dialogs.Errors.size(), 1);
    QCOMPARE(Dialogs.Errors.takeFirst(), QString::fromUtf8(c.message));
    QVERIFY(form.findChild<QGroupBox*>("GroupBox1")->isVisible());
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->selectedText(), edit->text());
    QVERIFY(!QFile::exists("param.par"));
  }
  form.FileNewExecute();  // no data document: only the lower bound is known
  form.ParamDialogExecute();
  Child<QLineEdit>(form, "FeatureToPredict")->setText("0");
  form.OKClick();
  QCOMPARE(Dialogs.Errors.value(0),
           QStringLiteral("FeatureToPredict: 0 is not a feature; features count from 1."));
  Child<QLineEdit>(form, "FeatureToPredict")->setText("60");
  form.OKClick();
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(ReadBytes("param.par").startsWith("1.000 1.000 0.050 0.050   1  60"));
}

// A time series needs an earlier time and a time to predict: the lag is at least 1 and
// less than the open file's 40 objects. In a data table it is not looked at.
void ParametersPanel::LagIsRefusedOnlyForATimeSeries() {
  WriteBytes("houses.txt", ExampleBytes("houses.txt"));
  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 0 0");
  FakeDialogs& dialogs = Dialogs;
  TForm1& form = NewWindow();
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  form.FileOpen1Accept("houses.txt");
  form.ParamDialogExecute();
  form.OKClick();
  QVERIFY(dialogs.Errors.isEmpty());
  QVERIFY(ReadBytes("param.par").endsWith(" 0   0"));
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"0", "Lag: 0 is less than 1; a time-series run needs a lag of at least 1."},
      {"-2", "Lag: -2 is less than 1; a time-series run needs a lag of at least 1."},
      {"40", "Lag: 40 is not less than the number of objects of houses.txt, 40."},
  };
  for (const auto& c : cases) {
    form.ParamDialogExecute();
    form.findChild<QComboBox*>("TimeBox")->setCurrentIndex(1);
    Child<QLineEdit>(form, "LagEdit")->setText(c.text);
    form.OKClick();
    QCOMPARE(dialogs.Errors.size(), 1);
    QCOMPARE(dialogs.Errors.takeFirst(), QString::fromUtf8(c.message));
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(form, "LagEdit"));
    QVERIFY(ReadBytes("param.par").endsWith(" 0   0"));
  }
  Child<QLineEdit>(form, "LagEdit")->setText("39");
  form.OKClick();
  QVERIFY(dialogs.Errors.isEmpty());
  QVERIFY(ReadBytes("param.par").endsWith(" 1  39"));
}

void ParametersPanel::FocusEnterAndEscape() {
  WriteBytes("param.par", "1 1 0.05 0.05 1 1 10 0 1");
  TForm1& form = NewWindow();
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  form.ParamDialogExecute();
  auto* first = Child<QLineEdit>(form, "Recursive_Embedding");
  QCOMPARE(QApplication::focusWidget(), first);
  QTest::keyClicks(first, "2");  // replaces the selected text
  QCOMPARE(first->text(), QStringLiteral("2"));
  QTest::keyClick(first, Qt::Key_Escape);
  QVERIFY(form.findChild<QGroupBox*>("GroupBox1")->isHidden());
  QCOMPARE(ReadBytes("param.par"), QByteArray("1 1 0.05 0.05 1 1 10 0 1"));
  QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("RichEdit1"));
  form.ParamDialogExecute();
  QCOMPARE(first->text(), QStringLiteral("1.00"));  // the edit was dropped
  QTest::keyClicks(Child<QLineEdit>(form, "VariantsNumber"), "3");
  QTest::keyClick(Child<QLineEdit>(form, "VariantsNumber"), Qt::Key_Return);
  QVERIFY(form.findChild<QGroupBox*>("GroupBox1")->isHidden());
  QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050 0.050  13   1  10 0   1"));
}

void ParametersPanel::FeatureNameFollowsTheNumber() {
  WriteBytes("houses.txt", ExampleBytes("houses.txt"));
  TForm1& form = NewWindow();
  auto* name = form.findChild<QLabel*>("FeatureName");
  form.ParamDialogExecute();
  QVERIFY(name->text().isEmpty());  // no data document
  form.FileOpen1Accept("houses.txt");
  form.ParamDialogExecute();
  QCOMPARE(name->text(), QStringLiteral("1 = price"));
  const struct {
    const char* typed;
    const char* shown;
  } cases[] = {{"5", "5 = district"}, {"3", "3 = rooms"}, {"9", "features 1 to 5"},
               {"x", ""},             {"", ""},         {" 2", "2 = area"}};
  for (const auto& c : cases) {
    Child<QLineEdit>(form, "FeatureToPredict")->setText(c.typed);
    QCOMPARE(name->text(), QString::fromUtf8(c.shown));
  }
  SetEditorText(form, "# typed # 3 2 ? 1 1 wind rain\n1 2\n");  // the editor's text counts
  form.ParamDialogExecute();
  Child<QLineEdit>(form, "FeatureToPredict")->setText("2");
  QCOMPARE(name->text(), QStringLiteral("2 = rain"));
}

}  // namespace tarmel

QTEST_MAIN(tarmel::ParametersPanel)
#include "parameters_panel_tests.moc"
