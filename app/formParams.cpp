// The Parameters panel of the main window and the parameter file param.par behind it. The
// panel shows eight of the nine run parameters (only the file holds ErrorWeight); OK writes
// all nine to the file, and Build Tree reads them back from the file before every run;
// with the panel open and changed, Build Tree first asks whether to apply its values, so
// a run never uses values other than those the panel shows. Without the file the panel
// shows the defaults and a run uses them; only OK creates the file. OK refuses an edit that
// a run could not use, naming the field and the reason, so a typing slip never becomes a
// silent 0.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cmath>

#include "data_header.h"
#include "editNumbers.h"
#include "formTarmel.h"
#include "param_file.h"
#include "report_format.h"

namespace tarmel {

namespace {

const QString ParameterFile = QStringLiteral("param.par");
constexpr int EditWidth = 41;
constexpr int EditHeight = 21;
constexpr int LabelGap = 3;

QFont PanelFont() {
  return PixelFont(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QFont::SansSerif, 13);
}

QString RealText(double x, int width, int decimals) {
  return QString::fromStdString(FormatReal(x, width, decimals)).trimmed();
}

// Why an edit's text gives no number of the field's kind. A real beyond the doubles
// counts as no number.
QString NumberProblem(const QString& text, bool whole) {
  if (text.trimmed().isEmpty()) return QStringLiteral("nothing is entered");
  if (whole && EditTextToReal(text)) {
    return QStringLiteral("\"%1\" is not a whole number from -2147483648 to 2147483647")
        .arg(text.trimmed());
  }
  return QStringLiteral("\"%1\" is not a number").arg(text.trimmed());
}

QString RealProblem(const QString& text, double& value, bool nonNegative) {
  const std::optional<double> number = EditTextToReal(text);
  if (!number) return NumberProblem(text, false);
  if (nonNegative && *number < 0) {
    return QStringLiteral("%1 is negative; a run needs 0 or more").arg(text.trimmed());
  }
  value = *number;
  return {};
}

QString IntProblem(const QString& text, int32_t& value) {
  const std::optional<int32_t> number = EditTextToInt(text);
  if (!number) return NumberProblem(text, true);
  value = *number;
  return {};
}

// A time series needs an earlier time to predict from and a time left to predict; with
// no data document only the lower bound is known.
QString LagProblem(int32_t lag, int32_t objects, const QString& fileName) {
  if (lag < 1) {
    return QStringLiteral("%1 is less than 1; a time-series run needs a lag of at least 1")
        .arg(lag);
  }
  if (objects > 0 && lag >= objects) {
    return QStringLiteral("%1 is not less than the number of objects of %2, %3")
        .arg(lag)
        .arg(fileName)
        .arg(objects);
  }
  return {};
}

// The edits' texts for the parameters, in the order of ParameterEdits.
QStringList EditTexts(const RunParameters& p) {
  return {RealText(p.RecursiveComplexity, 3, 2), RealText(p.Homogeneity, 4, 3),
          QString::number(p.VariantsNumber),     QString::number(p.FeatureToPredict),
          QString::number(p.FoldsCrossValidate), RealText(p.MinObj, 4, 3),
          QString::number(p.Lag)};
}

}  // namespace

QLineEdit* TForm1::AddLabelledEdit(const char* name, const QString& label, int x, int y) {
  auto* edit = new QLineEdit(GroupBox1);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAccessibleName(label);
  edit->setGeometry(x, y, EditWidth, EditHeight);
  auto* caption = new QLabel(label, GroupBox1);
  caption->setBuddy(edit);
  caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int width = caption->fontMetrics().horizontalAdvance(label) + 2;
  caption->setGeometry(x - LabelGap - width, y, width, EditHeight);
  connect(edit, &QLineEdit::returnPressed, this, &TForm1::OKClick);  // Enter is OK
  return edit;
}

void TForm1::CreateParameterPanel() {
  GroupBox1 = new QGroupBox(QStringLiteral("Parameters"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(19, 70, 404, 251);
  GroupBox1->setFont(PanelFont());
  GroupBox1->setAutoFillBackground(true);
  QPalette sky = GroupBox1->palette();
  sky.setColor(QPalette::Window, QColor(166, 202, 240));
  GroupBox1->setPalette(sky);
  GroupBox1->setCursor(Qt::ArrowCursor);

  Recursive_Embedding = AddLabelledEdit("Recursive_Embedding", "RecursiveComplexity", 152, 48);
  Homogeneity = AddLabelledEdit("Homogeneity", "Homogeneity", 152, 88);
  VariantsNumber = AddLabelledEdit("VariantsNumber", "VariantsNumber", 328, 48);
  FeatureToPredict = AddLabelledEdit("FeatureToPredict", "FeatureToPredict", 328, 88);
  FoldsCrossValidate = AddLabelledEdit("FoldsCrossValidate", "FoldsCrossValidate", 328, 128);
  MinObj = AddLabelledEdit("MinObj", "MinObjInNode", 152, 128);
  CreateFeatureNameLabel();
  CreateOrderingControls();
  OK = new QPushButton(QStringLiteral("OK"), GroupBox1);
  OK->setObjectName(QStringLiteral("OK"));
  OK->setGeometry(280, 192, 49, 41);
  OK->setCursor(Qt::PointingHandCursor);
  connect(OK, &QPushButton::clicked, this, &TForm1::OKClick);
  LagEdit = AddLabelledEdit("LagEdit", "Lag", 152, 216);

  const QWidget* order[] = {Recursive_Embedding, Homogeneity, VariantsNumber, FeatureToPredict,
                            FoldsCrossValidate, MinObj, TimeBox, OK, LagEdit};
  for (size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
  GroupBox1->hide();
}

// The lag counts only in time-series ordering, so it is enabled only there.
void TForm1::CreateOrderingControls() {
  TimeBox = new QComboBox(GroupBox1);
  TimeBox->setObjectName(QStringLiteral("TimeBox"));
  TimeBox->setEditable(true);
  TimeBox->addItems({QStringLiteral("No ordering (data table)"), QStringLiteral("Time series")});
  TimeBox->setCurrentIndex(-1);
  TimeBox->setEditText(QStringLiteral("Ordering"));
  TimeBox->setGeometry(22, 176, 177, EditHeight);
  connect(TimeBox, &QComboBox::currentIndexChanged, this, &TForm1::TimeBoxChange);
  connect(TimeBox, &QComboBox::editTextChanged, this, &TForm1::TimeBoxChange);
}

// Under the FeatureToPredict edit, right-aligned with it: beside it there is no room for
// a name of 20 characters.
void TForm1::CreateFeatureNameLabel() {
  FeatureName = new QLabel(GroupBox1);
  FeatureName->setObjectName(QStringLiteral("FeatureName"));
  FeatureName->setAlignment(Qt::AlignRight | Qt::AlignTop);
  const QRect edit = FeatureToPredict->geometry();
  FeatureName->setGeometry(200, edit.bottom() + 2, edit.right() - 200 + 1, 17);
  connect(FeatureToPredict, &QLineEdit::textChanged, this, &TForm1::ShowFeatureName);
}

// The text of the data document: the editor's while it holds the document (saved or
// not), otherwise the document's file; empty when there is no data document.
QString TForm1::DataHeaderText() const {
  if (!ShowsReport_ && !CurrentFileName.isEmpty()) return EditorText();
  if (!HasNamedDocument()) return {};
  DecodedText loaded;
  QString reason;
  return LoadTextFile(CurrentFileName, loaded, reason) ? loaded.Text : QString();
}

void TForm1::ShowFeatureName() {
  const std::optional<int32_t> number = EditTextToInt(FeatureToPredict->text());
  const auto count = static_cast<int32_t>(FeatureNames_.size());
  if (count == 0 || !number) {
    FeatureName->clear();
  } else if (*number < 1 || *number > count) {
    FeatureName->setText(QStringLiteral("features 1 to %1").arg(count));
  } else {
    FeatureName->setText(QStringLiteral("%1 = %2").arg(*number).arg(
        QString::fromUtf8(FeatureNames_[static_cast<size_t>(*number - 1)])));
  }
}

// A missing file gives the defaults; one that is there but cannot be read, or holds no
// nine numbers, is reported and stops the caller.
bool TForm1::ReadRunParameters() {
  QFile file(ParameterFile);
  if (file.exists() && !file.open(QIODevice::ReadOnly)) {
    ShowFileError(QStringLiteral("Cannot read"), ParameterFile, file.errorString());
    return false;
  }
  file.close();
  tarmel::RunParameters read;
  const ParamFileResult result = ReadParameterFile(ParameterFile.toStdString(), read);
  if (result.Status == ParamFileStatus::Malformed) {
    Dialogs_.ShowError(this, QString::fromStdString(result.Message));
    return false;
  }
  RunParameters = read;
  return true;
}

void TForm1::WriteRunParameters() {
  const ParamFileResult result = WriteParameterFile(ParameterFile.toStdString(), RunParameters);
  if (result.Status != ParamFileStatus::Ok) {
    Dialogs_.ShowError(this, QString::fromStdString(result.Message));
  }
}

// Without the file the panel shows the defaults; OK writes them. Typing goes to the
// panel, not to the document behind it.
void TForm1::ParamDialogExecute() {
  if (!QFile::exists(ParameterFile) || !ReadRunParameters()) {
    RunParameters = tarmel::RunParameters{};
  }
  const TDataHeader header = ReadDataHeader(DataHeaderText().toStdString());
  FeatureNames_ = header.FeatureNames;
  DataObjects_ = header.ObjectsNumber;
  GroupBox1->show();
  GroupBox1->raise();
  FillParameterEdits();
  ShowFeatureName();
  Recursive_Embedding->setFocus();
  Recursive_Embedding->selectAll();
}

void TForm1::FillParameterEdits() {
  {
    // Showing the file's ordering is not a change of it: an ordering without an item of
    // its own would otherwise turn into -1.
    const QSignalBlocker quiet(TimeBox);
    TimeBox->setCurrentIndex(RunParameters.Ordering == 0 || RunParameters.Ordering == 1
                                 ? RunParameters.Ordering
                                 : -1);
  }
  LagEdit->setEnabled(RunParameters.Ordering != 0);
  const QStringList texts = EditTexts(RunParameters);
  const auto edits = ParameterEdits();
  for (size_t i = 0; i < edits.size(); ++i) edits[i]->setText(texts.value(static_cast<qsizetype>(i)));
}

std::array<QLineEdit*, 7> TForm1::ParameterEdits() const {
  return {Recursive_Embedding, Homogeneity, VariantsNumber, FeatureToPredict,
          FoldsCrossValidate,  MinObj,      LagEdit};
}

// Whether the panel shows the parameters as FillParameterEdits would: the same texts in
// the edits in use and the same ordering.
bool TForm1::PanelShows(const tarmel::RunParameters& params) const {
  const int ordering = params.Ordering == 0 || params.Ordering == 1 ? params.Ordering : -1;
  if (TimeBox->currentIndex() != ordering) return false;
  const QStringList texts = EditTexts(params);
  const auto edits = ParameterEdits();
  for (size_t i = 0; i < edits.size(); ++i) {
    const QString shown = texts.value(static_cast<qsizetype>(i));
    if (edits[i]->isEnabled() && edits[i]->text().trimmed() != shown) return false;
  }
  return true;
}

void TForm1::OKClick() {
  tarmel::RunParameters taken = RunParameters;
  if (!TakeParameterEdits(taken)) return;
  RunParameters = taken;
  GroupBox1->hide();
  RichEdit1->setFocus();
  WriteRunParameters();
  ShowNextTarget();
}

void TForm1::ParamCancel() {
  GroupBox1->hide();
  RichEdit1->setFocus();
}

// The edits in tab order; the first one a run could not use is refused. The lag counts
// only while it is in use.
bool TForm1::TakeParameterEdits(tarmel::RunParameters& taken) {
  const auto accept = [this](QLineEdit* edit, const QString& problem) {
    if (!problem.isEmpty()) RefuseEdit(edit, problem);
    return problem.isEmpty();
  };
  return accept(Recursive_Embedding,
                RealProblem(Recursive_Embedding->text(), taken.RecursiveComplexity, true)) &&
         accept(Homogeneity, RealProblem(Homogeneity->text(), taken.Homogeneity, false)) &&
         accept(VariantsNumber, IntProblem(VariantsNumber->text(), taken.VariantsNumber)) &&
         accept(FeatureToPredict, IntProblem(FeatureToPredict->text(), taken.FeatureToPredict)) &&
         accept(FeatureToPredict, FeatureProblem(taken.FeatureToPredict)) &&
         accept(FoldsCrossValidate,
                IntProblem(FoldsCrossValidate->text(), taken.FoldsCrossValidate)) &&
         accept(MinObj, RealProblem(MinObj->text(), taken.MinObj, true)) &&
         (!LagEdit->isEnabled() ||
          (accept(LagEdit, IntProblem(LagEdit->text(), taken.Lag)) &&
           accept(LagEdit, LagProblem(taken.Lag, DataObjects_,
                                      QFileInfo(CurrentFileName).fileName()))));
}

// The run refuses a target outside the file's features; with no data document only the
// lower bound is known.
QString TForm1::FeatureProblem(int32_t feature) const {
  const auto count = static_cast<int32_t>(FeatureNames_.size());
  if (count > 0 && (feature < 1 || feature > count)) {
    return QStringLiteral("%1 is not a feature of %2, whose features are 1 to %3")
        .arg(feature)
        .arg(QFileInfo(CurrentFileName).fileName())
        .arg(count);
  }
  if (feature < 1) return QStringLiteral("%1 is not a feature; features count from 1").arg(feature);
  return {};
}

void TForm1::RefuseEdit(QLineEdit* edit, const QString& problem) {
  Dialogs_.ShowError(this, QStringLiteral("%1: %2.").arg(edit->accessibleName(), problem));
  edit->setFocus();
  edit->selectAll();
}

void TForm1::TimeBoxChange() {
  // Typed text selects the item it names exactly, and no item otherwise.
  RunParameters.Ordering = TimeBox->findText(TimeBox->currentText(), Qt::MatchExactly);
  LagEdit->setEnabled(RunParameters.Ordering != 0);
}

}  // namespace tarmel
