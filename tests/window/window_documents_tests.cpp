// The window's document handling: start-up, New, Open, Save and Save As with their file
// names, the bytes of the files, the caret panel, Stop, find and replace.
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <cstdlib>
#include <functional>

#include "findReplace.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowDocuments : public WindowTest {
  Q_OBJECT
 private slots:
  void StartupShowsAutoreadWithoutOpeningIt();
  void StartupWithoutAutoreadLeavesEverythingEmptyAndSaveAsks();
  void UnreadableAutoreadIsReported();
  void NewThenSaveGoesToSaveAs();
  void SaveAsStartsInTheDocumentsFolder();
  void OpenOfMissingFileNamesItAndKeepsState();
  void SaveFailureNamesFileAndKeepsName();
  void Latin1BytesSurviveOpenThenSave();
  void Utf8AndLineEndsSurviveOpenThenSave();
  void CaretPanelCountsFromOne();
  void StopAsksAndNoChangesNothing();
  void ChangedTextIsKeptUntilTheUserDecides();
  void SaveChoiceSavesBeforeReplacing();
  void TitleNamesTheFileAndMarksChanges();
  void Latin1DocumentAsksBeforeBecomingUtf8();
  void FixedWidthFontLastsTheSession();
  void FindNextStepsThroughAndWraps();
  void ReplaceAllDoesNotRefindItsOwnText();
};

void WindowDocuments::StartupShowsAutoreadWithoutOpeningIt() {
  WriteBytes("autoread.txt", "Welcome\r\nline two\r\n");
  TForm1& form = NewWindow();
  QCOMPARE(EditorText(form), QStringLiteral("Welcome\nline two\n"));
  QCOMPARE(form.PanelText(0), QStringLiteral("autoread.txt"));
  QCOMPARE(form.LastLoadedFile, QStringLiteral("autoread.txt"));
  QVERIFY(form.CurrentFileName.isEmpty());
}

void WindowDocuments::StartupWithoutAutoreadLeavesEverythingEmptyAndSaveAsks() {
  TForm1& form = NewWindow();
  QVERIFY(EditorText(form).isEmpty());
  for (int panel = 0; panel < 3; ++panel) QVERIFY(form.PanelText(panel).isEmpty());
  QVERIFY(form.CurrentFileName.isEmpty());
  QVERIFY(form.LastLoadedFile.isEmpty());
  SetEditorText(form, "typed");
  form.FileSaveExecute();  // asks for a name, and is cancelled
  QCOMPARE(Dialogs.SaveFolders.size(), 1);
  QVERIFY(QDir().entryList(QDir::Files).isEmpty());
  QVERIFY(Dialogs.Errors.isEmpty());
}

void WindowDocuments::UnreadableAutoreadIsReported() {
  QDir().mkdir("autoread.txt");
  TForm1& form = NewWindow();
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(Dialogs.Errors[0].startsWith("Cannot read \"autoread.txt\": "));
  QVERIFY(form.PanelText(0).isEmpty());
  QVERIFY(form.LastLoadedFile.isEmpty());
}

