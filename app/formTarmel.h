// The main window: a plain-text editor with the File, Edit, Run and Help menus, the tool
// bar, a status bar of three panels and the hidden Parameters panel. Build Tree runs the
// engine on a worker thread over the current document and then shows the report in the
// editor; the document keeps naming the data file.
#pragma once

#include <QFont>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <vector>

#include "textFile.h"
#include "treeTarmel.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tarmel {

class FindReplaceDialog;
class RunWorker;

// The window's questions to the user, replaceable so that tests can answer them.
struct TForm1Dialogs {
  std::function<QString(QWidget* parent)> AskOpenFileName;  // empty when cancelled
  std::function<QString(QWidget* parent, const QString& folder)> AskSaveFileName;
  std::function<bool(QWidget* parent)> ConfirmStop;  // true for Yes to "Stop?"
  std::function<void(QWidget* parent, const QString& message)> ShowError;
  std::function<void()> EndProgram;  // ends the process at once with exit code 0
};
TForm1Dialogs StandardDialogs();

// A font of the given pixel height, falling back to a metric-compatible family where the
// first one is not installed.
QFont PixelFont(const QString& family, const QString& fallback, QFont::StyleHint hint,
                int pixels);

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(TForm1Dialogs dialogs = StandardDialogs(), QWidget* parent = nullptr);
  ~TForm1() override;

  QString CurrentFileName;  // the document, and the data file of the next run
  QString ReportFileName;   // "output.txt" once Build Tree has shown a report
  QString LastLoadedFile;   // the file whose text was last put into the editor
  tarmel::RunParameters RunParameters{0.0, 0.0, 0.0, 0.0, 0, 0, 0, 0, 0};

  QString PanelText(int panel) const;
  bool IsRunning() const;

  void FormCreate();
  void FileNewExecute();
  void FileOpen1Execute();  // the open dialog, then FileOpen1Accept
  void FileOpen1Accept(const QString& fileName);
  void FileImportTableExecute();  // the open dialog, then FileImportTableAccept
  void FileImportTableAccept(const QString& fileName);
  void FileSaveExecute();
  void FileSaveAs1Execute();  // FileSaveAs1BeforeExecute, the save dialog, FileSaveAs1Accept
  void FileSaveAs1BeforeExecute();
  void FileSaveAs1Accept(const QString& fileName);
  void TreeBuildExecute();  // starts the run; BuildFinished follows
  void StopBuildingExecute();
  void RichEdit1SelectionChange();
  void ParamDialogExecute();
  void OKClick();
  void TimeBoxChange();

 signals:
  void BuildFinished();  // the run has ended and its report, if any, is shown

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* MakeAction(const char* name, const QString& caption, const QString& hint,
                      const QString& icon = {});
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateEditor();
  void CreateStatusBar();
  void CreateParameterPanel();
  QLineEdit* AddLabelledEdit(const char* name, const QString& label, int x, int y,
                             bool visible = true);
  void CreateOrderingControls();
  void ConnectActions();

  void SetPanel(int panel, const QString& text);
  void ShowFileError(const QString& what, const QString& fileName, const QString& reason);
  bool LoadIntoEditor(const QString& fileName);
  bool SaveEditorTo(const QString& fileName);
  QString EditorText() const;
  bool SaveNeedsName() const;
  bool DataFileIsReport();

  bool ReadRunParameters();
  void FillParameterEdits();
  void WriteRunParameters();

  void SetRunning(bool running);
  void UpdateClipboardActions();
  void RunFinished();
  void ShowSearchDialog(FindReplaceDialog*& dialog, bool replacing);
  void ShowDataFormatHelp();
  void ShowAbout();

  TForm1Dialogs Dialogs_;
  TextEncoding Encoding_ = TextEncoding::Utf8;  // of the text in the editor
  bool ShowsReport_ = false;  // the editor holds the last report, not a document
  QString SaveAsFolder_;      // initial folder of the next save dialog

  QAction* FileNew = nullptr;
  QAction* FileOpen1 = nullptr;
  QAction* FileImportTable = nullptr;
  QAction* FileSave = nullptr;
  QAction* FileSaveAs1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* EditCut1 = nullptr;
  QAction* EditCopy1 = nullptr;
  QAction* EditPaste1 = nullptr;
  QAction* SearchFind1 = nullptr;
  QAction* SearchReplace1 = nullptr;
  QAction* ParamDialog = nullptr;
  QAction* TreeBuild = nullptr;
  QAction* StopBuilding = nullptr;
  QAction* HelpDataFormat = nullptr;
  QAction* HelpAbout = nullptr;
  std::vector<QAction*> Actions_;  // every action above, in this order

  QPlainTextEdit* RichEdit1 = nullptr;
  QLabel* Panels_[3] = {};
  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* Recursive_Embedding = nullptr;
  QLineEdit* Homogeneity = nullptr;
  QLineEdit* VariantsNumber = nullptr;
  QLineEdit* FeatureToPredict = nullptr;
  QLineEdit* FoldsCrossValidate = nullptr;
  QLineEdit* MinObj = nullptr;
  QComboBox* TimeBox = nullptr;
  QPushButton* OK = nullptr;
  QLineEdit* LagEdit = nullptr;

  RunWorker* Worker_ = nullptr;
  FindReplaceDialog* FindDialog_ = nullptr;
  FindReplaceDialog* ReplaceDialog_ = nullptr;
};

}  // namespace tarmel
