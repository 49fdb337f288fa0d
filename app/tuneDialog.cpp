// The tune runs on a thread of its own like a run: its request is set before the thread
// starts and its result read only after the thread has ended, so the two threads never
// touch them at the same time; progress crosses over as queued signals.
#include "tuneDialog.h"

#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include "tuneChart.h"

namespace tarmel {
namespace {

constexpr int Steps = 1000;

QString ListText(const std::vector<double>& values) {
  QStringList parts;
  for (const double v : values) parts << QString::number(v);
  return parts.join(QStringLiteral(", "));
}

// Numbers separated by commas or blanks, each from low to high; false on anything else.
bool ParseList(const QString& text, double low, double high, std::vector<double>& values) {
  values.clear();
  const QStringList parts =
      text.split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts);
  for (const QString& part : parts) {
    bool ok = false;
    const double value = part.toDouble(&ok);
    if (!ok || !(value >= low && value <= high)) return false;
    values.push_back(value);
  }
  return !values.empty();
}

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

TuneDialog::TuneDialog(const RunParameters& params, const QString& dataFile, QWidget* parent)
    : QDialog(parent), Params_(params), DataFile_(dataFile) {
  setObjectName(QStringLiteral("TuneDialog"));
  setWindowTitle(QStringLiteral("Tune - %1").arg(dataFile));
  BuildLayout();
  connect(&Relay_, &TuneRelay::Progressed, this, &TuneDialog::ShowProgress, Qt::QueuedConnection);
}

TuneDialog::~TuneDialog() {
  if (Thread_ == nullptr) return;
  Cancel_.Cancel();
  Thread_->wait();
  delete Thread_;
}

void TuneDialog::BuildLayout() {
  const TuneRequest defaults;
  Complexities_ = new QLineEdit(ListText(defaults.RecursiveComplexities), this);
  Complexities_->setObjectName(QStringLiteral("TuneComplexities"));
  MinObjs_ = new QLineEdit(ListText(defaults.MinObjs), this);
  MinObjs_->setObjectName(QStringLiteral("TuneMinObjs"));
  Repeats_ = new QSpinBox(this);
  Repeats_->setObjectName(QStringLiteral("TuneRepeats"));
  Repeats_->setRange(1, MaxTuneRepeats);
  Repeats_->setValue(defaults.Repeats);
  auto* grid = new QFormLayout;
  grid->addRow(QStringLiteral("&RecursiveComplexity:"), Complexities_);
  grid->addRow(QStringLiteral("&MinObj:"), MinObjs_);
  grid->addRow(QStringLiteral("R&epeats (fold draws):"), Repeats_);

  StartStop_ = new QPushButton(QStringLiteral("&Start"), this);
  StartStop_->setObjectName(QStringLiteral("TuneStart"));
  Progress_ = new QProgressBar(this);
  Progress_->setObjectName(QStringLiteral("TuneProgress"));
  Progress_->setRange(0, Steps);
  Progress_->setValue(0);
  auto* running = new QHBoxLayout;
  running->addWidget(StartStop_);
  running->addWidget(Progress_, 1);

  Table_ = new QTableWidget(0, 7, this);
  Table_->setObjectName(QStringLiteral("TuneTable"));
  Table_->setHorizontalHeaderLabels({QStringLiteral("RC"), QStringLiteral("MinObj"),
                                     QStringLiteral("Mean error"), QStringLiteral("Spread"),
                                     QStringLiteral("Leaves"), QStringLiteral("Time (s)"),
                                     QStringLiteral("Choice")});
  Table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table_->setSelectionMode(QAbstractItemView::SingleSelection);
  Table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table_->verticalHeader()->hide();
  Table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  Chart_ = new TuneChart(this);
  auto* split = new QSplitter(this);
  split->addWidget(Table_);
  split->addWidget(Chart_);
  split->setStretchFactor(1, 1);
  split->setSizes({520, 600});  // every column of the table in view

  Status_ = new QLabel(QStringLiteral("Start cross-validates every cell; the data and the other "
                                      "parameters are those of the next Build Tree."),
                       this);
  Status_->setObjectName(QStringLiteral("TuneStatus"));
  Status_->setWordWrap(true);
  Apply_ = new QPushButton(QStringLiteral("&Apply"), this);
  Apply_->setObjectName(QStringLiteral("TuneApply"));
  Apply_->setEnabled(false);
  Apply_->setToolTip(QStringLiteral("Puts the selected cell (at first the proposed one) into "
                                    "the parameters and param.par"));
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Status_, 1);
  buttons->addWidget(Apply_);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(running);
  layout->addWidget(split, 1);
  layout->addLayout(buttons);
  resize(1140, 620);

  connect(StartStop_, &QPushButton::clicked, this, &TuneDialog::StartOrStop);
  connect(Apply_, &QPushButton::clicked, this, &TuneDialog::ApplyChosen);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
}

