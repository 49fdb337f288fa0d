// Texts of the run's progress bar and of its end. The estimate of the time left assumes
// that the trees still to grow take as long as the finished ones did on average, which
// the fold trees of one variant nearly do.
#include "runStatus.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <limits>

#include "data_header.h"
#include "read_messages.h"
#include "report_format.h"

namespace tarmel {

namespace {

constexpr int SummaryWords = 10;

QString Seconds(qint64 ms) {
  return QString::fromStdString(FormatReal(static_cast<double>(ms) / 1000.0, 1, 1)) +
         QStringLiteral(" s");
}

// Nothing before the first finished tree, when there is nothing to go on.
QString TimeLeft(const RunProgress& p, qint64 elapsedMs) {
  if (p.Fraction <= 0.0 || p.Fraction >= 1.0) return {};
  const double left = static_cast<double>(elapsedMs) * (1.0 - p.Fraction) / p.Fraction;
  return ClockText(static_cast<qint64>(left));
}

// The first words of a message, so that the status bar can hold them.
QString FirstWords(const QString& message) {
  const QStringList words = message.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QString shown = words.mid(0, SummaryWords).join(QLatin1Char(' '));
  if (words.size() > SummaryWords) shown += QStringLiteral(" ...");
  return shown;
}

}  // namespace

QString ClockText(qint64 ms) {
  const qint64 s = std::max<qint64>(ms, 0) / 1000;
  const QString seconds = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
  if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(seconds);
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds);
}

QStringList ProgressTexts(const RunProgress& p, qint64 elapsedMs) {
  const QString clock = ClockText(elapsedMs);
  const QString left = TimeLeft(p, elapsedMs);
  QString full = QStringLiteral("%p%");
  QString brief = full;
  if (p.Variant > 0) {
    full += QStringLiteral(" \u00B7 variant %1 of %2").arg(p.Variant).arg(p.Variants);
    brief += QStringLiteral(" \u00B7 %1/%2").arg(p.Variant).arg(p.Variants);
  }
  if (p.Phase == RunPhase::CrossValidating && p.Folds > 0) {
    full += QStringLiteral(" \u00B7 fold %1 of %2").arg(std::min(p.FoldsDone + 1, p.Folds)).arg(p.Folds);
  }
  full += QStringLiteral(" \u00B7 ") + clock;
  brief += QStringLiteral(" \u00B7 ") + clock;
  if (!left.isEmpty()) {
    full += QStringLiteral(", about %1 left").arg(left);
    brief += QStringLiteral(" \u00B7 %1 left").arg(left);
  }
  QStringList texts{full, brief};
  texts << (left.isEmpty() ? QStringLiteral("%p% \u00B7 ") + clock
                           : QStringLiteral("%p% \u00B7 %1 left").arg(left));
  texts << QStringLiteral("%p%");
  return texts;
}

QString FeatureText(const std::vector<std::string>& names, int32_t feature) {
  if (feature < 1 || static_cast<size_t>(feature) > names.size()) {
    return QStringLiteral("feature %1").arg(feature);
  }
  return QStringLiteral("%1 (feature %2)")
      .arg(QString::fromStdString(names[static_cast<size_t>(feature) - 1]))
      .arg(feature);
}

QString PredictedText(const RunResult& result) {
  if (result.TargetFeature < 1 || result.Trees.empty()) return {};
  return FeatureText(result.FeatureNames, result.TargetFeature);
}

QString ExplainedMessage(const RunResult& result, const std::vector<std::string>& names) {
  const QString message = QString::fromStdString(result.Message);
  if (result.Outcome != RunOutcome::DataError) return message;
  const std::string help = ExplainReadMessage(result.Message, names);
  return help.empty() ? message : message + QLatin1Char('\n') + QString::fromStdString(help);
}

QString RunSummary(const RunResult& result, qint64 elapsedMs) {
  if (result.Outcome != RunOutcome::Complete) {
    return QStringLiteral("%1 (%2)").arg(FirstWords(QString::fromStdString(result.Message)),
                                         Seconds(elapsedMs));
  }
  const auto trees = static_cast<int>(result.Trees.size());
  if (trees == 0) return QStringLiteral("Report complete in ") + Seconds(elapsedMs);
  QString summary = QStringLiteral("Report: %1 %2").arg(trees).arg(trees == 1 ? "tree" : "trees");
  // The target is named, so that a run predicting another column than meant shows at once.
  const QString target = PredictedText(result);
  if (!target.isEmpty()) summary += QStringLiteral(" predicting ") + target;
  double best = std::numeric_limits<double>::infinity();
  for (const TKeptTree& tree : result.Trees) {
    if (tree.CrossValidated) best = std::min(best, tree.CrossValidationError);
  }
  // The lowest error is the one that tells how good the best tree of the run is.
  if (best != std::numeric_limits<double>::infinity()) {
    summary += (result.Task == TaskKind::Regression
                    ? QStringLiteral(", relative cross-validation error ")
                    : QStringLiteral(", cross-validation error ")) +
               QString::fromStdString(FormatReal(best, 1, 3));
  }
  return summary + QStringLiteral(" in ") + Seconds(elapsedMs);
}

QString WarningsText(const std::vector<RunWarning>& warnings) {
  QStringList lines;
  for (const RunWarning& warning : warnings) {
    QString line = QString::fromStdString(warning.Text);
    if (warning.Count > 1) line += QStringLiteral(" (%1 in all)").arg(warning.Count);
    lines << line;
  }
  return lines.join(QLatin1Char('\n'));
}

int DataMessageLine(const QString& dataText, const QString& message) {
  static const QRegularExpression rowPattern(QStringLiteral("row +(\\d+)"));
  const QRegularExpressionMatch match = rowPattern.match(message);
  if (!match.hasMatch()) return -1;
  const bool prediction = message.contains(QStringLiteral("Prediction: "));
  // The editor counts its lines from 0, the reader from 1 with 0 for no such row.
  return DataRowLine(dataText.toStdString(), match.captured(1).toInt(), prediction) - 1;
}

}  // namespace tarmel
