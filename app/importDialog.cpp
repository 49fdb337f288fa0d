// The Import Table dialog and what the window needs around it: reading the table, telling
// tables from data files, and putting the target's number into param.par.
#include "importDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "param_file.h"

namespace tarmel {

namespace {

const QString ParameterFile = QStringLiteral("param.par");
constexpr int MaxLearningRows = 1000;  // the learning rows a data file holds

QString FromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString ColumnHeading(const TImportColumn& column) {
  const QString type = column.Numeric ? QStringLiteral("numeric") : QStringLiteral("nominal");
  return QStringLiteral("%1\n%2, %3 values")
      .arg(FromUtf8(column.Name), type)
      .arg(column.ValuesNumber);
}

QString ColumnPlace(const TImportColumn& column) {
  if (column.Feature == 0) return QStringLiteral("not written to the data file");
  return QStringLiteral("feature %1 of the data file; %2 missing cells")
      .arg(column.Feature)
      .arg(column.MissingCells);
}

}  // namespace

TImportDialog::TImportDialog(const QString& fileName, QByteArray bytes, QWidget* parent)
    : QDialog(parent), Bytes_(std::move(bytes)) {
  setObjectName(QStringLiteral("ImportDialog"));
  setWindowTitle(QStringLiteral("Import Table - %1").arg(QFileInfo(fileName).fileName()));
  setCursor(Qt::ArrowCursor);
  resize(720, 560);
  CreateChoices();
  CreateGrid();
  ConnectChoices();
  Reimport();
}

void TImportDialog::CreateChoices() {
  auto* form = new QFormLayout;
  TargetBox = new QComboBox(this);
  TargetBox->setObjectName(QStringLiteral("TargetBox"));
  DelimiterBox = new QComboBox(this);
  DelimiterBox->setObjectName(QStringLiteral("DelimiterBox"));
  DelimiterBox->addItem(QStringLiteral("Comma"), QChar(','));
  DelimiterBox->addItem(QStringLiteral("Semicolon"), QChar(';'));
  DelimiterBox->addItem(QStringLiteral("Tab"), QChar('\t'));
  HeaderBox = new QCheckBox(QStringLiteral("The first row holds the column names"), this);
  HeaderBox->setObjectName(QStringLiteral("HeaderBox"));
  MissingEdit = new QLineEdit(QStringLiteral("NA ? NaN"), this);
  MissingEdit->setObjectName(QStringLiteral("MissingEdit"));
  MissingEdit->setToolTip(
      QStringLiteral("Cells equal to one of these (separated by blanks) "
                     "are missing; empty cells always are."));
  PredictBox = new QCheckBox(QStringLiteral("Rows to predict: where"), this);
  PredictBox->setObjectName(QStringLiteral("PredictBox"));
  PredictBox->setChecked(true);
  PredictColumnBox = new QComboBox(this);
  PredictColumnBox->setObjectName(QStringLiteral("PredictColumnBox"));
  PredictValueEdit = new QLineEdit(this);
  PredictValueEdit->setObjectName(QStringLiteral("PredictValueEdit"));
  PredictValueEdit->setPlaceholderText(QStringLiteral("(missing)"));
  PredictValueEdit->setToolTip(QStringLiteral("Empty: the rows whose cell is missing (empty or "
                                              "one of the missing cells' markers)"));
  FirstRowsBox = new QCheckBox(QStringLiteral("Take only the first %1 learning rows").arg(MaxLearningRows), this);
  FirstRowsBox->setObjectName(QStringLiteral("FirstRowsBox"));
  auto* predict = new QHBoxLayout;
  predict->addWidget(PredictBox);
  predict->addWidget(PredictColumnBox, 1);
  predict->addWidget(new QLabel(QStringLiteral("is"), this));
  predict->addWidget(PredictValueEdit, 1);
  form->addRow(QStringLiteral("&Target column:"), TargetBox);
  form->addRow(QStringLiteral("&Delimiter:"), DelimiterBox);
  form->addRow(QString(), HeaderBox);
  form->addRow(QStringLiteral("&Missing cells:"), MissingEdit);
  form->addRow(QString(), predict);
  form->addRow(QString(), FirstRowsBox);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
}

void TImportDialog::CreateGrid() {
  PreviewGrid = new QTableWidget(this);
  PreviewGrid->setObjectName(QStringLiteral("PreviewGrid"));
  PreviewGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PreviewGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Outcome = new QLabel(this);
  Outcome->setObjectName(QStringLiteral("Outcome"));
  Outcome->setWordWrap(true);
  ChangesView = new QPlainTextEdit(this);
  ChangesView->setObjectName(QStringLiteral("ChangesView"));
  ChangesView->setReadOnly(true);
  ChangesView->setMaximumHeight(110);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = static_cast<QVBoxLayout*>(this->layout());
  layout->addWidget(PreviewGrid, 1);
  layout->addWidget(Outcome);
  layout->addWidget(ChangesView);
  layout->addWidget(Buttons);
}

void TImportDialog::ConnectChoices() {
  connect(TargetBox, &QComboBox::currentIndexChanged, this, &TImportDialog::Reimport);
  connect(DelimiterBox, &QComboBox::currentIndexChanged, this, &TImportDialog::Reimport);
  connect(HeaderBox, &QCheckBox::toggled, this, &TImportDialog::Reimport);
  connect(MissingEdit, &QLineEdit::editingFinished, this, &TImportDialog::Reimport);
  connect(PredictBox, &QCheckBox::toggled, this, &TImportDialog::Reimport);
  connect(PredictColumnBox, &QComboBox::currentIndexChanged, this, &TImportDialog::Reimport);
  connect(PredictValueEdit, &QLineEdit::editingFinished, this, &TImportDialog::Reimport);
  connect(FirstRowsBox, &QCheckBox::toggled, this, &TImportDialog::Reimport);
  connect(PreviewGrid, &QTableWidget::itemChanged, this, &TImportDialog::ColumnTicked);
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TImportOptions TImportDialog::Options() const {
  TImportOptions options;
  if (!Detecting_) {
    options.Delimiter = static_cast<char>(DelimiterBox->currentData().toChar().unicode());
    options.Header = HeaderBox->isChecked() ? HeaderChoice::Present : HeaderChoice::Absent;
  }
  options.MissingMarkers = {""};
  for (const QString& marker : MissingEdit->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    options.MissingMarkers.push_back(marker.toStdString());
  }
  options.Target = TargetBox->currentText().toStdString();
  if (PredictColumnBox->currentIndex() > 0) {
    options.PredictColumn = PredictColumnBox->currentText().toStdString();
  }
  options.PredictValue = PredictValueEdit->text().toStdString();
  options.PredictMissing = PredictValueEdit->text().isEmpty();
  if (!PredictBox->isChecked()) options.PredictValue.reset();
  if (FirstRowsBox->isChecked()) options.FirstLearningRows = MaxLearningRows;
  options.LeftOutColumns = LeftOut_;
  return options;
}

void TImportDialog::Reimport() {
  const TImportOptions options = Options();
  Result_ = ImportTable(std::string_view(Bytes_.constData(), static_cast<size_t>(Bytes_.size())),
                        options);
  if (Detecting_) {
    const QSignalBlocker delimiter(DelimiterBox), header(HeaderBox);
    DelimiterBox->setCurrentIndex(DelimiterBox->findData(QChar(Result_.Delimiter)));
    HeaderBox->setChecked(Result_.HasHeader);
    Detecting_ = false;
  }
  FillTargets();
  // Other columns (another delimiter or header row) may no longer hold the chosen ones.
  const TImportOptions again = Options();
  if (again.Target != options.Target || again.PredictColumn != options.PredictColumn) {
    Result_ = ImportTable(std::string_view(Bytes_.constData(), static_cast<size_t>(Bytes_.size())),
                          again);
  }
  FillGrid();
  ShowOutcome();
}

// The column names, keeping the chosen target when it is still there and taking the last
// column otherwise, as the importer does; the marking column likewise, the target first.
void TImportDialog::FillTargets() {
  FillColumnChoice(TargetBox, {});
  FillColumnChoice(PredictColumnBox, QStringLiteral("the target"));
}

void TImportDialog::FillColumnChoice(QComboBox* box, const QString& first) {
  const QSignalBlocker block(box);
  const QString chosen = box->currentText();
  box->clear();
  if (!first.isEmpty()) box->addItem(first);
  for (const TImportColumn& column : Result_.Columns) box->addItem(FromUtf8(column.Name));
  const int kept = box->findText(chosen);
  box->setCurrentIndex(kept >= 0 ? kept : (first.isEmpty() ? box->count() - 1 : 0));
}

// The first row of the grid holds a tick per column: unticked columns are left out.
void TImportDialog::FillGrid() {
  const QSignalBlocker block(PreviewGrid);
  PreviewGrid->clear();
  PreviewGrid->setColumnCount(static_cast<int>(Result_.Columns.size()));
  PreviewGrid->setRowCount(static_cast<int>(Result_.Preview.size()) + 1);
  PreviewGrid->setVerticalHeaderItem(0, new QTableWidgetItem(QStringLiteral("Use")));
  for (int c = 0; c < PreviewGrid->columnCount(); ++c) {
    auto* tick = new QTableWidgetItem;
    tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    const bool leftOut = std::find(LeftOut_.begin(), LeftOut_.end(), c + 1) != LeftOut_.end();
    tick->setCheckState(leftOut ? Qt::Unchecked : Qt::Checked);
    PreviewGrid->setItem(0, c, tick);
  }
  for (int c = 0; c < PreviewGrid->columnCount(); ++c) {
    const TImportColumn& column = Result_.Columns[static_cast<size_t>(c)];
    auto* heading = new QTableWidgetItem(ColumnHeading(column));
    heading->setToolTip(ColumnPlace(column));
    PreviewGrid->setHorizontalHeaderItem(c, heading);
  }
  for (int r = 1; r < PreviewGrid->rowCount(); ++r) {
    const auto& row = Result_.Preview[static_cast<size_t>(r - 1)];
    PreviewGrid->setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(r)));
    for (int c = 0; c < PreviewGrid->columnCount() && c < static_cast<int>(row.size()); ++c) {
      PreviewGrid->setItem(r, c, new QTableWidgetItem(FromUtf8(row[static_cast<size_t>(c)])));
    }
  }
}

