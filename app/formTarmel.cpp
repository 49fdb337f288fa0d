// The main window of Tarmel-TRELM: the editor in which data files are opened, typed and
// saved, the actions of the File, Edit, View, Run and Help menus and the tool bar, the
// status bar's three panels, and the state the editor holds. The documents' handlers are
// in formDocuments.cpp, the runs' in formRun.cpp, the Parameters panel in formParams.cpp.
// Changed text is never replaced without a question, an unchanged data file is never
// rewritten, and a shown report is saved only to a file of its own, so the data file stays
// the document.
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
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "about.h"
#include "desktopSettings.h"
#include "findReplace.h"
#include "formTrust.h"
#include "importDialog.h"
#include "runStatus.h"
#include "runWorker.h"
#include "text_files.h"
#include "treeDock.h"

namespace tarmel {

namespace {

const QString Caption = QStringLiteral("Tarmel-TRELM");
const QString HelpFile = QStringLiteral("TRELM.TXT");
constexpr int PanelWidths[3] = {300, 100, 150};
constexpr int StatusMessageMs = 10000;
constexpr int ProgressMinWidth = 50;
constexpr int ProgressGripRoom = 30;  // the status bar's margins and its size grip

// Each dialog starts in the folder it was last used in, unless told where.
QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                    const QString& folder) {
  QFileDialog dialog(parent, title, folder.isEmpty() ? RememberedFolder(title) : folder);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"),
                         QStringLiteral("Tables (*.csv *.tsv)"), QStringLiteral("All Files (*)")});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  RememberFolder(title, dialog.selectedFiles().constFirst());
  return dialog.selectedFiles().constFirst();
}


QFont EditorFont() {
  return PixelFont(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                   QFont::Serif, 19);
}

// The report's columns line up only in a font whose characters share one width.
QFont FixedEditorFont() {
  return PixelFont(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                   QFont::Monospace, 17);
}

SaveChoice AskSaveChanges(QWidget* parent, const QString& name) {
  const QString question = name.isEmpty()
                               ? QStringLiteral("The typed text has never been saved. Save it?")
                               : QStringLiteral("Save the changes to \"%1\"?").arg(name);
  switch (QMessageBox::question(parent, Caption, question,
                                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                QMessageBox::Save)) {
    case QMessageBox::Save:
      return SaveChoice::Save;
    case QMessageBox::Discard:
      return SaveChoice::Discard;
    default:
      return SaveChoice::Cancel;
  }
}

bool ConfirmUtf8(QWidget* parent, const QString& fileName) {
  return QMessageBox::question(
             parent, Caption,
             QStringLiteral("\"%1\" is a Latin-1 file, which cannot hold some characters of "
                            "the text. Save it as UTF-8 instead?")
                 .arg(fileName)) == QMessageBox::Yes;
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
  dialogs.AskSaveChanges = AskSaveChanges;
  dialogs.ConfirmUtf8 = ConfirmUtf8;
  dialogs.ShowError = [](QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, Caption, message);
  };
  dialogs.ShowWarnings = [](QWidget* parent, const QString& warnings) {
    QMessageBox::warning(parent, Caption, warnings);
  };
  dialogs.AskImportFileName = AskImportFileName;
  dialogs.Ask = AskChoice;
  return dialogs;
}

