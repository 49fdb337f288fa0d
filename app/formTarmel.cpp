// The main window of Tarmel-TRELM: the editor in which data files are opened, typed and
// saved, the actions of the File, Edit, Run and Help menus and the tool bar, the status
// bar's three panels, and Build Tree, which hands the document to the engine on a worker
// thread and shows the report it writes. The window asks nothing before replacing the
// editor's text; it refuses only to save a report over the data file it came from.
#include "formTarmel.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>
#include <cstdlib>

#include "about.h"
#include "findReplace.h"
#include "importDialog.h"
#include "runWorker.h"

namespace tarmel {

namespace {

const QString Caption = QStringLiteral("Tarmel-TRELM");
const QString StartupFile = QStringLiteral("autoread.txt");
const QString UntitledFile = QStringLiteral("untitled.txt");
const QString ReportFile = QStringLiteral("output.txt");
const QString HelpFile = QStringLiteral("TRELM.TXT");
constexpr int PanelWidths[3] = {300, 100, 150};

QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                    const QString& folder) {
  QFileDialog dialog(parent, title, folder);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"),
                         QStringLiteral("Tables (*.csv *.tsv)"), QStringLiteral("All Files (*)")});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

// The folder part of a file name, empty when it has none.
QString FolderOf(const QString& fileName) {
  const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : fileName.left(slash);
}

// The toolkit holds any two files that do not exist equal; such names are compared as paths.
bool SameFile(const QString& a, const QString& b) {
  const QFileInfo first(a), second(b);
  if (!first.exists() || !second.exists()) {
    return first.absoluteFilePath() == second.absoluteFilePath();
  }
  return first == second;
}

QFont EditorFont() {
  return PixelFont(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                   QFont::Serif, 19);
}

}  // namespace

QFont PixelFont(const QString& family, const QString& fallback, QFont::StyleHint hint,
                int pixels) {
  QFont font(family);
  font.setFamilies({family, fallback});
  font.setStyleHint(hint);
  font.setPixelSize(pixels);
  return font;
}

TForm1Dialogs StandardDialogs() {
  TForm1Dialogs dialogs;
  dialogs.AskOpenFileName = [](QWidget* parent) {
    return AskFileName(parent, QFileDialog::AcceptOpen, QStringLiteral("Open"), {});
  };
  dialogs.AskSaveFileName = [](QWidget* parent, const QString& folder) {
    return AskFileName(parent, QFileDialog::AcceptSave, QStringLiteral("Save As"), folder);
  };
  dialogs.ConfirmStop = [](QWidget* parent) {
    return QMessageBox::question(parent, Caption, QStringLiteral("Stop?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  dialogs.ShowError = [](QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, Caption, message);
  };
  // Nothing is saved and a run still going is abandoned with the process.
  dialogs.EndProgram = [] { std::_Exit(0); };
  return dialogs;
}

TForm1::TForm1(TForm1Dialogs dialogs, QWidget* parent)
    : QMainWindow(parent), Dialogs_(std::move(dialogs)) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(Caption);
  setWindowIcon(QIcon(QStringLiteral(":/icons/tarmel.png")));
  setCursor(Qt::IBeamCursor);
  resize(484, 426);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  Worker_ = new RunWorker(this);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateEditor();
  CreateStatusBar();
  CreateParameterPanel();
  ConnectActions();
  FormCreate();
}

TForm1::~TForm1() = default;

QAction* TForm1::MakeAction(const char* name, const QString& caption, const QString& hint,
                            const QString& icon) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) {
    // The text before the bar is the short hint, the text after it the long one; a hint
    // without a bar serves as both.
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
  }
  if (!icon.isEmpty()) action->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(icon)));
  Actions_.push_back(action);
  return action;
}

