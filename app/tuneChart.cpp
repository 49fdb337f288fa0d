// A band shows how much a cell's error moved with the fold draw: where the bands of two
// lines overlap, the difference between them may be chance.
#include "tuneChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

namespace tarmel {
namespace {

void AddBand(QChart& chart, const std::vector<const TuneCell*>& cells, const QColor& line) {
  auto* band = new QAreaSeries(&chart);
  // The band's edges go with the band when the chart is cleared.
  auto* upper = new QLineSeries(band);
  auto* lower = new QLineSeries(band);
  for (const TuneCell* cell : cells) {
    upper->append(cell->RecursiveComplexity, cell->Mean + cell->Deviation);
    lower->append(cell->RecursiveComplexity, cell->Mean - cell->Deviation);
  }
  band->setUpperSeries(upper);
  band->setLowerSeries(lower);
  QColor fill = line;
  fill.setAlpha(45);
  band->setColor(fill);
  band->setBorderColor(Qt::transparent);
  chart.addSeries(band);
  for (QLegendMarker* marker : chart.legend()->markers(band)) marker->setVisible(false);
}

void AttachAxes(QChart& chart, const TuneResult& result) {
  auto* x = new QValueAxis(&chart);
  auto* y = new QValueAxis(&chart);
  x->setTitleText(QStringLiteral("RecursiveComplexity"));
  y->setTitleText(result.Task == TaskKind::Regression ? QStringLiteral("relative error")
                                                      : QStringLiteral("error"));
  double low = 1e300, high = -1e300, left = 1e300, right = -1e300;
  for (const TuneCell& cell : result.Cells) {
    low = std::min(low, cell.Mean - cell.Deviation);
    high = std::max(high, cell.Mean + cell.Deviation);
    left = std::min(left, cell.RecursiveComplexity);
    right = std::max(right, cell.RecursiveComplexity);
  }
  const double margin = std::max(0.005, (high - low) * 0.08);
  y->setRange(std::max(0.0, low - margin), high + margin);
  y->setLabelFormat(QStringLiteral("%.3f"));
  // Ticks every half step of lookahead, or every step over a wide grid, and one beyond
  // the cells on either side.
  const double step = right - left > 4.0 ? 1.0 : 0.5;
  const double first = std::floor(left / step) * step - step;
  const double last = std::ceil(right / step) * step + step;
  x->setRange(first, last);
  x->setTickCount(static_cast<int>(std::lround((last - first) / step)) + 1);
  x->setLabelFormat(QStringLiteral("%.1f"));
  chart.addAxis(x, Qt::AlignBottom);
  chart.addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries* series : chart.series()) {
    series->attachAxis(x);
    series->attachAxis(y);
  }
}

void MarkProposed(QChart& chart, const TuneResult& result) {
  if (result.Proposed < 0) return;
  const TuneCell& cell = result.Cells[static_cast<size_t>(result.Proposed)];
  auto* mark = new QScatterSeries(&chart);
  mark->setName(QStringLiteral("proposed"));
  mark->setMarkerSize(13);
  mark->setColor(Qt::transparent);
  mark->setBorderColor(Qt::black);
  mark->append(cell.RecursiveComplexity, cell.Mean);
  chart.addSeries(mark);
}

}  // namespace

TuneChart::TuneChart(QWidget* parent) : QChartView(parent) {
  setRenderHint(QPainter::Antialiasing);
  chart()->legend()->setAlignment(Qt::AlignBottom);
  setMinimumSize(360, 260);
}

void TuneChart::Show(const TuneResult& result) {
  QChart& chart = *this->chart();
  chart.removeAllSeries();
  for (QAbstractAxis* axis : chart.axes()) {
    chart.removeAxis(axis);
    delete axis;
  }
  if (result.Cells.empty()) return;
  std::map<double, std::vector<const TuneCell*>> lines;  // by MinObj; cells come by depth
  for (const TuneCell& cell : result.Cells) lines[cell.MinObj].push_back(&cell);
  for (const auto& [minObj, cells] : lines) {
    auto* line = new QLineSeries(&chart);
    line->setName(QStringLiteral("MinObj %1").arg(minObj, 0, 'f', 3));
    line->setPointsVisible(true);
    for (const TuneCell* cell : cells) line->append(cell->RecursiveComplexity, cell->Mean);
    chart.addSeries(line);
    AddBand(chart, cells, line->color());
  }
  MarkProposed(chart, result);
  AttachAxes(chart, result);
}

}  // namespace tarmel