// Save of a new document asks for a name once; from then on it writes to that name.
void WindowDocuments::NewThenSaveGoesToSaveAs() {
  Dialogs.SaveAnswers << "first.txt";
  TForm1& form = NewWindow();
  form.FileNewExecute();
  QCOMPARE(form.CurrentFileName, QStringLiteral("untitled.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("untitled.txt"));
  SetEditorText(form, "a\nb");
  form.FileSaveExecute();
  QCOMPARE(ReadBytes("first.txt"), QByteArray("a\r\nb"));
  QVERIFY(!QFile::exists("untitled.txt"));
  QCOMPARE(form.CurrentFileName, QStringLiteral("first.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("first.txt"));
  SetEditorText(form, "two\n");
  form.FileSaveExecute();
  QCOMPARE(Dialogs.SaveFolders.size(), 1);  // the second Save asked nothing
  QCOMPARE(ReadBytes("first.txt"), QByteArray("two\r\n"));
  QVERIFY(form.LastLoadedFile.isEmpty());  // Save As puts nothing into the editor
}

void WindowDocuments::SaveAsStartsInTheDocumentsFolder() {
  QDir().mkdir("sub");
  WriteBytes("sub/data.txt", "x");
  WriteBytes("plain.txt", "y");
  TForm1& form = NewWindow();
  form.FileOpen1Accept("sub/data.txt");
  form.FileSaveAs1Execute();
  form.FileOpen1Accept("plain.txt");
  form.FileSaveAs1Execute();
  QCOMPARE(Dialogs.SaveFolders, QStringList({"sub", ""}));
}

void WindowDocuments::OpenOfMissingFileNamesItAndKeepsState() {
  WriteBytes("kept.txt", "kept");
  Dialogs.OpenAnswers << "kept.txt" << "absent.txt";
  TForm1& form = NewWindow();
  form.FileOpen1Execute();
  form.FileOpen1Execute();
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(Dialogs.Errors[0].contains("\"absent.txt\""));
  QVERIFY(Dialogs.Errors[0].contains("No such file"));
  QCOMPARE(form.CurrentFileName, QStringLiteral("kept.txt"));
  QCOMPARE(form.LastLoadedFile, QStringLiteral("kept.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("kept.txt"));
  QCOMPARE(EditorText(form), QStringLiteral("kept"));
}

void WindowDocuments::SaveFailureNamesFileAndKeepsName() {
  Dialogs.SaveAnswers << "no-such-folder/x.txt";
  TForm1& form = NewWindow();
  form.FileNewExecute();
  form.FileSaveAs1Execute();
  QCOMPARE(Dialogs.Errors.size(), 1);
  QVERIFY(Dialogs.Errors[0].contains("\"no-such-folder/x.txt\""));
  QCOMPARE(form.CurrentFileName, QStringLiteral("untitled.txt"));
  QCOMPARE(form.PanelText(0), QStringLiteral("untitled.txt"));
  // On a full disk (a small file system of our own; only root may mount one) the old file
  // stays whole and no temporary file is left beside it.
  QDir().mkdir(QStringLiteral("disk"));
  if (::geteuid() != 0 || std::system("mount -t tmpfs -o size=64k tmpfs disk 2>/dev/null") != 0) {
    return;
  }
  struct Unmount {
    ~Unmount() { [[maybe_unused]] const int ignored = std::system("umount disk"); }
  } unmount;
  const QByteArray old(6000, 'o');
  WriteBytes("disk/data.txt", old);
  WriteBytes("disk/filler", QByteArray(65536 - 8192, 'f'));
  form.FileOpen1Accept("disk/data.txt");
  SetEditorText(form, QString(20000, QLatin1Char('x')));
  form.FileSaveExecute();
  QVERIFY(Dialogs.Errors.last().contains(QStringLiteral("No space left on device")));
  QCOMPARE(ReadBytes("disk/data.txt"), old);
  QCOMPARE(QDir(QStringLiteral("disk")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void WindowDocuments::Latin1BytesSurviveOpenThenSave() {
  QByteArray bytes = "Name\r\n";
  for (int c = 0x80; c <= 0xFF; ++c) bytes += static_cast<char>(c);  // 0xA0 included
  for (int c = 0x00; c < 0x20; ++c) {
    if (c != '\r' && c != '\n') bytes += static_cast<char>(c);  // 0x1A, the old end mark, too
  }
  bytes += "\r\nS\xE9ville \xA0 end\r\n";
  WriteBytes("latin.txt", bytes);
  TForm1& form = NewWindow();
  form.FileOpen1Accept("latin.txt");
  QVERIFY(EditorText(form).contains(QStringLiteral("S\u00E9ville")));
  form.FileSaveExecute();
  QCOMPARE(ReadBytes("latin.txt"), bytes);
}

void WindowDocuments::Utf8AndLineEndsSurviveOpenThenSave() {
  const QByteArray utf8 = "\xEF\xBB\xBFZ\xC3\xBCrich \xE2\x82\xAC\r\n\r\n";
  WriteBytes("utf8.txt", utf8);
  WriteBytes("lf.txt", "a\nb\n");
  TForm1& form = NewWindow();
  form.FileOpen1Accept("utf8.txt");
  form.FileSaveExecute();
  QCOMPARE(ReadBytes("utf8.txt"), utf8);
  form.FileOpen1Accept("lf.txt");
  form.FileSaveExecute();
  QCOMPARE(ReadBytes("lf.txt"), QByteArray("a\r\nb\r\n"));
}

void WindowDocuments::CaretPanelCountsFromOne() {
  TForm1& form = NewWindow();
  auto* editor = form.findChild<QPlainTextEdit*>("RichEdit1");
  editor->setPlainText("first\nsecond");
  editor->moveCursor(QTextCursor::Start);
  QCOMPARE(form.PanelText(1), QStringLiteral("1:1"));
  editor->moveCursor(QTextCursor::Down);
  editor->moveCursor(QTextCursor::Right);
  editor->moveCursor(QTextCursor::Right);
  QCOMPARE(form.PanelText(1), QStringLiteral("2:3"));
}

// Without a run there is nothing to stop: the action is disabled and asks nothing.
void WindowDocuments::StopAsksAndNoChangesNothing() {
  WriteBytes("doc.txt", "doc");
  Dialogs.StopAnswer = true;
  TForm1& form = NewWindow();
  form.FileOpen1Accept("doc.txt");
  auto* stop = form.findChild<QAction*>("StopBuilding");
  QVERIFY(!stop->isEnabled());
  stop->trigger();
  form.StopBuildingExecute();
  QCOMPARE(Dialogs.StopQuestions, 0);
  QCOMPARE(form.CurrentFileName, QStringLiteral("doc.txt"));
  QCOMPARE(EditorText(form), QStringLiteral("doc"));
  QCOMPARE(form.PanelText(0), QStringLiteral("doc.txt"));
}

// New, Open and closing the window ask about changed text; Cancel leaves everything as
// it was, Discard goes ahead, and unchanged text is replaced without a question.
void WindowDocuments::ChangedTextIsKeptUntilTheUserDecides() {
  WriteBytes("other.txt", "other");
  const struct {
    const char* name;
    std::function<bool(TForm1&)> act;  // true when the window went ahead
  } actions[] = {
      {"New", [](TForm1& f) { f.FileNewExecute(); return EditorText(f).isEmpty(); }},
      {"Open", [](TForm1& f) { f.FileOpen1Execute(); return EditorText(f) == "other"; }},
      {"close", [](TForm1& f) { return f.close(); }},
  };
  for (const auto& action : actions) {
    Dialogs = {};
    Dialogs.OpenAnswers << "other.txt";
    TForm1& form = NewWindow();
    form.show();
    SetEditorText(form, "typed at start-up");
    QVERIFY2(!action.act(form), action.name);
    QCOMPARE(Dialogs.SaveChangesNames.size(), 1);
    QCOMPARE(EditorText(form), QStringLiteral("typed at start-up"));
    QVERIFY(form.isWindowModified());
    QVERIFY(form.CurrentFileName.isEmpty());
    QCOMPARE(Dialogs.OpenQuestions, 0);  // Open asked before its dialog
    Dialogs.SaveChoices << SaveChoice::Discard;
    QVERIFY2(action.act(form), action.name);
    QVERIFY(Dialogs.SaveFolders.isEmpty());
  }
  Dialogs = {};
  TForm1& form = NewWindow();
  form.FileOpen1Accept("other.txt");
  form.FileNewExecute();  // nothing changed: no question
  QVERIFY(Dialogs.SaveChangesNames.isEmpty());
}

void WindowDocuments::SaveChoiceSavesBeforeReplacing() {
  WriteBytes("doc.txt", "doc");
  TForm1& form = NewWindow();
  form.FileOpen1Accept("doc.txt");
  SetEditorText(form, "doc, edited");
  Dialogs.SaveChoices << SaveChoice::Save;
  form.FileNewExecute();
  QCOMPARE(Dialogs.SaveChangesNames, QStringList({"doc.txt"}));
  QCOMPARE(ReadBytes("doc.txt"), QByteArray("doc, edited"));
  QVERIFY(EditorText(form).isEmpty());
  SetEditorText(form, "new text");
  Dialogs.SaveChoices << SaveChoice::Save;  // the name is asked for, and not given
  form.FileNewExecute();
  QCOMPARE(EditorText(form), QStringLiteral("new text"));
  QCOMPARE(Dialogs.SaveFolders.size(), 1);
}

void WindowDocuments::TitleNamesTheFileAndMarksChanges() {
  WriteBytes("sub-doc.txt", "x");
  TForm1& form = NewWindow();
  QCOMPARE(form.windowTitle(), QStringLiteral("Tarmel-TRELM[*]"));
  QVERIFY(!form.isWindowModified());
  SetEditorText(form, "typed");
  QVERIFY(form.isWindowModified());
  Dialogs.SaveChoices << SaveChoice::Discard;
  form.FileOpen1Accept(QDir::currentPath() + "/sub-doc.txt");
  QCOMPARE(form.windowTitle(), QStringLiteral("sub-doc.txt[*] - Tarmel-TRELM"));
  QVERIFY(!form.isWindowModified());
  SetEditorText(form, "y");
  QVERIFY(form.isWindowModified());
  form.FileSaveExecute();
  QVERIFY(!form.isWindowModified());
}

void WindowDocuments::Latin1DocumentAsksBeforeBecomingUtf8() {
  WriteBytes("latin.txt", "S\xE9ville\r\n");
  TForm1& form = NewWindow();
  form.FileOpen1Accept("latin.txt");
  SetEditorText(form, QStringLiteral("S\u00E9ville \u20AC\n"));
  QVERIFY(!form.FileSaveExecute());  // answered No: nothing written
  QCOMPARE(Dialogs.Utf8Questions, QStringList({"latin.txt"}));
  QCOMPARE(ReadBytes("latin.txt"), QByteArray("S\xE9ville\r\n"));
  QVERIFY(form.isWindowModified());
  Dialogs.Utf8Answer = true;
  QVERIFY(form.FileSaveExecute());
  QCOMPARE(ReadBytes("latin.txt"), QByteArray("S\xC3\xA9ville \xE2\x82\xAC\r\n"));
  SetEditorText(form, QStringLiteral("\u20AC only\n"));
  QVERIFY(form.FileSaveExecute());  // UTF-8 from now on: no further question
  QCOMPARE(Dialogs.Utf8Questions.size(), 2);
  SetEditorText(form, QStringLiteral("S\u00E9ville"));
  form.FileSaveAs1Accept("plain.txt");  // text that fits Latin-1 asks nothing
  QCOMPARE(Dialogs.Utf8Questions.size(), 2);
}

void WindowDocuments::FixedWidthFontLastsTheSession() {
  TForm1& form = NewWindow();
  auto* editor = form.findChild<QPlainTextEdit*>("RichEdit1");
  auto* fixed = form.findChild<QAction*>("ViewFixedFont");
  QVERIFY(fixed->isCheckable());
  QVERIFY(!fixed->isChecked());
  QCOMPARE(editor->font().pixelSize(), 19);
  QVERIFY(!QFontInfo(editor->font()).fixedPitch());
  fixed->trigger();
  WriteBytes("doc.txt", "doc");
  form.FileOpen1Accept("doc.txt");
  form.FileNewExecute();
  QVERIFY(QFontInfo(editor->font()).fixedPitch());
  fixed->trigger();
  QCOMPARE(editor->font().pixelSize(), 19);
}

void WindowDocuments::FindNextStepsThroughAndWraps() {
  TForm1& form = NewWindow();
  auto* editor = form.findChild<QPlainTextEdit*>("RichEdit1");
  editor->setPlainText("Tree tree TREE");
  FindReplaceDialog find(editor, FindReplaceDialog::Mode::Find);
  find.SetSearch("tree", {}, true);
  QVERIFY(find.FindNext());
  QCOMPARE(editor->textCursor().selectionStart(), 5);
  QVERIFY(find.FindNext());  // the only match again, found by wrapping round
  QCOMPARE(editor->textCursor().selectionStart(), 5);
  find.SetSearch("tree", {}, false);
  QVERIFY(find.FindNext());
  QCOMPARE(editor->textCursor().selectionStart(), 10);
  find.SetSearch("oak", {}, false);
  QVERIFY(!find.FindNext());
}

void WindowDocuments::ReplaceAllDoesNotRefindItsOwnText() {
  TForm1& form = NewWindow();
  auto* editor = form.findChild<QPlainTextEdit*>("RichEdit1");
  editor->setPlainText("a b A\na");
  FindReplaceDialog replace(editor, FindReplaceDialog::Mode::Replace);
  replace.SetSearch("a", "aa", true);
  QCOMPARE(replace.ReplaceAll(), 2);
  QCOMPARE(editor->toPlainText(), QStringLiteral("aa b A\naa"));
  replace.SetSearch("b", "c", false);
  editor->moveCursor(QTextCursor::Start);
  QVERIFY(replace.ReplaceFound());   // nothing selected yet: only selects the "b"
  QVERIFY(!replace.ReplaceFound());  // replaces it; there is no further "b"
  QCOMPARE(editor->toPlainText(), QStringLiteral("aa c A\naa"));
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowDocuments)
#include "window_documents_tests.moc"
