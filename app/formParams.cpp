// The Parameters panel of the main window and the parameter file param.par behind it. The
// panel shows six of the nine run parameters; OK writes all nine to the file, and Build
// Tree reads them back from the file before every run, so the file, not the panel, is what
// a run uses. Without the file a run uses the defaults and leaves the file uncreated.
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

}  // namespace

QLineEdit* TForm1::AddLabelledEdit(const char* name, const QString& label, int x, int y,
                                   bool visible) {
  auto* edit = new QLineEdit(GroupBox1);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(x, y, EditWidth, EditHeight);
  auto* caption = new QLabel(label, GroupBox1);
  caption->setBuddy(edit);
  caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int width = caption->fontMetrics().horizontalAdvance(label) + 2;
  caption->setGeometry(x - LabelGap - width, y, width, EditHeight);
  edit->setVisible(visible);
  caption->setVisible(visible);
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
  CreateOrderingControls();
  OK = new QPushButton(QStringLiteral("OK"), GroupBox1);
  OK->setObjectName(QStringLiteral("OK"));
  OK->setGeometry(280, 192, 49, 41);
  OK->setCursor(Qt::PointingHandCursor);
  connect(OK, &QPushButton::clicked, this, &TForm1::OKClick);
  LagEdit = AddLabelledEdit("LagEdit", "Lag", 152, 216, false);

  const QWidget* order[] = {Recursive_Embedding, Homogeneity, VariantsNumber, FeatureToPredict,
                            FoldsCrossValidate, MinObj, TimeBox, OK, LagEdit};
  for (size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
  GroupBox1->hide();
}

// The ordering choice and the lag exist but stay hidden: only the file sets them.
void TForm1::CreateOrderingControls() {
  TimeBox = new QComboBox(GroupBox1);
  TimeBox->setObjectName(QStringLiteral("TimeBox"));
  TimeBox->setEditable(true);
  TimeBox->addItems({QStringLiteral("No ordering (data table)"), QStringLiteral("Time series")});
  TimeBox->setCurrentIndex(-1);
  TimeBox->setEditText(QStringLiteral("Ordering"));
  TimeBox->setGeometry(22, 176, 177, EditHeight);
  TimeBox->hide();
  connect(TimeBox, &QComboBox::currentIndexChanged, this, &TForm1::TimeBoxChange);
  connect(TimeBox, &QComboBox::editTextChanged, this, &TForm1::TimeBoxChange);
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

void TForm1::ParamDialogExecute() {
  if (QFile::exists(ParameterFile)) {
    if (!ReadRunParameters()) RunParameters = tarmel::RunParameters{};
  } else {
    RunParameters = tarmel::RunParameters{};
    WriteRunParameters();
  }
  GroupBox1->show();
  GroupBox1->raise();
  FillParameterEdits();
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
  Recursive_Embedding->setText(RealText(RunParameters.RecursiveComplexity, 3, 2));
  Homogeneity->setText(RealText(RunParameters.Homogeneity, 4, 3));
  MinObj->setText(RealText(RunParameters.MinObj, 4, 3));
  VariantsNumber->setText(QString::number(RunParameters.VariantsNumber));
  FeatureToPredict->setText(QString::number(RunParameters.FeatureToPredict));
  FoldsCrossValidate->setText(QString::number(RunParameters.FoldsCrossValidate));
  LagEdit->setText(QString::number(RunParameters.Lag));
}

void TForm1::OKClick() {
  RunParameters.RecursiveComplexity = EditTextToReal(Recursive_Embedding->text());
  RunParameters.Homogeneity = EditTextToReal(Homogeneity->text());
  RunParameters.MinObj = EditTextToReal(MinObj->text());
  RunParameters.VariantsNumber = EditTextToInt(VariantsNumber->text());
  RunParameters.FeatureToPredict = EditTextToInt(FeatureToPredict->text());
  RunParameters.FoldsCrossValidate = EditTextToInt(FoldsCrossValidate->text());
  if (LagEdit->isEnabled()) RunParameters.Lag = EditTextToInt(LagEdit->text());
  GroupBox1->hide();
  WriteRunParameters();
}

void TForm1::TimeBoxChange() {
  // Typed text selects the item it names exactly, and no item otherwise.
  RunParameters.Ordering = TimeBox->findText(TimeBox->currentText(), Qt::MatchExactly);
  LagEdit->setEnabled(RunParameters.Ordering != 0);
}

}  // namespace tarmel