void TImportDialog::ColumnTicked(QTableWidgetItem* item) {
  if (item->row() != 0) return;
  const int32_t column = item->column() + 1;
  LeftOut_.erase(std::remove(LeftOut_.begin(), LeftOut_.end(), column), LeftOut_.end());
  if (item->checkState() == Qt::Unchecked) LeftOut_.push_back(column);
  // Reimporting rebuilds the grid, this item with it.
  QMetaObject::invokeMethod(this, &TImportDialog::Reimport, Qt::QueuedConnection);
}

void TImportDialog::ShowOutcome() {
  QStringList changes;
  for (const std::string& change : Result_.Changes) changes << FromUtf8(change);
  ChangesView->setPlainText(changes.join(QLatin1Char('\n')));
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(Result_.Ok);
  if (!Result_.Ok) {
    Outcome->setStyleSheet(QStringLiteral("color: #b00000"));
    QString message = FromUtf8(Result_.Message);
    // Over a limit, the way out is at hand.
    if (message.contains(QStringLiteral("a data file holds at most"))) {
      message += QStringLiteral(" Tick \"%1\" or untick columns in the first row of the "
                                "preview.").arg(FirstRowsBox->text());
    }
    Outcome->setText(message);
    return;
  }
  Outcome->setStyleSheet(QString());
  Outcome->setText(QStringLiteral("%1 learning rows and %2 rows to predict; the target is "
                                  "feature %3 of the data file.")
                       .arg(Result_.LearningRows)
                       .arg(Result_.PredictionRows)
                       .arg(Result_.TargetFeature));
}

std::optional<TImportedTable> ImportTableWithDialog(
    QWidget* parent, const QString& fileName,
    const std::function<void(const QString& message)>& showError) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    showError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    return std::nullopt;
  }
  TImportDialog dialog(fileName, file.readAll(), parent);
  if (dialog.exec() != QDialog::Accepted || !dialog.Result().Ok) return std::nullopt;
  QString text = FromUtf8(dialog.Result().DataText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return TImportedTable{text, dialog.Result().TargetFeature};
}

bool IsTableFile(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  return suffix == QLatin1String("csv") || suffix == QLatin1String("tsv");
}

bool SetFeatureToPredict(int32_t feature, QString& error) {
  RunParameters params;
  ParamFileResult read = ReadParameterFile(ParameterFile.toStdString(), params);
  if (read.Status != ParamFileStatus::Ok && read.Status != ParamFileStatus::NotFound) {
    error = QString::fromStdString(read.Message);
    return false;
  }
  params.FeatureToPredict = feature;
  const ParamFileResult written = WriteParameterFile(ParameterFile.toStdString(), params);
  error = QString::fromStdString(written.Message);
  return written.Status == ParamFileStatus::Ok;
}

}  // namespace tarmel