void TForm1::CreateActions() {
  FileNew = MakeAction("FileNew", "&New", "Create File", "file-new");
  FileOpen1 = MakeAction("FileOpen1", "&Open...", "Open|Opens an existing file", "file-open");
  FileImportTable = MakeAction("FileImportTable", "&Import Table...",
                               "Import Table|Makes a data file from a CSV or TSV table");
  FileSave = MakeAction("FileSave", "&Save", {}, "file-save");
  FileSaveAs1 = MakeAction("FileSaveAs1", "Save &As...",
                           "Save As|Saves the active file with a new name", "file-save-as");
  // Exit's key combination would repeat Cut's Ctrl+X, which belongs to Cut.
  FileExit1 = MakeAction("FileExit1", "E&xit", "Exit|Quits the application");
  EditCut1 = MakeAction("EditCut1", "Cu&t", "Cut|Cuts the selection and puts it on the Clipboard",
                        "edit-cut");
  EditCopy1 = MakeAction("EditCopy1", "&Copy",
                         "Copy|Copies the selection and puts it on the Clipboard", "edit-copy");
  EditPaste1 = MakeAction("EditPaste1", "&Paste", "Paste|Inserts Clipboard contents",
                          "edit-paste");
  SearchFind1 = MakeAction("SearchFind1", "&Find...", "Find|Finds the specified text");
  SearchReplace1 = MakeAction("SearchReplace1", "&Replace",
                              "Replace|Replaces specific text with different text");
  ParamDialog = MakeAction("ParamDialog", "Pa&rameters", {});
  TreeBuild = MakeAction("TreeBuild", "&Grow Tree", "Grow Tree", "tree-build");
  TreeBuild->setIconText(QStringLiteral("&Build Tree"));
  StopBuilding = MakeAction("StopBuilding", "Stop Tree Growing", "Stop Tree Growing", "tree-stop");
  HelpDataFormat = MakeAction("HelpDataFormat", "&Data File Format", {});
  HelpAbout = MakeAction("HelpAbout", "&About...", {});

  FileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  FileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  EditCut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  EditCopy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  EditPaste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  SearchFind1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  SearchReplace1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
}

void TForm1::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("ActionMainMenuBar1"));
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addActions({FileNew, FileOpen1, FileImportTable, FileSave, FileSaveAs1, FileExit1});
  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  edit->addActions({EditCut1, EditCopy1, EditPaste1, SearchFind1, SearchReplace1});
  QMenu* run = bar->addMenu(QStringLiteral("&Run"));
  run->addActions({ParamDialog, TreeBuild, StopBuilding});
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->addActions({HelpDataFormat, HelpAbout});
}

void TForm1::CreateToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Tools"));
  bar->setObjectName(QStringLiteral("ActionToolBar1"));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->setIconSize(QSize(16, 16));
  bar->setMovable(false);
  bar->setContextMenuPolicy(Qt::PreventContextMenu);
  bar->addActions({FileOpen1, FileSave, FileNew, FileSaveAs1, EditCut1, EditCopy1, EditPaste1,
                   TreeBuild, StopBuilding});
}

void TForm1::CreateEditor() {
  RichEdit1 = new QPlainTextEdit(this);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setFont(EditorFont());
  QPalette colours = RichEdit1->palette();
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  RichEdit1->setPalette(colours);
  setCentralWidget(RichEdit1);
}

// The panels keep their widths however narrow the window is; what does not fit is cut
// off at the window's edge rather than widening the window.
void TForm1::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  auto* strip = new QWidget(bar);
  strip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  int left = 0;
  for (int i = 0; i < 3; ++i) {
    Panels_[i] = new QLabel(strip);
    Panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
    Panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panels_[i]->setGeometry(left, 0, PanelWidths[i], Panels_[i]->sizeHint().height() + 4);
    left += PanelWidths[i];
  }
  strip->setFixedHeight(Panels_[0]->height());
  bar->addWidget(strip, 1);
}

void TForm1::ConnectActions() {
  connect(FileNew, &QAction::triggered, this, &TForm1::FileNewExecute);
  connect(FileOpen1, &QAction::triggered, this, &TForm1::FileOpen1Execute);
  connect(FileImportTable, &QAction::triggered, this, &TForm1::FileImportTableExecute);
  connect(FileSave, &QAction::triggered, this, &TForm1::FileSaveExecute);
  connect(FileSaveAs1, &QAction::triggered, this, &TForm1::FileSaveAs1Execute);
  connect(FileExit1, &QAction::triggered, this, &QWidget::close);
  connect(EditCut1, &QAction::triggered, RichEdit1, &QPlainTextEdit::cut);
  connect(EditCopy1, &QAction::triggered, RichEdit1, &QPlainTextEdit::copy);
  connect(EditPaste1, &QAction::triggered, RichEdit1, &QPlainTextEdit::paste);
  connect(SearchFind1, &QAction::triggered, this, [this] { ShowSearchDialog(FindDialog_, false); });
  connect(SearchReplace1, &QAction::triggered, this,
          [this] { ShowSearchDialog(ReplaceDialog_, true); });
  connect(ParamDialog, &QAction::triggered, this, &TForm1::ParamDialogExecute);
  connect(TreeBuild, &QAction::triggered, this, &TForm1::TreeBuildExecute);
  connect(StopBuilding, &QAction::triggered, this, &TForm1::StopBuildingExecute);
  connect(HelpDataFormat, &QAction::triggered, this, &TForm1::ShowDataFormatHelp);
  connect(HelpAbout, &QAction::triggered, this, &TForm1::ShowAbout);

  connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this,
          &TForm1::RichEdit1SelectionChange);
  connect(RichEdit1, &QPlainTextEdit::selectionChanged, this, &TForm1::RichEdit1SelectionChange);
  connect(RichEdit1, &QPlainTextEdit::copyAvailable, this, &TForm1::UpdateClipboardActions);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          &TForm1::UpdateClipboardActions);
  UpdateClipboardActions();

  connect(Worker_, &RunWorker::PanelTextChanged, this, &TForm1::SetPanel);
  connect(Worker_, &RunWorker::Finished, this, &TForm1::RunFinished);
}

