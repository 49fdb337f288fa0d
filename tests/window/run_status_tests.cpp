// The texts of the run's progress bar and of the run's end: the detail levels, the clock,
// the estimate of the time left, the outcome with its error or message, and the warnings.
#include <QTest>

#include "runStatus.h"

namespace tarmel {

class RunStatus : public QObject {
  Q_OBJECT
 private slots:
  void ClockCountsMinutesAndHours();
  void ProgressTextsGoFromDetailedToShort();
  void SummaryTellsTreesErrorAndTime();
  void WarningsAreListedWithTheirCounts();
};

void RunStatus::ClockCountsMinutesAndHours() {
  const struct {
    qint64 ms;
    const char* text;
  } cases[] = {{-5, "0:00"},       {999, "0:00"},        {61000, "1:01"},
               {3599999, "59:59"}, {3600000, "1:00:00"}, {7322000, "2:02:02"}};
  for (const auto& c : cases) QCOMPARE(ClockText(c.ms), QString::fromLatin1(c.text));
}

void RunStatus::ProgressTextsGoFromDetailedToShort() {
  RunProgress reading;
  QCOMPARE(ProgressTexts(reading, 4000),
           QStringList({"%p% \u00B7 0:04", "%p% \u00B7 0:04", "%p% \u00B7 0:04", "%p%"}));
  RunProgress folds;
  folds.Phase = RunPhase::CrossValidating;
  folds.Variant = 2;
  folds.Variants = 3;
  folds.FoldsDone = 10;  // the last fold is still growing
  folds.Folds = 10;
  folds.Fraction = 0.25;
  QCOMPARE(ProgressTexts(folds, 30000),
           QStringList({"%p% \u00B7 variant 2 of 3 \u00B7 fold 10 of 10 \u00B7 0:30, about 1:30 left",
                        "%p% \u00B7 2/3 \u00B7 0:30 \u00B7 1:30 left", "%p% \u00B7 1:30 left",
                        "%p%"}));
  RunProgress growing = folds;
  growing.Phase = RunPhase::Growing;
  growing.Fraction = 0.0;  // no tree finished: no estimate yet
  QCOMPARE(ProgressTexts(growing, 1000).first(), QStringLiteral("%p% \u00B7 variant 2 of 3 \u00B7 0:01"));
}

void RunStatus::SummaryTellsTreesErrorAndTime() {
  RunResult result;
  result.Trees.resize(3);
  result.Trees[0].CrossValidated = true;
  result.Trees[0].CrossValidationError = 0.2;
  result.Trees[1].CrossValidated = true;
  result.Trees[1].CrossValidationError = 0.1234;
  result.Trees[2].CrossValidationError = 0.01;  // not validated: not counted
  QCOMPARE(RunSummary(result, 12449),
           QStringLiteral("Report: 3 trees, cross-validation error 0.123 in 12.4 s"));
  result.Task = TaskKind::Regression;
  result.FeatureNames = {"crim", "medv"};
  result.TargetFeature = 2;
  QCOMPARE(RunSummary(result, 12449),
           QStringLiteral("Report: 3 trees predicting medv (feature 2), relative "
                          "cross-validation error 0.123 in 12.4 s"));
  result.TargetFeature = 0;
  result.Trees.resize(1);
  result.Trees[0].CrossValidated = false;
  QCOMPARE(RunSummary(result, 50), QStringLiteral("Report: 1 tree in 0.1 s"));
  result.Trees.clear();
  QCOMPARE(RunSummary(result, 400), QStringLiteral("Report complete in 0.4 s"));
  result.Outcome = RunOutcome::DataError;
  result.Message = "Error in input file: wrong value in row 12 of the learning table, column 3";
  QCOMPARE(RunSummary(result, 0),
           QStringLiteral("Error in input file: wrong value in row 12 of ... (0.0 s)"));
}

void RunStatus::WarningsAreListedWithTheirCounts() {
  QVERIFY(WarningsText({}).isEmpty());
  std::vector<RunWarning> warnings{{"Row 3 holds 9999 in feature 2", 5, 4},
                                   {"Feature area is constant", 0, 1}};
  QCOMPARE(WarningsText(warnings),
           QStringLiteral("Row 3 holds 9999 in feature 2 (4 in all)\nFeature area is constant"));
}

}  // namespace tarmel

QTEST_MAIN(tarmel::RunStatus)
#include "run_status_tests.moc"
