// The window as a desktop program: dropped files open as Open would, recent files and
// options outlive the window, its place comes back on the screen, the edit keys act on
// the editor, and an installed program works in a folder of its own.
#include <QAction>
#include <QDockWidget>
#include <QGroupBox>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include "desktopSettings.h"
#include "recentFiles.h"
#include "treeView.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowDesktop : public WindowTest {
  Q_OBJECT
 private slots:
  void DropOpensTheFileAfterTheQuestion_data();
  void DropOpensTheFileAfterTheQuestion();
  void LinksDroppedAreNeitherOpenedNorPasted();
  void RecentFilesOutliveTheWindowAndLoseMissingOnes();
  void PlaceOnScreenKeepsTheWindowInside_data();
  void PlaceOnScreenKeepsTheWindowInside();
  void PlaceAndOptionsComeBackInTheNextWindow();
  void UndoRedoAndSelectAllActOnTheEditor();
  void NoTwoActionsShareAKey();
  void OwnWorkFolderUnlessStartedInAPreparedOne_data();
  void OwnWorkFolderUnlessStartedInAPreparedOne();
  void TreeColoursFollowThePalette();
};

namespace {

QString Absolute(const QString& name) { return QFileInfo(name).absoluteFilePath(); }

// A drag over the editor and the drop at its end, as a file manager sends them; true when
// the drop was taken.
bool DropOnEditor(TForm1& form, QMimeData& data) {
  QWidget* target = Child<QPlainTextEdit>(form, "RichEdit1")->viewport();
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return enter.isAccepted() && drop.isAccepted();
}

void Trigger(TForm1& form, const char* action) { Child<QAction>(form, action)->trigger(); }

}  // namespace

void WindowDesktop::DropOpensTheFileAfterTheQuestion_data() {
  QTest::addColumn<bool>("typed");
  QTest::addColumn<QList<SaveChoice>>("choices");
  QTest::addColumn<bool>("opened");
  QTest::newRow("unchanged text: no question") << false << QList<SaveChoice>{} << true;
  QTest::newRow("typed text, Discard") << true << QList<SaveChoice>{SaveChoice::Discard} << true;
  QTest::newRow("typed text, Cancel keeps it") << true << QList<SaveChoice>{SaveChoice::Cancel}
                                               << false;
}

// The file's text arrives whole, nothing of the drop is pasted at the drop point, and
// typed text is never lost without the question.
void WindowDesktop::DropOpensTheFileAfterTheQuestion() {
  QFETCH(bool, typed);
  QFETCH(QList<SaveChoice>, choices);
  QFETCH(bool, opened);
  WriteBytes("houses.txt", ExampleBytes("houses.txt"));
  Dialogs.SaveChoices = choices;
  TForm1& form = NewWindow();
  if (typed) SetEditorText(form, "typed");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Absolute("houses.txt"))});
  data.setText(Absolute("houses.txt"));
  QVERIFY(DropOnEditor(form, data));
  QTRY_COMPARE(Dialogs.SaveChangesNames.size(), typed ? 1 : 0);
  if (opened) {
    QTRY_COMPARE(form.CurrentFileName, Absolute("houses.txt"));
    QCOMPARE(EditorText(form).toUtf8(), ExampleBytes("houses.txt").replace("\r\n", "\n"));
    QVERIFY(form.windowTitle().startsWith("houses.txt"));
    QCOMPARE(form.RecentFileNames(), QStringList{Absolute("houses.txt")});
  } else {
    QTest::qWait(50);
    QCOMPARE(EditorText(form), QStringLiteral("typed"));
    QVERIFY(form.CurrentFileName.isEmpty());
  }
}

void WindowDesktop::LinksDroppedAreNeitherOpenedNorPasted() {
  TForm1& form = NewWindow();
  QMimeData data;
  data.setUrls({QUrl(QStringLiteral("https://example.org/data.txt"))});
  data.setText(QStringLiteral("https://example.org/data.txt"));
  QVERIFY(!DropOnEditor(form, data));
  QTest::qWait(50);
  QVERIFY(EditorText(form).isEmpty());
  QVERIFY(form.CurrentFileName.isEmpty());
  QVERIFY(Dialogs.Errors.isEmpty());
}

