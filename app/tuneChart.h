// The tune's chart: the mean cross-validation error against RecursiveComplexity, one line
// per MinObj, each in a band of one standard deviation, and the proposed cell marked.
#pragma once

#include <QChartView>

#include "tune.h"

namespace tarmel {

class TuneChart : public QChartView {
  Q_OBJECT
 public:
  explicit TuneChart(QWidget* parent = nullptr);
  void Show(const TuneResult& result);  // an empty result clears the chart
};

}  // namespace tarmel
