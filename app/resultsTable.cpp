// The results table. Its cells are the ones the batch runner writes, so a pasted table
// and a summary file read the same.
#include "resultsTable.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "results_summary.h"
#include "treeRepeats.h"

namespace tarmel {

namespace {

QTableWidget* NewTable(QWidget* parent, const char* name) {
  auto* table = new QTableWidget(parent);
  table->setObjectName(QString::fromLatin1(name));
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->setVisible(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  return table;
}

// A heading of several words takes two lines, broken at the blank nearest its middle, so
// that the columns stay about as narrow as their numbers.
QString TwoLineHeading(QString text) {
  qsizetype best = -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char(' ') && (best < 0 || qAbs(i - text.size() / 2) < qAbs(best - text.size() / 2))) best = i;
  }
  if (best > 0 && text.size() > 7) text[best] = QLatin1Char('\n');
  return text;
}

// A kept tree with the rules of an earlier one says so beside its variant number.
void MarkRepeats(QTableWidget* table, const RunResult& run) {
  const std::vector<int> repeats = RepeatedVariants(run);
  for (size_t i = 0; i < repeats.size() && static_cast<int>(i) < table->rowCount(); ++i) {
    QTableWidgetItem* variant = table->item(static_cast<int>(i), 0);
    if (repeats[i] == 0 || variant == nullptr) continue;
    variant->setText(variant->text() + RepeatNote(repeats[i]));
    variant->setToolTip(QStringLiteral("The same rules as variant %1: the two vote alike.")
                            .arg(repeats[i]));
  }
  table->resizeColumnsToContents();
}

// The first row of the grid becomes the header.
void FillTable(QTableWidget* table, const TTextGrid& grid) {
  table->clear();
  table->setRowCount(grid.empty() ? 0 : static_cast<int>(grid.size()) - 1);
  table->setColumnCount(grid.empty() ? 0 : static_cast<int>(grid[0].size()));
  if (grid.empty()) return;
  QStringList header;
  for (const std::string& cell : grid[0]) header << TwoLineHeading(QString::fromStdString(cell));
  table->setHorizontalHeaderLabels(header);
  for (size_t r = 1; r < grid.size(); ++r) {
    for (size_t c = 0; c < grid[r].size(); ++c) {
      const QString text = QString::fromStdString(grid[r][c]);
      auto* item = new QTableWidgetItem(text);
      bool number = false;
      text.toDouble(&number);
      if (number || text == QLatin1String("-")) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table->setItem(static_cast<int>(r) - 1, static_cast<int>(c), item);
    }
  }
  table->resizeColumnsToContents();
}

QString DetailsNote(const RunResult& run, const TKeptTree& tree) {
  const QString variant = QString::number(tree.Variant);
  if (!tree.CrossValidated) {
    return QStringLiteral("Variant %1 was not cross-validated.").arg(variant);
  }
  if (run.Task == TaskKind::Regression) {
    return QStringLiteral("Relative cross-validation error of variant %1: %2 (each fold's "
                          "root mean square error over the spread of its training targets)")
        .arg(variant, QString::number(tree.CrossValidationError, 'f', 3));
  }
  return QStringLiteral("Cross-validation of variant %1: true class by row, predicted class "
                        "by column, over %2 tested objects.")
      .arg(variant)
      .arg(ConfusionTotal(tree));
}

}  // namespace

ResultsTable::ResultsTable(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ResultsTable"));
  Results_ = NewTable(this, "ResultsRows");
  Results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  Results_->setSelectionMode(QAbstractItemView::SingleSelection);
  Confusion_ = NewTable(this, "ConfusionMatrix");
  Confusion_->setSelectionMode(QAbstractItemView::NoSelection);
  Note_ = new QLabel(this);
  Note_->setWordWrap(true);
  Context_ = new QLabel(this);
  Context_->setObjectName(QStringLiteral("RunContext"));
  Context_->setWordWrap(true);
  Copy_ = new QPushButton(QStringLiteral("Copy"), this);
  Copy_->setObjectName(QStringLiteral("CopyResults"));
  Copy_->setToolTip(QStringLiteral("Copies the table as tab-separated text"));
  auto* noteRow = new QHBoxLayout;
  noteRow->addWidget(Note_, 1);
  noteRow->addWidget(Copy_, 0, Qt::AlignTop);
  // The matrix stands beside the rows, which leaves the dock's height to the tree.
  auto* tables = new QHBoxLayout;
  tables->addWidget(Results_, 3, Qt::AlignTop);
  tables->addWidget(Confusion_, 2, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Context_);
  layout->addLayout(tables);
  layout->addLayout(noteRow);
  connect(Copy_, &QPushButton::clicked, this, &ResultsTable::CopyToClipboard);
  connect(Results_, &QTableWidget::currentCellChanged, this, [this](int row) {
    if (row >= 0 && row != Selected_) emit TreeSelected(row);
  });
}

void ResultsTable::ShowRun(const RunResult* run, const QString& context) {
  Run_ = run;
  Selected_ = -1;
  Context_->setText(context);
  Context_->setVisible(!context.isEmpty());
  FillTable(Results_, run == nullptr ? TTextGrid{} : ResultsGrid(*run));
  if (run != nullptr) MarkRepeats(Results_, *run);
  SelectTree(0);
}

void ResultsTable::SelectTree(int index) {
  if (Run_ == nullptr || index < 0 || static_cast<size_t>(index) >= Run_->Trees.size()) {
    Selected_ = -1;
    ShowSelectedDetails();
    return;
  }
  Selected_ = index;
  Results_->selectRow(index);
  ShowSelectedDetails();
}

void ResultsTable::ShowSelectedDetails() {
  if (Selected_ < 0) {
    FillTable(Confusion_, {});
    Confusion_->hide();
    if (Run_ == nullptr) {
      Note_->setText(QStringLiteral("No run of the open document yet: Build Tree shows its "
                                    "results here."));
    } else {
      Note_->setText(Run_->Message.empty() ? QStringLiteral("The run kept no tree.")
                                           : QString::fromStdString(Run_->Message));
    }
    return;
  }
  const TKeptTree& tree = Run_->Trees[static_cast<size_t>(Selected_)];
  const TTextGrid confusion = ConfusionGrid(*Run_, tree);
  FillTable(Confusion_, confusion);
  Confusion_->setVisible(!confusion.empty());
  Note_->setText(DetailsNote(*Run_, tree));
}

QString ResultsTable::Note() const { return Note_->text(); }

QString ResultsTable::Context() const { return Context_->text(); }

QString ResultsTable::Tsv() const {
  if (Run_ == nullptr) return {};
  return QString::fromStdString(SummaryTsv(*Run_, Selected_ < 0 ? 0 : Selected_));
}

void ResultsTable::CopyToClipboard() { QGuiApplication::clipboard()->setText(Tsv()); }

}  // namespace tarmel