// Only the ten newest stay, newest first; the next window lists them from the settings,
// and a file deleted since leaves the menu with a word in the status bar.
void WindowDesktop::RecentFilesOutliveTheWindowAndLoseMissingOnes() {
  TForm1& first = NewWindow();
  QStringList expected;
  for (int i = 1; i <= 12; ++i) {
    const QString name = QStringLiteral("data%1.txt").arg(i);
    WriteBytes(name, ExampleBytes("houses.txt"));
    first.FileOpen1Accept(name);
    expected.prepend(Absolute(name));
  }
  first.FileOpen1Accept("data5.txt");
  expected.move(expected.indexOf(Absolute("data5.txt")), 0);
  expected = expected.mid(0, RecentFiles::MaxFiles);
  QCOMPARE(first.RecentFileNames(), expected);

  QFile::remove("data12.txt");
  TForm1& second = NewWindow();
  QCOMPARE(second.RecentFileNames(), expected);
  QMenu* menu = Child<QAction>(second, "FileOpenRecent")->menu();
  emit menu->aboutToShow();
  expected.removeAll(Absolute("data12.txt"));
  QCOMPARE(second.RecentFileNames(), expected);
  QCOMPARE(menu->actions().size(), expected.size());
  QVERIFY(second.statusBar()->currentMessage().contains("data12.txt"));

  menu->actions().at(1)->trigger();
  QCOMPARE(second.CurrentFileName, expected.at(1));
  QCOMPARE(second.RecentFileNames().constFirst(), expected.at(1));
}

void WindowDesktop::PlaceOnScreenKeepsTheWindowInside_data() {
  QTest::addColumn<QRect>("wanted");
  QTest::addColumn<QRect>("placed");
  // The screen's available area is 0,0 to 799,599 below.
  QTest::newRow("inside stays") << QRect(10, 20, 300, 200) << QRect(10, 20, 300, 200);
  QTest::newRow("off the right and bottom") << QRect(700, 550, 300, 200)
                                            << QRect(500, 400, 300, 200);
  QTest::newRow("off the left and top") << QRect(-400, -50, 300, 200) << QRect(0, 0, 300, 200);
  QTest::newRow("larger than the screen") << QRect(-10, 40, 1600, 900) << QRect(0, 0, 800, 600);
  QTest::newRow("on a screen unplugged since") << QRect(3000, 100, 484, 426)
                                               << QRect(316, 100, 484, 426);
  QTest::newRow("nothing stored") << QRect() << QRect();
}

void WindowDesktop::PlaceOnScreenKeepsTheWindowInside() {
  QFETCH(QRect, wanted);
  QFETCH(QRect, placed);
  QCOMPARE(PlaceOnScreen(wanted, QRect(0, 0, 800, 600)), placed);
}

// What the last window left (place, options) is where the next one starts; a place off
// every screen comes back inside the available area.
void WindowDesktop::PlaceAndOptionsComeBackInTheNextWindow() {
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  TForm1& first = NewWindow();
  first.setGeometry(QRect(available.topLeft() + QPoint(30, 40), QSize(420, 300)));
  Child<QAction>(first, "SameFolds")->setChecked(true);
  Child<QAction>(first, "ViewFixedFont")->setChecked(true);
  QVERIFY(first.close());

  TForm1& second = NewWindow();
  QCOMPARE(second.geometry(), QRect(available.topLeft() + QPoint(30, 40), QSize(420, 300)));
  QVERIFY(Child<QAction>(second, "SameFolds")->isChecked());
  QVERIFY(Child<QAction>(second, "ViewFixedFont")->isChecked());
  QVERIFY(Child<QPlainTextEdit>(second, "RichEdit1")->font().fixedPitch() ||
          Child<QPlainTextEdit>(second, "RichEdit1")->font().styleHint() == QFont::Monospace);
  QVERIFY(!Child<QDockWidget>(second, "TreeDock")->isVisibleTo(&second));

  QSettings().setValue("window/geometry", QRect(available.right() + 2000, -900, 5000, 300));
  TForm1& third = NewWindow();
  QVERIFY(available.contains(third.geometry()));
}