QString TForm1::PanelText(int panel) const { return Panels_[panel]->text(); }

bool TForm1::IsRunning() const { return Worker_->IsRunning(); }

void TForm1::SetPanel(int panel, const QString& text) {
  if (panel < 0 || panel > 2) return;
  Panels_[panel]->setText(text);
  Panels_[panel]->repaint();
}

void TForm1::ShowFileError(const QString& what, const QString& fileName, const QString& reason) {
  Dialogs_.ShowError(this, QStringLiteral("%1 \"%2\": %3").arg(what, fileName, reason));
}

bool TForm1::LoadIntoEditor(const QString& fileName) {
  DecodedText loaded;
  QString reason;
  if (!LoadTextFile(fileName, loaded, reason)) {
    ShowFileError(QStringLiteral("Cannot read"), fileName, reason);
    return false;
  }
  RichEdit1->setPlainText(loaded.Text);
  Encoding_ = loaded.Encoding;
  return true;
}

// The raw text keeps non-breaking spaces, which the plain-text view turns into blanks;
// blocks are separated by paragraph separators and typed line breaks by line separators.
QString TForm1::EditorText() const {
  QString text = RichEdit1->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text;
}

bool TForm1::SaveEditorTo(const QString& fileName) {
  QString reason;
  if (!SaveTextFile(fileName, EditorText(), Encoding_, reason)) {
    ShowFileError(QStringLiteral("Cannot write"), fileName, reason);
    return false;
  }
  return true;
}

void TForm1::FormCreate() {
  if (!QFile::exists(StartupFile) || !LoadIntoEditor(StartupFile)) return;
  SetPanel(0, StartupFile);
  LastLoadedFile = StartupFile;
}

void TForm1::FileNewExecute() {
  RichEdit1->clear();
  Encoding_ = TextEncoding::Utf8;
  ShowsReport_ = false;
  CurrentFileName = UntitledFile;
  SetPanel(0, CurrentFileName);
}

void TForm1::FileOpen1Execute() {
  const QString fileName = Dialogs_.AskOpenFileName(this);
  if (!fileName.isEmpty()) FileOpen1Accept(fileName);
}

void TForm1::FileOpen1Accept(const QString& fileName) {
  if (IsTableFile(fileName)) {
    FileImportTableAccept(fileName);
    return;
  }
  if (!LoadIntoEditor(fileName)) return;
  ShowsReport_ = false;
  CurrentFileName = fileName;
  LastLoadedFile = CurrentFileName;
  SetPanel(0, CurrentFileName);
}

void TForm1::FileImportTableExecute() {
  const QString fileName = Dialogs_.AskOpenFileName(this);
  if (!fileName.isEmpty()) FileImportTableAccept(fileName);
}

// The imported data file becomes a new document, saved as any new one on the first Build
// Tree (which writes the document only when the editor holds it as the last loaded file);
// its target is the feature to predict from now on. A New that was not carried out (the
// user kept the text in the editor) leaves the import undone.
void TForm1::FileImportTableAccept(const QString& fileName) {
  const auto showError = [this](const QString& message) { Dialogs_.ShowError(this, message); };
  const std::optional<TImportedTable> table = ImportTableWithDialog(this, fileName, showError);
  if (!table) return;
  FileNewExecute();
  if (CurrentFileName != UntitledFile || !RichEdit1->document()->isEmpty()) return;
  RichEdit1->setPlainText(table->Text);
  RichEdit1->document()->setModified(true);
  LastLoadedFile = CurrentFileName;
  QString error;
  if (!SetFeatureToPredict(table->TargetFeature, error)) showError(error);
}

// A document without a name of its own needs one, and so does a report shown while the
// document still names the data file it was made from: saving it there would destroy
// the data.
bool TForm1::SaveNeedsName() const {
  return CurrentFileName.isEmpty() || CurrentFileName == UntitledFile ||
         (ShowsReport_ && LastLoadedFile != CurrentFileName);
}

void TForm1::FileSaveExecute() {
  if (SaveNeedsName()) {
    FileSaveAs1Execute();
    return;
  }
  SaveEditorTo(CurrentFileName);
}

void TForm1::FileSaveAs1Execute() {
  FileSaveAs1BeforeExecute();
  const QString fileName = Dialogs_.AskSaveFileName(this, SaveAsFolder_);
  if (!fileName.isEmpty()) FileSaveAs1Accept(fileName);
}