// The grid as typed; the default grid keeps its deep cells for quick tables only.
bool TuneDialog::TakeGrid(TuneRequest& request) {
  const TuneRequest defaults;
  if (!ParseList(Complexities_->text(), 0, MaxTuneComplexity, request.RecursiveComplexities)) {
    Status_->setText(QStringLiteral("RecursiveComplexity: numbers from 0 to 10, as 1, 1.5, 2"));
    Complexities_->setFocus();
    return false;
  }
  if (!ParseList(MinObjs_->text(), 0, 1, request.MinObjs)) {
    Status_->setText(QStringLiteral("MinObj: numbers from 0 to 1, as 0.02, 0.05"));
    MinObjs_->setFocus();
    return false;
  }
  if (request.RecursiveComplexities != defaults.RecursiveComplexities) request.DeepLimitSeconds = 0;
  request.Repeats = Repeats_->value();
  return true;
}

void TuneDialog::StartOrStop() {
  if (IsTuning()) {
    Cancel_.Cancel();
    StartStop_->setEnabled(false);  // until the tune has stopped
    return;
  }
  Start();
}

void TuneDialog::Start() {
  TuneRequest request;
  if (!TakeGrid(request)) return;
  request.Params = Params_;
  request.DataFileName = QFile::encodeName(DataFile_).toStdString();
  request.Observer = &Relay_;
  request.Cancel = &Cancel_;
  Request_ = request;
  Cancel_.Reset();
  Result_ = TuneResult{};
  ShowResult();
  Progress_->setValue(0);
  StartStop_->setText(QStringLiteral("&Stop"));
  Apply_->setEnabled(false);
  Status_->setText(QStringLiteral("Tuning..."));
  Thread_ = QThread::create([this] { Result_ = Tune(Request_); });
  connect(Thread_, &QThread::finished, this, &TuneDialog::ThreadFinished);
  Thread_->start();
}

void TuneDialog::ThreadFinished() {
  Thread_->wait();
  delete Thread_;
  Thread_ = nullptr;
  StartStop_->setText(QStringLiteral("&Start"));
  StartStop_->setEnabled(true);
  ShowResult();
  if (Result_.Outcome == RunOutcome::Complete) {
    Progress_->setValue(Steps);
    Status_->setText(Result_.Note.empty() ? QStringLiteral("Proposed: the simplest cell within "
                                                           "one standard error of the best.")
                                          : QString::fromStdString(Result_.Note));
  } else {
    Status_->setText(QString::fromStdString(Result_.Message));
  }
  emit TuneFinished();
}

void TuneDialog::ShowResult() {
  Table_->setRowCount(static_cast<int>(Result_.Cells.size()));
  for (int row = 0; row < Table_->rowCount(); ++row) {
    const TuneCell& cell = Result_.Cells[static_cast<size_t>(row)];
    const bool best = row == Result_.Best, proposed = row == Result_.Proposed;
    const QString choice = best && proposed ? QStringLiteral("best, proposed")
                           : best           ? QStringLiteral("best")
                           : proposed       ? QStringLiteral("proposed")
                                            : QString();
    Table_->setItem(row, 0, Cell(QString::number(cell.RecursiveComplexity, 'f', 3)));
    Table_->setItem(row, 1, Cell(QString::number(cell.MinObj, 'f', 3)));
    Table_->setItem(row, 2, Cell(QString::number(cell.Mean, 'f', 4)));
    Table_->setItem(row, 3, Cell(QString::number(cell.Deviation, 'f', 4)));
    Table_->setItem(row, 4, Cell(QString::number(cell.Leaves, 'f', 1)));
    Table_->setItem(row, 5, Cell(QString::number(cell.Seconds, 'f', 2)));
    Table_->setItem(row, 6, new QTableWidgetItem(choice));
  }
  if (Result_.Proposed >= 0) Table_->selectRow(Result_.Proposed);
  Apply_->setEnabled(Result_.Proposed >= 0);
  Chart_->Show(Result_);
}

void TuneDialog::ShowProgress(double fraction) {
  if (IsTuning()) Progress_->setValue(static_cast<int>(fraction * Steps));
}

void TuneDialog::ApplyChosen() {
  const int selected = Table_->currentRow();
  const int row = selected >= 0 && selected < static_cast<int>(Result_.Cells.size())
                      ? selected
                      : Result_.Proposed;
  if (row < 0) return;
  const TuneCell& cell = Result_.Cells[static_cast<size_t>(row)];
  Status_->setText(QStringLiteral("Applied RecursiveComplexity %1, MinObj %2: Build Tree grows it.")
                       .arg(cell.RecursiveComplexity, 0, 'f', 3)
                       .arg(cell.MinObj, 0, 'f', 3));
  emit Applied(ParamsOfCell(Params_, cell));
}

}  // namespace tarmel
