// The main window: a plain-text editor with the File, Edit, View, Run and Help menus, the
// tool bar, a status bar of three panels and the hidden Parameters panel. Build Tree runs
// the engine on a worker thread over the current document and then shows the report in
// the editor; the document keeps naming the data file. Nothing typed is replaced without
// a question.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QMainWindow>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "recentFiles.h"
#include "run_request.h"
#include "textFile.h"
#include "treeTarmel.h"

class QAction;
class QComboBox;
class QProgressBar;
class QTimer;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace tarmel {

// Names and sizes both halves of the window (documents, runs) use.
inline const QString UntitledFile = QStringLiteral("untitled.txt");
inline const QString ReportFile = QStringLiteral("output.txt");
inline constexpr int ProgressSteps = 1000;  // the progress bar's range

class FindReplaceDialog;
class TByteSource;
class RunWorker;
class TreeDock;

enum class SaveChoice { Save, Discard, Cancel };

// The window's questions to the user, replaceable so that tests can answer them.
struct TForm1Dialogs {
  std::function<QString(QWidget* parent)> AskOpenFileName;  // empty when cancelled
  std::function<QString(QWidget* parent, const QString& folder)> AskSaveFileName;
  std::function<bool(QWidget* parent)> ConfirmStop;  // true for Yes to "Stop?"
  // The editor's text, shown as name, has changes that were never saved.
  std::function<SaveChoice(QWidget* parent, const QString& name)> AskSaveChanges;
  // The text no longer fits the Latin-1 file it came from; true to write it as UTF-8.
  std::function<bool(QWidget* parent, const QString& fileName)> ConfirmUtf8;
  std::function<void(QWidget* parent, const QString& message)> ShowError;
  std::function<void(QWidget* parent, const QString& warnings)> ShowWarnings;
  std::function<QString(QWidget* parent)> AskImportFileName;  // empty when cancelled
  // The index of the answer chosen, -1 for Cancel.
  std::function<int(QWidget* parent, const QString& question, const QStringList& answers)> Ask;
  // The bytes of a table to import; empty: the file itself.
  std::function<std::unique_ptr<TByteSource>(const QString& fileName, QString& reason)> OpenTable;
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
  // The saving handlers return false when nothing was saved (cancelled or failed).
  bool FileSaveExecute();
  bool FileSaveAs1Execute();  // FileSaveAs1BeforeExecute, the save dialog, FileSaveAs1Accept
  void FileSaveAs1BeforeExecute();
  bool FileSaveAs1Accept(const QString& fileName);
  void TreeBuildExecute();  // starts the run; BuildFinished follows
  void StopBuildingExecute();  // asks "Stop?"; Yes cancels the run, not the program
  void ShowDataExecute();  // the data document back into the editor
  void TuneExecute();  // the tune dialog over the data file of the next run
  void ViewFixedFontExecute(bool fixed);
  void RichEdit1SelectionChange();
  void EscapeKeyPress();  // asks to stop a run, or closes the Parameters panel
  void ParamDialogExecute();
  void OKClick();
  void ParamCancel();  // hides the panel, dropping its edits
  void TimeBoxChange();
  // Where the run stands, in the progress bar right of the panels.
  void ShowRunProgress(const tarmel::RunProgress& progress);
  // A file dropped on the window or picked from Open Recent: opened as Open would, after
  // the question over unsaved changes.
  void OpenFileAsked(const QString& fileName);
  QStringList RecentFileNames() const;
  void SaveSettings() const;  // the window's geometry, layout and options
  // The first steps instead of a blank editor, and the message (where the program works)
  // in the status bar.
  void ShowWelcome(const QString& message);

 signals:
  void BuildFinished();  // the run has ended and its report, if any, is shown

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QAction* MakeAction(const char* name, const QString& caption, const QString& hint,
                      const QString& icon = {});
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateEditor();
  void CreateStatusBar();
  void CreateParameterPanel();
  QLineEdit* AddLabelledEdit(const char* name, const QString& label, int x, int y);
  void CreateOrderingControls();
  void CreateFeatureNameLabel();
  void ConnectActions();

  // What the editor holds, set as one: the data file of the next run, the file panel 0 and
  // the title name, whether that is the report, whether its text was just put into the
  // editor (as the last loaded file), and whether it has unsaved changes.
  struct TDocument {
    QString DataFile;
    QString Shown;
    bool IsReport = false;
    bool Loaded = true;
    bool Modified = false;
  };
  void SetDocument(const TDocument& document);
  void SetPanel(int panel, const QString& text);
  void ShowFileError(const QString& what, const QString& fileName, const QString& reason);
  void ShowStatus(const QString& message);  // for a while, over the panels
  bool LoadIntoEditor(const QString& fileName);
  bool SaveEditorTo(const QString& fileName);
  QString EditorText() const;
  bool IsModified() const;
  bool HasNamedDocument() const;
  bool MaybeSaveChanges();
  bool PrepareDataFile();
  bool DataFileIsReport();