void TForm1::FileSaveAs1BeforeExecute() { SaveAsFolder_ = FolderOf(CurrentFileName); }

void TForm1::FileSaveAs1Accept(const QString& fileName) {
  if (!SaveEditorTo(fileName)) return;
  ShowsReport_ = false;
  CurrentFileName = fileName;
  SetPanel(0, CurrentFileName);
}

// The run creates the report before it reads the data: a data file that is the report
// itself would be emptied before it is read.
bool TForm1::DataFileIsReport() {
  if (CurrentFileName.isEmpty() || !SameFile(CurrentFileName, ReportFile)) {
    return false;
  }
  ShowFileError(QStringLiteral("Cannot grow a tree from"), CurrentFileName,
                QStringLiteral("the report %1 would overwrite it").arg(ReportFile));
  return true;
}

void TForm1::TreeBuildExecute() {
  if (IsRunning() || DataFileIsReport() || !ReadRunParameters()) return;
  // The run reads what the user sees, but only when the editor holds the document; a
  // start-up text or a report is never written over the data file.
  if (!CurrentFileName.isEmpty() && LastLoadedFile == CurrentFileName &&
      !SaveEditorTo(CurrentFileName)) {
    return;
  }
  SetRunning(true);
  Worker_->Start(RunParameters, CurrentFileName, ReportFile);
}

void TForm1::RunFinished() {
  SetRunning(false);
  const RunJob& job = Worker_->LastJob();
  RunParameters.FeatureToPredict = job.Params.FeatureToPredict;
  if (job.Outcome == RunOutcome::ReportNotCreated || job.Outcome == RunOutcome::ReportNotWritten) {
    Dialogs_.ShowError(this, job.ReportError);
  } else if (job.Outcome != RunOutcome::Cancelled) {
    ReportFileName = ReportFile;
    if (LoadIntoEditor(ReportFileName)) {
      ShowsReport_ = true;
      LastLoadedFile = ReportFileName;
      SetPanel(0, ReportFileName);
    }
  }
  emit BuildFinished();
}

void TForm1::StopBuildingExecute() {
  if (Dialogs_.ConfirmStop(this)) Dialogs_.EndProgram();
}

// A run cannot be abandoned half-way except by ending the program, so closing the
// window during a run asks the same question as Stop Tree Growing.
void TForm1::closeEvent(QCloseEvent* event) {
  if (!IsRunning()) {
    event->accept();
    return;
  }
  event->ignore();
  StopBuildingExecute();
}

void TForm1::RichEdit1SelectionChange() {
  const QTextCursor caret = RichEdit1->textCursor();
  SetPanel(1, QStringLiteral("%1:%2").arg(caret.blockNumber() + 1).arg(caret.positionInBlock() + 1));
}

void TForm1::SetRunning(bool running) {
  for (QAction* action : Actions_) {
    if (action != StopBuilding) action->setEnabled(!running);
  }
  RichEdit1->setReadOnly(running);
  GroupBox1->setEnabled(!running);
  for (FindReplaceDialog* dialog : {FindDialog_, ReplaceDialog_}) {
    if (dialog != nullptr) dialog->setEnabled(!running);
  }
  if (!running) UpdateClipboardActions();
}

void TForm1::UpdateClipboardActions() {
  if (IsRunning()) return;
  const bool selected = RichEdit1->textCursor().hasSelection();
  EditCut1->setEnabled(selected);
  EditCopy1->setEnabled(selected);
  EditPaste1->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
}

void TForm1::ShowSearchDialog(FindReplaceDialog*& dialog, bool replacing) {
  if (dialog == nullptr) {
    dialog = new FindReplaceDialog(
        RichEdit1, replacing ? FindReplaceDialog::Mode::Replace : FindReplaceDialog::Mode::Find,
        this);
    dialog->setCursor(Qt::ArrowCursor);
  }
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void TForm1::ShowDataFormatHelp() {
  QString fileName = HelpFile;
  if (!QFile::exists(fileName)) fileName = QApplication::applicationDirPath() + '/' + HelpFile;
  DecodedText help;
  QString reason;
  if (!LoadTextFile(fileName, help, reason)) {
    ShowFileError(QStringLiteral("Cannot read"), HelpFile, reason);
    return;
  }
  auto* viewer = new QPlainTextEdit(help.Text, this);
  viewer->setWindowFlag(Qt::Window);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->setReadOnly(true);
  viewer->setWindowTitle(HelpFile);
  viewer->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  viewer->resize(640, 480);
  viewer->show();
}

void TForm1::ShowAbout() {
  TAboutBox about(this);
  about.setCursor(Qt::ArrowCursor);
  about.exec();
}

}  // namespace tarmel