void WindowDesktop::UndoRedoAndSelectAllActOnTheEditor() {
  TForm1& form = NewWindow();
  auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
  QVERIFY(!Child<QAction>(form, "EditUndo1")->isEnabled());
  QTest::keyClicks(editor, "abc");
  QVERIFY(Child<QAction>(form, "EditUndo1")->isEnabled());
  Trigger(form, "EditUndo1");
  QCOMPARE(editor->toPlainText(), QString());
  QVERIFY(Child<QAction>(form, "EditRedo1")->isEnabled());
  Trigger(form, "EditRedo1");
  QCOMPARE(editor->toPlainText(), QStringLiteral("abc"));
  Trigger(form, "EditSelectAll1");
  QCOMPARE(editor->textCursor().selectedText(), QStringLiteral("abc"));
  QVERIFY(Child<QAction>(form, "EditCut1")->isEnabled());
}

// Two actions on one key would make the key do nothing at all; the keys people expect
// are where they look for them.
void WindowDesktop::NoTwoActionsShareAKey() {
  TForm1& form = NewWindow();
  QMap<QKeySequence, QString> owner;
  for (QAction* action : form.findChildren<QAction*>()) {
    for (const QKeySequence& key : action->shortcuts()) {
      QVERIFY2(!owner.contains(key), qPrintable(key.toString() + " twice: " + owner.value(key) +
                                                 ", " + action->objectName()));
      owner.insert(key, action->objectName());
    }
  }
  const std::pair<const char*, const char*> expected[] = {
      {"F5", "TreeBuild"},       {"Ctrl+R", "TreeBuild"}, {"Ctrl+P", "ParamDialog"},
      {"F1", "HelpDataFormat"},  {"Ctrl+Q", "FileExit1"}, {"Ctrl+H", "SearchReplace1"},
      {"Ctrl+Z", "EditUndo1"},   {"Ctrl+A", "EditSelectAll1"},
  };
  for (const auto& [key, action] : expected) {
    QCOMPARE(owner.value(QKeySequence(QString::fromLatin1(key))), QString::fromLatin1(action));
  }
}

void WindowDesktop::OwnWorkFolderUnlessStartedInAPreparedOne_data() {
  QTest::addColumn<bool>("startupFile");
  QTest::addColumn<bool>("programFolder");
  QTest::addColumn<bool>("own");
  QTest::newRow("prepared folder") << true << false << false;
  QTest::newRow("no autoread.txt") << false << false << true;
  QTest::newRow("the program's folder") << true << true << true;
}

// The folder's contents decide; an unwritable folder is judged by its flag, as root may
// write anywhere.
void WindowDesktop::OwnWorkFolderUnlessStartedInAPreparedOne() {
  QFETCH(bool, startupFile);
  QFETCH(bool, programFolder);
  QFETCH(bool, own);
  if (startupFile) WriteBytes("autoread.txt", "hello");
  QDir().mkdir("bin");
  const QString here = QDir::currentPath();
  const TStartFolder start =
      InspectStartFolder(here, programFolder ? here + QStringLiteral("/bin") : QStringLiteral("/nowhere"));
  QCOMPARE(start.HasStartupFile, startupFile);
  QVERIFY(start.Writable);
  QCOMPARE(start.IsProgramFolder, programFolder);
  QCOMPARE(NeedsOwnWorkFolder(start), own);
  QVERIFY(NeedsOwnWorkFolder({.HasStartupFile = true, .Writable = false}));

  TForm1& form = NewWindow();
  form.ShowWelcome(QStringLiteral("Working folder: ") + here);
  QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Working folder: ") + here);
  // A start-up file of the folder's own is not covered by the greeting.
  QCOMPARE(EditorText(form).startsWith("Welcome"), !startupFile);
  QVERIFY(!Child<QPlainTextEdit>(form, "RichEdit1")->document()->isModified());
}

// Light or dark, the text stands out from the background and the fills stay near it.
void WindowDesktop::TreeColoursFollowThePalette() {
  const std::pair<QColor, QColor> palettes[] = {{Qt::black, Qt::white},
                                                {QColor(230, 230, 230), QColor(30, 30, 30)}};
  for (const auto& [text, base] : palettes) {
    QPalette palette;
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, base);
    const TreeColours colours = TreeColoursFor(palette);
    const auto distance = [](const QColor& a, const QColor& b) {
      return std::abs(a.lightness() - b.lightness());
    };
    QCOMPARE(colours.Background, base);
    QVERIFY(distance(colours.Text, colours.Background) > 150);
    QVERIFY(distance(colours.Line, colours.Background) > 100);
    for (const QColor& fill : {colours.LeafFill, colours.MixedFill}) {
      QVERIFY(distance(colours.Text, fill) > 120);
    }
  }
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowDesktop)
#include "window_desktop_tests.moc"
