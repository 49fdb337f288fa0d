// Run > Tune...: the dialog works on the data file and the parameters the next Build Tree
// would use; what it applies goes into both the parameter file and the Parameters panel.
#include "formTarmel.h"
#include "tuneDialog.h"

namespace tarmel {

void TForm1::TuneExecute() {
  if (!ReadRunParameters() || !PrepareDataFile() || DataFileIsReport()) return;
  auto* dialog = new TuneDialog(RunParameters, CurrentFileName, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &TuneDialog::Applied, this, [this](const tarmel::RunParameters& params) {
    RunParameters = params;
    WriteRunParameters();
    FillParameterEdits();
    ShowStatus(QStringLiteral("Tuned parameters written to param.par"));
  });
  dialog->show();
}

}  // namespace tarmel
