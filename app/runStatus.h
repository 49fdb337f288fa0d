// What the status bar says about a run: the text of the progress bar, in as much detail
// as its width allows, and the closing line that tells the outcome and how long it took.
#pragma once

#include <QString>
#include <QtGlobal>

#include "run_request.h"

namespace tarmel {

// m:ss, or h:mm:ss from an hour on.
QString ClockText(qint64 ms);

// The progress bar's text, most detailed first ("%p" stands for the percentage, as the
// bar fills it in): the variant v of V, the fold of the cross-validation, the time so far
// and, once a tree has finished, an estimate of the time left.
QStringList ProgressTexts(const RunProgress& progress, qint64 elapsedMs);

// "medv (feature 13)", or "feature 13" when the names do not reach it.
QString FeatureText(const std::vector<std::string>& names, int32_t feature);

// The feature a result predicted, as FeatureText names it; empty when it predicted none.
QString PredictedText(const RunResult& result);

// The run's message and, on its own line, what to do about it when it is a message of
// the reading of the data.
QString ExplainedMessage(const RunResult& result, const std::vector<std::string>& names);

// "Report: 3 trees, cross-validation error 0.123 in 12.4 s" ("Report complete in 0.4 s"
// when the result holds no trees), or the first words of the message of a run that ended
// on its data.
QString RunSummary(const RunResult& result, qint64 elapsedMs);

// The run's warnings as one text for a message box; empty when there are none.
QString WarningsText(const std::vector<RunWarning>& warnings);

// The line (from 0) of the data text on which the row named by a data message begins, a
// learning row or, after "Prediction: ", a row of the prediction block, found as the run
// reads the text. -1 when the message names no row or the text has none.
int DataMessageLine(const QString& dataText, const QString& message);

}  // namespace tarmel