  bool ReadRunParameters();
  void FillParameterEdits();
  void WriteRunParameters();
  bool TakeParameterEdits(tarmel::RunParameters& taken);
  QString FeatureProblem(int32_t feature) const;
  void RefuseEdit(QLineEdit* edit, const QString& problem);
  QString DataHeaderText() const;
  void ShowFeatureName();
  std::array<QLineEdit*, 7> ParameterEdits() const;
  bool PanelShows(const tarmel::RunParameters& params) const;

  // The target of the next run, and the checks before a run (formTrust.cpp).
  void CreateTargetLabel();
  QString NextTargetText() const;
  void ShowNextTarget();
  bool TakePanelBeforeRun();
  bool ConfirmTarget();

  void SetRunning(bool running);
  void RefreshProgressText();
  void UpdateClipboardActions();
  void RunFinished();
  void ShowRunReport(const tarmel::RunResult& result);
  void PutCaretOnMessageRow();
  void ShowSearchDialog(FindReplaceDialog*& dialog, bool replacing);
  void ShowDataFormatHelp();
  void ShowAbout();
  void CreateDesktopActions();  // Undo, Redo, Select All, Working Folder
  void AddDesktopHabits();      // their handlers, keys, tips, names, settings and drops
  void ConnectDesktopActions();
  void AddDesktopKeys();
  void AcceptFileDrops();
  void AddParameterTips();
  void NameWidgetsForAccess();
  void FillRecentMenu();
  void NoteRecentFile(const QString& fileName);
  void RestoreSettings();
  void ShowWorkFolder();

  TForm1Dialogs Dialogs_;
  TextEncoding Encoding_ = TextEncoding::Utf8;  // of the text in the editor
  bool ShowsReport_ = false;  // the editor holds the last report, not a document
  QString ReportCopyName_;    // where the shown report was saved, empty until then
  QString SaveAsFolder_;      // initial folder of the next save dialog
  QString DataMessage_;       // the last run's message about the data file, if any
  bool CloseAfterRun_ = false;  // the window was closed during a run and Stop answered
  std::vector<std::string> FeatureNames_;  // of the data document, while the panel shows
  int32_t DataObjects_ = 0;                // its object count; 0 when not known

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
  QAction* ViewFixedFont = nullptr;
  QAction* ParamDialog = nullptr;
  QAction* TreeBuild = nullptr;
  QAction* StopBuilding = nullptr;
  QAction* ShowData = nullptr;
  QAction* SameFolds = nullptr;  // Run > Same Folds Every Run, off at start
  QAction* Tune1 = nullptr;
  QAction* HelpDataFormat = nullptr;
  QAction* HelpAbout = nullptr;
  QAction* EditUndo1 = nullptr;
  QAction* EditRedo1 = nullptr;
  QAction* EditSelectAll1 = nullptr;
  QAction* HelpWorkFolder = nullptr;
  QMenu* RecentMenu_ = nullptr;  // File > Open Recent
  RecentFiles Recent_;
  std::vector<QAction*> Actions_;  // every action above, in this order

  QPlainTextEdit* RichEdit1 = nullptr;
  QLabel* Panels_[3] = {};
  QProgressBar* RunProgress_ = nullptr;  // shown only while a run is going
  QTimer* ProgressClock_ = nullptr;      // keeps the elapsed time moving
  QElapsedTimer RunClock_;
  int FoldDraws_ = 0;   // runs that drew from the program-wide generator
  QString FoldsText_;   // which folds the last run drew
  QString Status_;              // the last status message, while its time lasts
  QElapsedTimer StatusClock_;
  tarmel::RunProgress LastProgress_;
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
  QLabel* FeatureName = nullptr;  // "13 = medv" beside FeatureToPredict
  QLabel* TargetLabel_ = nullptr;  // "Predicts: medv (feature 13)" beside Build Tree
  QHash<QString, int32_t> LastTargets_;  // by absolute data file name, for the session

  RunWorker* Worker_ = nullptr;
  TreeDock* TreeDock_ = nullptr;  // what the last run found, beside the editor
  FindReplaceDialog* FindDialog_ = nullptr;
  FindReplaceDialog* ReplaceDialog_ = nullptr;
};

}  // namespace tarmel
