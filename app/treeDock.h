// The dock beside the editor that shows what the last run found: the results table and
// the drawn tree of the variant chosen in the selector ("Tree 1 of 3"). Hidden until the
// first run, shown again after every run. A click on a leaf asks the window to show the
// leaf's rule in the report.
#pragma once

#include <QDockWidget>
#include <QString>
#include <functional>

#include "run_request.h"

class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QSplitter;

namespace tarmel {

class ResultsTable;
class TreeView;

class TreeDock : public QDockWidget {
  Q_OBJECT
 public:
  explicit TreeDock(QWidget* parent = nullptr);

  // Shows the dock with the run of the data file; the context names the target and the
  // folds above the results table.
  void ShowRun(RunResult run, const QString& dataFile = {}, const QString& context = {});
  // Forgets the run: the dock shows nothing until the next one.
  void Clear();
  // A document of another data file than the shown run's clears the dock.
  void FollowDocument(const QString& dataFile);
  void ShowTree(int index);
  const RunResult& LastRun() const { return Run_; }
  int ShownTree() const { return Shown_; }

  TreeView* View() const { return View_; }
  ResultsTable* Table() const { return Table_; }
  QComboBox* Selector() const { return Selector_; }
  // File > Export Tree...: enabled while a tree is shown.
  QAction* ExportAction() const { return Export_; }

  // Writes the shown tree; an empty text on success, otherwise the reason. A file the
  // window reads or writes (the data file, the report, the parameter file) is refused.
  QString ExportTree(const QString& fileName);
  void SetFilesInUse(const QStringList& files) { FilesInUse_ = files; }
  // The export's file dialog, replaceable so that tests can answer it; empty: cancelled.
  std::function<QString(QWidget* parent)> AskExportFileName;

 signals:
  void RuleRequested(int variant, int rule);

 private:
  QWidget* MakeToolRow();
  void ExportWithDialog();
  void WidenWindowOnce();
  void FitTableHeight();

  void FillSelector();

  RunResult Run_;
  QString DataFile_;  // the data file of the shown run
  int Shown_ = -1;
  bool Widened_ = false;
  QComboBox* Selector_ = nullptr;
  QLabel* Legend_ = nullptr;
  QSplitter* Split_ = nullptr;
  TreeView* View_ = nullptr;
  ResultsTable* Table_ = nullptr;
  QAction* Export_ = nullptr;
  QStringList FilesInUse_;
};

// Moves the editor's caret to the first line of rule `rule` in variant `variant`'s block
// of the report it shows and selects that line; false when the report has no such rule.
bool SelectRuleLine(QPlainTextEdit* editor, int variant, int rule);

}  // namespace tarmel
