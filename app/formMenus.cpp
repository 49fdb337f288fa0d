// The main window's desktop habits: Undo, Redo and Select All, the keys people expect,
// File > Open Recent, the parameters' tool tips, the names a screen reader announces and
// the working folder said under Help.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableWidget>

#include "desktopSettings.h"
#include "formTarmel.h"
#include "resultsTable.h"
#include "treeDock.h"
#include "treeView.h"

namespace tarmel {

namespace {

struct FieldTip {
  QWidget* Field;
  const char* Tip;
};

}  // namespace

void TForm1::CreateDesktopActions() {
  EditUndo1 = MakeAction("EditUndo1", "&Undo", "Undo|Takes back the last change of the text",
                         "edit-undo");
  EditRedo1 = MakeAction("EditRedo1", "&Redo", "Redo|Makes the change taken back again",
                         "edit-redo");
  EditSelectAll1 = MakeAction("EditSelectAll1", "Select &All", "Select All|Selects the whole text");
  HelpWorkFolder = MakeAction("HelpWorkFolder", "&Working Folder",
                              "Working Folder|Says where param.par and output.txt are written");
  EditUndo1->setEnabled(false);
  EditRedo1->setEnabled(false);
}

void TForm1::AddDesktopHabits() {
  ConnectDesktopActions();
  AddDesktopKeys();
  AddParameterTips();
  NameWidgetsForAccess();
  AcceptFileDrops();
  RestoreSettings();
}

void TForm1::ConnectDesktopActions() {
  connect(EditUndo1, &QAction::triggered, RichEdit1, &QPlainTextEdit::undo);
  connect(EditRedo1, &QAction::triggered, RichEdit1, &QPlainTextEdit::redo);
  connect(EditSelectAll1, &QAction::triggered, RichEdit1, &QPlainTextEdit::selectAll);
  connect(RichEdit1, &QPlainTextEdit::undoAvailable, this, &TForm1::UpdateClipboardActions);
  connect(RichEdit1, &QPlainTextEdit::redoAvailable, this, &TForm1::UpdateClipboardActions);
  connect(HelpWorkFolder, &QAction::triggered, this, &TForm1::ShowWorkFolder);
  connect(RecentMenu_, &QMenu::aboutToShow, this, &TForm1::FillRecentMenu);
}

// Grow Tree takes F5 and Ctrl+R, so Replace moves to Ctrl+H.
void TForm1::AddDesktopKeys() {
  EditUndo1->setShortcut(QKeySequence::Undo);
  EditRedo1->setShortcut(QKeySequence::Redo);
  EditSelectAll1->setShortcut(QKeySequence::SelectAll);
  TreeBuild->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
  SearchReplace1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  ParamDialog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  HelpDataFormat->setShortcut(QKeySequence::HelpContents);
  FileExit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

// What each field does and which values a run takes, shown when the pointer rests on it.
void TForm1::AddParameterTips() {
  const FieldTip tips[] = {
      {Recursive_Embedding,
       "How far ahead the split search looks: the whole part is the number of levels a split "
       "is judged by, the fraction steers the deeper stages.\n0 or more, below 2147483647; "
       "default 1.00. Each level makes a run much slower."},
      {Homogeneity,
       "A node whose error is below this threshold counts as homogeneous and is not split "
       "further.\nA real number; default 0.050. Larger values give smaller trees."},
      {MinObj,
       "The smallest node, as a fraction of the learning objects: a node keeps at least "
       "objects x this + 1 of them.\n0 or more (0 to 1 in practice); default 0.050."},
      {VariantsNumber,
       "How many tree variants to grow; each next one leaves out the root feature of the "
       "earlier ones, and the trees vote on the predictions.\n1 to the number of features "
       "(more are grown as that many); default 1."},
      {FeatureToPredict,
       "The number of the feature to predict, counted from 1 in the file's header.\n1 to the "
       "number of features; default 1."},
      {FoldsCrossValidate,
       "The number of cross-validation folds each variant is tested with; 0 or 1 means no "
       "cross-validation.\nAt most the number of objects; default 10."},
      {TimeBox,
       "How the objects are ordered: a data table of independent objects, or a time series "
       "whose trees predict from earlier times."},
      {LagEdit,
       "How many time steps back a time-series tree reads.\n1 to the number of objects less "
       "one; default 1. Used only for a time series."},
  };
  for (const FieldTip& tip : tips) tip.Field->setToolTip(QString::fromUtf8(tip.Tip));
}

void TForm1::NameWidgetsForAccess() {
  RichEdit1->setAccessibleName(QStringLiteral("Document"));
  TreeDock_->setAccessibleName(QStringLiteral("Tree and results"));
  TreeDock_->Table()->setAccessibleName(QStringLiteral("Results table"));
  TreeDock_->Table()->Results()->setAccessibleName(QStringLiteral("Kept trees"));
  TreeDock_->View()->setAccessibleName(QStringLiteral("Drawn tree"));
  GroupBox1->setAccessibleName(QStringLiteral("Parameters"));
  const char* const panels[] = {"File", "Caret position", "Run progress"};
  for (int i = 0; i < 3; ++i) Panels_[i]->setAccessibleName(QString::fromLatin1(panels[i]));
}

void TForm1::OpenFileAsked(const QString& fileName) {
  if (IsRunning() || !MaybeSaveChanges()) return;
  FileOpen1Accept(fileName);
}

QStringList TForm1::RecentFileNames() const { return Recent_.Files(); }

void TForm1::NoteRecentFile(const QString& fileName) {
  Recent_.Add(fileName);
  QSettings settings;
  Recent_.Save(settings);
}

// Files gone since they were opened leave the list, with a word about them.
void TForm1::FillRecentMenu() {
  const QStringList missing = Recent_.RemoveMissing();
  if (!missing.isEmpty()) {
    QSettings settings;
    Recent_.Save(settings);
    ShowStatus(QStringLiteral("No longer there, so taken off Open Recent: %1")
                   .arg(missing.join(QStringLiteral(", "))));
  }
  RecentMenu_->clear();
  int number = 0;
  for (const QString& file : Recent_.Files()) {
    const QString caption = QStringLiteral("&%1 %2").arg(++number % 10).arg(
        QDir::toNativeSeparators(file));
    connect(RecentMenu_->addAction(caption), &QAction::triggered, this,
            [this, file] { OpenFileAsked(file); });
  }
  if (number == 0) RecentMenu_->addAction(QStringLiteral("(no files yet)"))->setEnabled(false);
}

void TForm1::ShowWorkFolder() {
  QMessageBox::information(this, windowTitle(), WorkFolderText(QDir::currentPath()));
}

}  // namespace tarmel