TForm1::TForm1(TForm1Dialogs dialogs, QWidget* parent)
    : QMainWindow(parent), Dialogs_(std::move(dialogs)) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/tarmel.svg")));
  setCursor(Qt::IBeamCursor);
  resize(484, 426);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  Worker_ = new RunWorker(this);
  TreeDock_ = new TreeDock(this);
  addDockWidget(Qt::RightDockWidgetArea, TreeDock_);
  TreeDock_->hide();
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateEditor();
  CreateStatusBar();
  CreateTargetLabel();
  CreateParameterPanel();
  ConnectActions();
  AddDesktopHabits();
  SetDocument({.DataFile = {}, .Shown = {}, .Loaded = false});  // no document yet
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
  if (!icon.isEmpty()) action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
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
  ViewFixedFont = MakeAction("ViewFixedFont", "&Fixed-width font",
                             "Fixed-width font|Shows the text in a font whose columns line up");
  ViewFixedFont->setCheckable(true);
  ParamDialog = MakeAction("ParamDialog", "Pa&rameters", {});
  TreeBuild = MakeAction("TreeBuild", "&Grow Tree", "Grow Tree", "tree-build");
  TreeBuild->setIconText(QStringLiteral("&Build Tree"));
  StopBuilding = MakeAction("StopBuilding", "Stop Tree Growing", "Stop Tree Growing", "tree-stop");
  StopBuilding->setEnabled(false);  // there is no run to stop yet
  ShowData = MakeAction("ShowData", "Show &Data",
                        "Show Data|Shows the data file of the last run again");
  SameFolds = MakeAction("SameFolds", "&Same Folds Every Run",
                         "Same Folds Every Run|Every run draws its cross-validation folds as the "
                         "first run after start-up does, so a repeated run repeats its numbers");
  SameFolds->setCheckable(true);
  Tune1 = MakeAction("Tune1", "&Tune...", "Tune|Finds the lookahead and node size that predict best");
  HelpDataFormat = MakeAction("HelpDataFormat", "&Data File Format", {});
  HelpAbout = MakeAction("HelpAbout", "&About...", {});
  CreateDesktopActions();

  FileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  FileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  EditCut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  EditCopy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  EditPaste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  SearchFind1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  ShowData->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
}

void TForm1::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("ActionMainMenuBar1"));
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addActions({FileNew, FileOpen1});
  RecentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
  RecentMenu_->menuAction()->setObjectName(QStringLiteral("FileOpenRecent"));
  Actions_.push_back(RecentMenu_->menuAction());
  file->addActions({FileImportTable, FileSave, FileSaveAs1, TreeDock_->ExportAction(), FileExit1});
  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  edit->addActions({EditUndo1, EditRedo1});
  edit->addSeparator();
  edit->addActions({EditCut1, EditCopy1, EditPaste1, EditSelectAll1});
  edit->addSeparator();
  edit->addActions({SearchFind1, SearchReplace1});
  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  view->addAction(ViewFixedFont);
  // Brings the tree dock back after it was closed.
  QAction* showDock = TreeDock_->toggleViewAction();
  showDock->setText(QStringLiteral("&Tree and Results"));
  showDock->setObjectName(QStringLiteral("ViewTreeDock"));
  view->addAction(showDock);
  QMenu* run = bar->addMenu(QStringLiteral("&Run"));
  run->addActions({ParamDialog, TreeBuild, StopBuilding, ShowData, Tune1});
  run->addSeparator();
  run->addAction(SameFolds);
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->addActions({HelpDataFormat, HelpWorkFolder, HelpAbout});
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
// off at the window's edge rather than widening the window. During a run the progress bar
// takes what panel 2 cannot show; panels 0 and 1 always show whole.
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
  strip->setMinimumWidth(PanelWidths[0] + PanelWidths[1]);
  strip->setMaximumWidth(left);
  // The strip's share of any extra width is so much larger that it reaches its full
  // width before the progress bar grows.
  bar->addWidget(strip, 100);
  RunProgress_ = new QProgressBar(bar);
  RunProgress_->setObjectName(QStringLiteral("RunProgress"));
  RunProgress_->setRange(0, ProgressSteps);
  RunProgress_->setMinimumWidth(ProgressMinWidth);
  RunProgress_->setFixedHeight(strip->height());
  bar->addPermanentWidget(RunProgress_, 1);
  RunProgress_->hide();
  ProgressClock_ = new QTimer(this);
  ProgressClock_->setInterval(1000);
  connect(ProgressClock_, &QTimer::timeout, this, &TForm1::RefreshProgressText);
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
  connect(ShowData, &QAction::triggered, this, &TForm1::ShowDataExecute);
  connect(Tune1, &QAction::triggered, this, &TForm1::TuneExecute);
  connect(ViewFixedFont, &QAction::toggled, this, &TForm1::ViewFixedFontExecute);
  connect(HelpDataFormat, &QAction::triggered, this, &TForm1::ShowDataFormatHelp);
  connect(HelpAbout, &QAction::triggered, this, &TForm1::ShowAbout);

  connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this,
          &TForm1::RichEdit1SelectionChange);
  connect(RichEdit1, &QPlainTextEdit::selectionChanged, this, &TForm1::RichEdit1SelectionChange);
  connect(RichEdit1, &QPlainTextEdit::copyAvailable, this, &TForm1::UpdateClipboardActions);
  connect(RichEdit1->document(), &QTextDocument::modificationChanged, this,
          &QWidget::setWindowModified);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TForm1::EscapeKeyPress);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          &TForm1::UpdateClipboardActions);
  UpdateClipboardActions();

  connect(Worker_, &RunWorker::PanelTextChanged, this, &TForm1::SetPanel);
  connect(Worker_, &RunWorker::ProgressChanged, this, &TForm1::ShowRunProgress);
  connect(Worker_, &RunWorker::Finished, this, &TForm1::RunFinished);
  connect(TreeDock_, &TreeDock::RuleRequested, this,
          [this](int variant, int rule) { SelectRuleLine(RichEdit1, variant, rule); });
}

