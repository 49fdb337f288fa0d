// The tree dock: a selector and zoom buttons above, the results table and the drawn tree
// below, one over the other so that both stay readable in a narrow dock.
#include "treeDock.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktopSettings.h"
#include "resultsTable.h"
#include "text_files.h"
#include "treeRepeats.h"
#include "treeView.h"

namespace tarmel {

namespace {

QString AskExportName(QWidget* parent) {
  const QString title = QStringLiteral("Export Tree");
  const QString folder = RememberedFolder(title);
  const QString chosen = QFileDialog::getSaveFileName(
      parent, title, (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + "tree.svg",
      QStringLiteral("SVG picture (*.svg);;PNG image (*.png);;PDF document (*.pdf)"));
  if (!chosen.isEmpty()) RememberFolder(title, chosen);
  return chosen;
}

QToolButton* ToolButton(QWidget* parent, const QString& text, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setToolTip(tip);
  button->setAutoRaise(true);
  return button;
}

constexpr int MinimumWindowWidth = 1200;
constexpr int MinimumWindowHeight = 720;

QString RuleLine(int rule) { return QStringLiteral(" Rule %1,").arg(rule, 3); }
QString VariantLine(int variant) { return QStringLiteral("Variant N%1").arg(variant, 3); }

// A time-series report lists no rules: the tree and the table are all there is to see.
QString LegendText(bool timeSeries) {
  return QStringLiteral("Dashed: heterogeneous group. ") +
         (timeSeries ? QStringLiteral("The report of a time series lists no rules.")
                     : QStringLiteral("Click a leaf for its rule."));
}

}  // namespace

TreeDock::TreeDock(QWidget* parent) : QDockWidget(QStringLiteral("Tree"), parent) {
  setObjectName(QStringLiteral("TreeDock"));
  setCursor(Qt::ArrowCursor);
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
              QDockWidget::DockWidgetFloatable);
  AskExportFileName = AskExportName;
  Export_ = new QAction(QStringLiteral("Export &Tree..."), this);
  Export_->setObjectName(QStringLiteral("FileExportTree"));
  Export_->setStatusTip(QStringLiteral("Writes the shown tree as an SVG, PNG or PDF file"));
  Export_->setEnabled(false);
  connect(Export_, &QAction::triggered, this, &TreeDock::ExportWithDialog);

  auto* body = new QWidget(this);
  Table_ = new ResultsTable(body);
  View_ = new TreeView(body);
  Split_ = new QSplitter(Qt::Vertical, body);
  Split_->addWidget(Table_);
  Split_->addWidget(View_);
  Split_->setStretchFactor(0, 0);
  Split_->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(MakeToolRow());
  layout->addWidget(Split_, 1);
  setWidget(body);

  connect(Table_, &ResultsTable::TreeSelected, this, &TreeDock::ShowTree);
  connect(View_, &TreeView::LeafClicked, this, [this](int rule) {
    if (Shown_ >= 0) emit RuleRequested(Run_.Trees[static_cast<size_t>(Shown_)].Variant, rule);
  });
}

QWidget* TreeDock::MakeToolRow() {
  auto* row = new QWidget(this);
  Selector_ = new QComboBox(row);
  Selector_->setObjectName(QStringLiteral("TreeSelector"));
  Selector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  QToolButton* zoomIn = ToolButton(row, QStringLiteral("+"), QStringLiteral("Zoom in (Ctrl+plus, Ctrl+wheel)"));
  QToolButton* zoomOut = ToolButton(row, QStringLiteral("\u2212"), QStringLiteral("Zoom out (Ctrl+minus)"));
  QToolButton* fit = ToolButton(row, QStringLiteral("Fit"), QStringLiteral("Fit the tree to the view (Ctrl+0)"));
  // A wide tree needs the dock's whole height; the table can make way for it.
  QToolButton* table = ToolButton(row, QStringLiteral("Table"), QStringLiteral("Show or hide the results table"));
  table->setObjectName(QStringLiteral("ToggleTable"));
  table->setCheckable(true);
  table->setChecked(true);
  Legend_ = new QLabel(LegendText(false), row);
  Legend_->setObjectName(QStringLiteral("TreeLegend"));
  Legend_->setStyleSheet(QStringLiteral("color: #555555"));
  // A narrow screen cuts the legend short rather than push the window past its edge.
  Legend_->setMinimumWidth(1);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QWidget* w : std::initializer_list<QWidget*>{Selector_, zoomIn, zoomOut, fit, table}) {
    layout->addWidget(w);
  }
  layout->addWidget(Legend_, 1);
  connect(zoomIn, &QToolButton::clicked, this, [this] { View_->ZoomIn(); });
  connect(zoomOut, &QToolButton::clicked, this, [this] { View_->ZoomOut(); });
  connect(fit, &QToolButton::clicked, this, [this] { View_->FitToWindow(); });
  connect(table, &QToolButton::toggled, Table_, &QWidget::setVisible);
  connect(Selector_, &QComboBox::activated, this, &TreeDock::ShowTree);
  return row;
}

