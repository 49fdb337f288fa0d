// The Import Table dialog: a CSV or TSV table shown as a grid of its first 20 rows, each
// column headed by its name, detected type and value count, with the choices of the import
// (target column, delimiter, header row, missing markers, rows to predict). Every change
// imports the table again, so the grid, the list of changes and a refusal's reason always
// match what OK would put into the editor.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "table_import.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QTableWidgetItem;

namespace tarmel {

class TImportDialog : public QDialog {
  Q_OBJECT
 public:
  TImportDialog(const QString& fileName, QByteArray bytes, QWidget* parent = nullptr);

  const TImportResult& Result() const { return Result_; }

 private:
  void CreateChoices();
  void CreateGrid();
  void ConnectChoices();
  TImportOptions Options() const;
  void Reimport();
  void FillTargets();
  void FillColumnChoice(QComboBox* box, const QString& first);
  void FillGrid();
  void ShowOutcome();
  void ColumnTicked(QTableWidgetItem* item);

  QByteArray Bytes_;
  TImportResult Result_;
  bool Detecting_ = true;  // the first import detects the delimiter and the header row
  std::vector<int32_t> LeftOut_;  // columns (from 1) unticked in the preview

  QComboBox* TargetBox = nullptr;
  QComboBox* DelimiterBox = nullptr;
  QCheckBox* HeaderBox = nullptr;
  QLineEdit* MissingEdit = nullptr;
  QCheckBox* PredictBox = nullptr;         // rows to predict are marked ...
  QComboBox* PredictColumnBox = nullptr;   // ... in this column (the first item: the target)
  QLineEdit* PredictValueEdit = nullptr;   // ... by this value (missing cells when empty)
  QCheckBox* FirstRowsBox = nullptr;       // only the first learning rows a file may hold
  QTableWidget* PreviewGrid = nullptr;
  QLabel* Outcome = nullptr;
  QPlainTextEdit* ChangesView = nullptr;
  QDialogButtonBox* Buttons = nullptr;
};

struct TImportedTable {
  QString Text;  // the data file, lines separated by '\n'
  int32_t TargetFeature = 0;
};

// Reads the table and lets the user import it; nothing when the file cannot be read (after
// showError) or the dialog is cancelled.
std::optional<TImportedTable> ImportTableWithDialog(
    QWidget* parent, const QString& fileName,
    const std::function<void(const QString& message)>& showError);

// A file the Open dialog hands to the importer rather than to the editor.
bool IsTableFile(const QString& fileName);

// Writes FeatureToPredict into param.par, keeping its other values (the defaults when the
// file does not exist yet); false with the reason when it cannot.
bool SetFeatureToPredict(int32_t feature, QString& error);

}  // namespace tarmel
