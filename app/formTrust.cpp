// What the window does so that a run predicts what the user means with the values the
// user sees: the feature the next run predicts is always in the status bar; a run that
// would predict another feature of a file than the last run on it asks first; a run
// started with changed, unapplied values on the Parameters panel asks whether to apply
// them; and a file whose features do not reach FeatureToPredict is refused before the
// run, naming the field.
#include "formTrust.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include "data_header.h"
#include "formTarmel.h"
#include "param_file.h"
#include "runStatus.h"

namespace tarmel {

namespace {

const QString ParameterFile = QStringLiteral("param.par");
constexpr int TypingPauseMs = 300;

// The parameters of the next run as the file holds them; the defaults without the file.
std::optional<RunParameters> SavedParameters() {
  RunParameters params;
  const ParamFileResult read = ReadParameterFile(ParameterFile.toStdString(), params);
  if (read.Status == ParamFileStatus::NotFound) return RunParameters{};
  if (read.Status != ParamFileStatus::Ok) return std::nullopt;
  return params;
}

QString FileKey(const QString& fileName) { return QFileInfo(fileName).absoluteFilePath(); }

}  // namespace

QString AskImportFileName(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Import Table"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Tables (*.csv *.tsv)"),
                         QStringLiteral("CSV files (*.csv)"), QStringLiteral("TSV files (*.tsv)"),
                         QStringLiteral("All Files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

int AskChoice(QWidget* parent, const QString& question, const QStringList& answers) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Tarmel-TRELM"), question,
                  QMessageBox::Cancel, parent);
  QList<QAbstractButton*> buttons;
  for (const QString& answer : answers) buttons << box.addButton(answer, QMessageBox::AcceptRole);
  if (!buttons.isEmpty()) box.setDefaultButton(static_cast<QPushButton*>(buttons.constFirst()));
  box.exec();
  return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

// Beside Build Tree, where nothing covers it and a narrow window still has room.
void TForm1::CreateTargetLabel() {
  TargetLabel_ = new QLabel(this);
  TargetLabel_->setObjectName(QStringLiteral("NextTarget"));
  TargetLabel_->setToolTip(QStringLiteral("The feature the next Build Tree predicts "
                                          "(FeatureToPredict on the Parameters panel)"));
  TargetLabel_->setContentsMargins(8, 0, 4, 0);
  auto* tools = findChild<QToolBar*>(QStringLiteral("ActionToolBar1"));
  tools->addWidget(TargetLabel_);
  // Typed data changes the names; the label follows once the typing pauses.
  auto* pause = new QTimer(this);
  pause->setSingleShot(true);
  pause->setInterval(TypingPauseMs);
  connect(pause, &QTimer::timeout, this, &TForm1::ShowNextTarget);
  connect(RichEdit1, &QPlainTextEdit::textChanged, pause, [this, pause] {
    if (!ShowsReport_) pause->start();
  });
}

QString TForm1::NextTargetText() const {
  const std::optional<tarmel::RunParameters> saved = SavedParameters();
  if (!saved) return QStringLiteral("Predicts: %1 is unreadable").arg(ParameterFile);
  const int32_t feature = saved->FeatureToPredict;
  const TDataHeader header = ReadDataHeader(DataHeaderText().toStdString());
  if (header.FeaturesNumber > 0 && (feature < 1 || feature > header.FeaturesNumber)) {
    return QStringLiteral("Predicts: feature %1 (the data has %2)")
        .arg(feature)
        .arg(header.FeaturesNumber);
  }
  return QStringLiteral("Predicts: ") + FeatureText(header.FeatureNames, feature);
}

void TForm1::ShowNextTarget() { TargetLabel_->setText(NextTargetText()); }

// A run uses what the panel shows: unapplied changes are applied (after the checks of
// OK) or dropped, as the user answers. Either way the panel closes for the report.
bool TForm1::TakePanelBeforeRun() {
  if (GroupBox1->isHidden()) return true;
  const std::optional<tarmel::RunParameters> saved = SavedParameters();
  if (saved && PanelShows(*saved)) {
    ParamCancel();
    return true;
  }
  tarmel::RunParameters taken = RunParameters;
  if (!TakeParameterEdits(taken)) return false;
  const int answer = Dialogs_.Ask(
      this,
      QStringLiteral("The Parameters panel shows values that are not applied. Apply them "
                     "and build the tree with them?"),
      {QStringLiteral("Apply and Build"), QStringLiteral("Drop the Changes and Build")});
  if (answer < 0) return false;
  if (answer == 0) {
    RunParameters = taken;
    WriteRunParameters();
  }
  ParamCancel();
  return true;
}

// Before the run, once the data file is saved: the target must be one of its features,
// and when the last run on the file predicted another one, the user chooses.
bool TForm1::ConfirmTarget() {
  ShowNextTarget();  // param.par may have changed behind the window
  const TDataHeader header = ReadDataHeader(DataHeaderText().toStdString());
  int32_t& feature = RunParameters.FeatureToPredict;
  const QString name = QFileInfo(CurrentFileName).fileName();
  if (header.FeaturesNumber > 0 && (feature < 1 || feature > header.FeaturesNumber)) {
    Dialogs_.ShowError(this, QStringLiteral("FeatureToPredict on the Parameters panel is %1, "
                                            "but %2 has features 1 to %3. Set FeatureToPredict "
                                            "to the feature to predict.")
                                 .arg(feature)
                                 .arg(name)
                                 .arg(header.FeaturesNumber));
    return false;
  }
  const QString key = FileKey(CurrentFileName);
  const auto last = LastTargets_.constFind(key);
  if (last != LastTargets_.constEnd() && *last != feature) {
    const QString before = FeatureText(header.FeatureNames, *last);
    const QString now = FeatureText(header.FeatureNames, feature);
    const int answer = Dialogs_.Ask(
        this,
        QStringLiteral("The last run on %1 predicted %2. This run would predict %3 "
                       "(FeatureToPredict on the Parameters panel). Which one should it "
                       "predict?")
            .arg(name, before, now),
        {QStringLiteral("Predict %1").arg(now), QStringLiteral("Predict %1").arg(before)});
    if (answer < 0) return false;
    if (answer == 1) {
      feature = *last;
      WriteRunParameters();
      ShowNextTarget();
    }
  }
  LastTargets_.insert(key, feature);
  return true;
}

}  // namespace tarmel