QString TForm1::PanelText(int panel) const { return Panels_[panel]->text(); }

bool TForm1::IsRunning() const { return Worker_->IsRunning(); }

// Every handler that changes what the editor holds comes here, so the names, the panel,
// the title and the marker of unsaved changes never disagree. A message about the data
// file goes with it.
void TForm1::SetDocument(const TDocument& document) {
  if (document.DataFile != CurrentFileName) DataMessage_.clear();
  CurrentFileName = document.DataFile;
  ShowsReport_ = document.IsReport;
  if (document.Loaded) LastLoadedFile = document.Shown;
  SetPanel(0, document.Shown);
  setWindowTitle(document.Shown.isEmpty()
                     ? Caption + QStringLiteral("[*]")
                     : QFileInfo(document.Shown).fileName() + QStringLiteral("[*] - ") + Caption);
  RichEdit1->document()->setModified(document.Modified);
  setWindowModified(document.Modified);
  TreeDock_->FollowDocument(document.DataFile);
  ShowNextTarget();
}

void TForm1::SetPanel(int panel, const QString& text) {
  if (panel < 0 || panel > 2) return;
  Panels_[panel]->setText(text);
  Panels_[panel]->repaint();
}

void TForm1::ShowStatus(const QString& message) {
  Status_ = message;
  StatusClock_.start();
  statusBar()->showMessage(message, StatusMessageMs);
}

// The pointer leaving a hinted action clears the status bar; a message of the window's
// own comes back for the rest of its time, so a run's outcome is not lost to a hover.
bool TForm1::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::StatusTip &&
      static_cast<QStatusTipEvent*>(event)->tip().isEmpty() && !Status_.isEmpty()) {
    const qint64 left = StatusMessageMs - StatusClock_.elapsed();
    if (left > 0) statusBar()->showMessage(Status_, static_cast<int>(left));
  }
  return handled;
}

// Every text shown afterwards keeps the font, in this session and the next ones.
void TForm1::ViewFixedFontExecute(bool fixed) {
  RichEdit1->setFont(fixed ? FixedEditorFont() : EditorFont());
  RememberOption(ViewFixedFont);
}

void TForm1::EscapeKeyPress() {
  if (IsRunning()) {
    StopBuildingExecute();
  } else if (GroupBox1->isVisible()) {
    ParamCancel();
  }
}

void TForm1::RichEdit1SelectionChange() {
  const QTextCursor caret = RichEdit1->textCursor();
  SetPanel(1, QStringLiteral("%1:%2").arg(caret.blockNumber() + 1).arg(caret.positionInBlock() + 1));
}

// A message (a hint, say) hides the panels; the bar must not grow over the room it is
// shown in, so it never takes more than what panels 0 and 1 leave.
void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const int room = width() - PanelWidths[0] - PanelWidths[1] - ProgressGripRoom;
  RunProgress_->setMaximumWidth(std::max(ProgressMinWidth, room));
}

void TForm1::UpdateClipboardActions() {
  if (IsRunning()) return;
  const bool selected = RichEdit1->textCursor().hasSelection();
  EditCut1->setEnabled(selected);
  EditCopy1->setEnabled(selected);
  EditPaste1->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
  EditUndo1->setEnabled(RichEdit1->document()->isUndoAvailable());
  EditRedo1->setEnabled(RichEdit1->document()->isRedoAvailable());
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
  const QString fileName = InstalledFile(HelpFile);
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