void TreeDock::ShowRun(RunResult run, const QString& dataFile, const QString& context) {
  View_->Clear();  // the view reads the run it draws: let go of it before it changes
  Run_ = std::move(run);
  DataFile_ = dataFile;
  Shown_ = -1;
  FillSelector();
  Table_->ShowRun(&Run_, context);
  WidenWindowOnce();
  show();
  raise();
  Export_->setEnabled(false);
  ShowTree(0);
}

// "Tree 2 of 3", and "(same as variant 1)" behind a tree that repeats an earlier one.
void TreeDock::FillSelector() {
  const int count = static_cast<int>(Run_.Trees.size());
  const std::vector<int> repeats = RepeatedVariants(Run_);
  Selector_->clear();
  for (int i = 0; i < count; ++i) {
    Selector_->addItem(QStringLiteral("Tree %1 of %2").arg(i + 1).arg(count) +
                       RepeatNote(repeats[static_cast<size_t>(i)]));
  }
  Selector_->setEnabled(count > 1);
}

void TreeDock::Clear() {
  View_->Clear();
  Run_ = RunResult{};
  DataFile_.clear();
  Shown_ = -1;
  FillSelector();
  Table_->ShowRun(nullptr);
  Legend_->setText(QString());
  Export_->setEnabled(false);
}

void TreeDock::FollowDocument(const QString& dataFile) {
  if (dataFile != DataFile_ && !DataFile_.isEmpty()) Clear();
}

void TreeDock::ShowTree(int index) {
  if (index < 0 || index >= static_cast<int>(Run_.Trees.size()) || index == Shown_) return;
  Shown_ = index;
  Selector_->setCurrentIndex(index);
  Table_->SelectTree(index);
  Legend_->setText(LegendText(Run_.Trees[static_cast<size_t>(index)].TimeSeries));
  FitTableHeight();
  Export_->setEnabled(View_->ShowTree(Run_, index));
}

// The tables take the height their rows need, up to two fifths of the dock.
void TreeDock::FitTableHeight() {
  const int total = Split_->height();
  const int wanted = std::min(Table_->sizeHint().height(), total * 2 / 5);
  if (total > 0) Split_->setSizes({wanted, total - wanted});
}

// The window starts small, made for the editor alone; the first time the dock appears
// the window grows, within the screen, to make room for it, and stays on the screen.
void TreeDock::WidenWindowOnce() {
  auto* window = qobject_cast<QMainWindow*>(parentWidget());
  if (Widened_ || window == nullptr || window->isMaximized() || window->isFullScreen()) return;
  Widened_ = true;
  const QScreen* screen = window->screen();
  const QRect area = screen == nullptr ? window->frameGeometry() : screen->availableGeometry();
  const QSize margins = window->frameGeometry().size() - window->size();
  const int width =
      std::min(area.width() - margins.width(), std::max(window->width(), MinimumWindowWidth));
  const int height =
      std::min(area.height() - margins.height(), std::max(window->height(), MinimumWindowHeight));
  window->resize(width, height);
  window->resizeDocks({this}, {width * 3 / 5}, Qt::Horizontal);
  // Grown from where it stood, the window may now reach past the screen's edge: back inside.
  QRect frame(window->frameGeometry().topLeft(), QSize(width, height) + margins);
  frame.moveRight(std::min(frame.right(), area.right()));
  frame.moveBottom(std::min(frame.bottom(), area.bottom()));
  frame.moveLeft(std::max(frame.left(), area.left()));
  frame.moveTop(std::max(frame.top(), area.top()));
  window->move(frame.topLeft());
}

QString TreeDock::ExportTree(const QString& fileName) {
  for (const QString& used : FilesInUse_) {
    if (!used.isEmpty() && SameFile(QFile::encodeName(fileName).toStdString(),
                                    QFile::encodeName(used).toStdString())) {
      return QStringLiteral("it is %1, which the window uses; choose another name").arg(used);
    }
  }
  return View_->ExportTo(fileName);
}

void TreeDock::ExportWithDialog() {
  const QString fileName = AskExportFileName(this);
  if (fileName.isEmpty()) return;
  const QString error = ExportTree(fileName);
  if (!error.isEmpty()) {
    QMessageBox::critical(this, QStringLiteral("Export Tree"),
                          QStringLiteral("Cannot write \"%1\": %2").arg(fileName, error));
  }
}

bool SelectRuleLine(QPlainTextEdit* editor, int variant, int rule) {
  QTextBlock block = editor->document()->firstBlock();
  while (block.isValid() && block.text() != VariantLine(variant)) block = block.next();
  if (!block.isValid()) return false;
  // The rule must lie inside the variant's own block, before the next variant's heading.
  for (block = block.next(); block.isValid() && block.text() != RuleLine(rule); block = block.next()) {
    if (block.text().startsWith(QStringLiteral("Variant N"))) return false;
  }
  if (!block.isValid()) return false;
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  editor->setTextCursor(cursor);
  editor->centerCursor();
  editor->setFocus();
  return true;
}

}  // namespace tarmel
