// A seeded monkey on the window: thousands of random actions (menu actions, typing, runs
// started and stopped, the Parameters panel, imports of small tables, the tree dock) with
// every question answered at random. After each action the window must still answer, every
// file in its folder must be its old version or a whole new one, and text typed but never
// saved may only have gone after a "Discard". TARMEL_MONKEY_SEED and TARMEL_MONKEY_ACTIONS
// choose the sequence and its length; a failure names the seed and the action.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <random>

#include "importDialog.h"
#include "param_file.h"
#include "textFile.h"
#include "windowTestSupport.h"

namespace tarmel {

class WindowMonkey : public QObject {
  Q_OBJECT
 private slots:
  void RandomActionsLoseNothing();
};

namespace {

using TFiles = std::map<QString, QByteArray>;

uint32_t FromEnvironment(const char* name, uint32_t fallback) {
  bool ok = false;
  const uint32_t value = qEnvironmentVariable(name).toUInt(&ok);
  return ok ? value : fallback;
}

// The files of the folder but the hidden ones, where a write in progress puts its bytes.
TFiles FilesIn(const QString& folder) {
  TFiles files;
  for (const QString& name : QDir(folder).entryList(QDir::Files)) {
    files[name] = ReadBytes(folder + "/" + name);
  }
  return files;
}

// A write that has ended leaves nothing behind.
bool NoTemporaryFiles(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden) == QDir(folder).entryList(QDir::Files);
}

QString TextOf(const QString& fileName) {
  DecodedText loaded;
  QString reason;
  if (!LoadTextFile(fileName, loaded, reason)) return QStringLiteral("<unreadable>");
  return loaded.Text;
}

// A file the window wrote, whole: what its kind ends with, or the document it saved.
bool WholeNewVersion(const QString& name, const QByteArray& bytes,
                     const QStringList& editorTexts) {
  if (editorTexts.contains(TextOf(name))) return true;  // a document saved under any name
  if (name == QLatin1String("param.par")) {
    RunParameters params;
    return ReadParameterFile("param.par", params).Status == ParamFileStatus::Ok;
  }
  // A report ends its last line, unless it is a single line of refusal.
  if (name == QLatin1String("output.txt")) return bytes.endsWith('\n') || !bytes.contains('\n');
  if (name.endsWith(QLatin1String(".svg"))) return bytes.trimmed().endsWith("</svg>");
  if (name.endsWith(QLatin1String(".dot"))) return bytes.trimmed().endsWith("}");
  if (name.endsWith(QLatin1String(".png"))) return bytes.startsWith("\x89PNG") && bytes.contains("IEND");
  return false;
}

QString Excerpt(const QString& text) {
  return "\"" + text.left(40).replace('\n', "|") + "\"";
}

class Monkey {
 public:
  Monkey(uint32_t seed, const QString& folder) : Actions_(seed), Answers_(seed ^ 0x5bd1e995u),
                                                 Folder_(folder) {}

  TForm1Dialogs Dialogs();
  void AnswerModalDialogs();  // whatever modal dialog is open, answered at random
  void Act(TForm1& form);     // one random action
  QString LastAction;
  int Imports = 0, Questions = 0, Errors = 0;  // what the sequence reached, for its summary
  bool DiscardAnswered = false;
  QString Discarded;  // the text of the last Discard; a run may replace it only when it ends
  QPlainTextEdit* Editor = nullptr;
  bool EditedText = false;  // the last action typed or cut or pasted

 private:
  int Pick(int n) { return static_cast<int>(Actions_() % static_cast<uint32_t>(n)); }
  int Answer(int n) { return static_cast<int>(Answers_() % static_cast<uint32_t>(n)); }
  QString AnyFile(const QStringList& extra);
  void Type(TForm1& form);
  void Trigger(TForm1& form);
  void UsePanel(TForm1& form);
  void UseDock(TForm1& form);
  void AnswerImport(TImportDialog& dialog);

  QPointer<QWidget> Answered_;  // the last modal dialog given an answer
  std::mt19937 Actions_;
  std::mt19937 Answers_;  // apart, so that when a dialog comes never shifts the actions
  QString Folder_;
};

QString Monkey::AnyFile(const QStringList& extra) {
  QStringList names = QDir(Folder_).entryList(QDir::Files) + extra;
  names.removeAll(QStringLiteral("param.par"));
  names.removeAll(QStringLiteral("output.txt"));
  names.removeAll(QStringLiteral("tree.png"));  // no text to open, edit and save back
  return names[Answer(static_cast<int>(names.size()))];
}

TForm1Dialogs Monkey::Dialogs() {
  TForm1Dialogs d;
  d.AskOpenFileName = [this](QWidget*) { return AnyFile({"", "missing.txt"}); };
  d.AskSaveFileName = [this](QWidget*, const QString&) {
    return AnyFile({"", "saved1.txt", "saved2.txt", "table.csv"});
  };
  d.ConfirmStop = [this](QWidget*) { return Answer(2) == 0; };
  d.AskSaveChanges = [this](QWidget*, const QString&) {
    ++Questions;
    const auto choice = static_cast<SaveChoice>(Answer(3));
    if (choice == SaveChoice::Discard) {
      DiscardAnswered = true;
      Discarded = Editor->toPlainText();
    }
    return choice;
  };
  d.ConfirmUtf8 = [this](QWidget*, const QString&) { return Answer(2) == 0; };
  d.ShowError = [this](QWidget*, const QString&) { ++Errors; };
  d.ShowWarnings = [](QWidget*, const QString&) {};
  d.AskImportFileName = [this](QWidget*) { return AnyFile({"", "missing.csv"}); };
  d.Ask = [this](QWidget*, const QString&, const QStringList& answers) {
    ++Questions;
    return Answer(static_cast<int>(answers.size()) + 1) - 1;  // -1: Cancel
  };
  return d;
}

void Monkey::AnswerImport(TImportDialog& dialog) {
  ++Imports;
  auto* target = Child<QComboBox>(dialog, "TargetBox");
  if (target->count() > 0) target->setCurrentIndex(Answer(static_cast<int>(target->count())));
  if (Answer(3) == 0) {
    dialog.reject();
  } else {
    dialog.accept();
  }
}

// The answer comes from the event loop rather than from the clock's call, so that a dialog
// the answer opens in turn (a file that exists: replace it?) is answered as well.
void Monkey::AnswerModalDialogs() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || modal == Answered_) return;
  Answered_ = modal;
  std::function<void()> answer;
  if (auto* import = qobject_cast<TImportDialog*>(modal)) {
    answer = [this, import] { AnswerImport(*import); };
  } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
    const QString names[] = {"", "tree.svg", "tree.dot", "tree.png"};
    const QString name = names[Answer(4)];
    answer = [files, name, folder = Folder_] {
      if (name.isEmpty()) return files->reject();
      files->selectFile(folder + "/" + name);
      static_cast<QDialog*>(files)->accept();
    };
  } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    const QList<QAbstractButton*> buttons = box->buttons();
    QAbstractButton* chosen = buttons[Answer(static_cast<int>(buttons.size()))];
    answer = [chosen] { chosen->click(); };
  } else if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
    if (Answer(2) == 0) answer = [progress] { progress->cancel(); };
  } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
    answer = [dialog] { dialog->reject(); };
  }
  if (answer) QTimer::singleShot(0, modal, answer);
}

void Monkey::Type(TForm1& form) {
  auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
  static const char* const pieces[] = {"1 ", "x", "\n", " 2.5", "? ", "Predict 1\n", "\xC3\xA9"};
  QTextCursor cursor = editor->textCursor();
  const int length = editor->document()->characterCount();
  cursor.setPosition(Pick(length));
  editor->setTextCursor(cursor);
  switch (Pick(4)) {
    case 0:
      QTest::keyClick(editor, Qt::Key_Backspace);
      break;
    case 1:
      QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
      break;
    default:
      // Key events carry ASCII only; a letter beyond it comes as an input method puts it.
      const QString piece = QString::fromUtf8(pieces[Pick(std::size(pieces))]);
      for (const QChar c : piece) {
        if (c == QLatin1Char('\n')) {
          QTest::keyClick(editor, Qt::Key_Return);
        } else if (c.unicode() < 0x80) {
          QTest::keyClick(editor, c.toLatin1());
        } else {
          editor->insertPlainText(c);
        }
      }
  }
  EditedText = true;
}

void Monkey::Trigger(TForm1& form) {
  static const char* const actions[] = {
      "FileNew",    "FileOpen1",  "FileImportTable", "FileSave",   "FileSaveAs1",
      "FileExit1",  "EditCut1",   "EditCopy1",       "EditPaste1", "ViewFixedFont",
      "TreeBuild",  "TreeBuild",  "StopBuilding",    "ShowData",   "SameFolds"};
  const QString name = QString::fromLatin1(actions[Pick(std::size(actions))]);
  LastAction = name;
  EditedText = name == QLatin1String("EditCut1") || name == QLatin1String("EditPaste1");
  auto* action = form.findChild<QAction*>(name);
  if (action->isEnabled()) action->trigger();
  if (!form.isVisible()) form.show();  // an Exit that was carried out
}

void Monkey::UsePanel(TForm1& form) {
  static const char* const edits[] = {"Recursive_Embedding", "Homogeneity", "VariantsNumber",
                                      "FeatureToPredict",    "FoldsCrossValidate", "MinObj"};
  static const char* const values[] = {"1", "2", "0", "-3", "0.5", "x", "", "99999"};
  form.ParamDialogExecute();
  auto* edit = Child<QLineEdit>(form, edits[Pick(std::size(edits))]);
  if (edit != nullptr) edit->setText(QString::fromLatin1(values[Pick(std::size(values))]));
  if (Pick(2) == 0) {
    form.OKClick();
  } else {
    form.ParamCancel();
  }
}

void Monkey::UseDock(TForm1& form) {
  auto* dock = form.findChild<QDockWidget*>(QStringLiteral("TreeDock"));
  switch (Pick(3)) {
    case 0:
      dock->setVisible(!dock->isVisible());
      break;
    case 1:
      if (auto* selector = Child<QComboBox>(*dock, "TreeSelector"); selector->count() > 0) {
        selector->setCurrentIndex(Pick(selector->count()));
      }
      break;
    default:
      if (auto* exportTree = Child<QAction>(*dock, "FileExportTree"); exportTree->isEnabled()) {
        exportTree->trigger();
      }
  }
}

void Monkey::Act(TForm1& form) {
  DiscardAnswered = false;
  EditedText = false;
  switch (Pick(10)) {
    case 0:
    case 1:
    case 2:
      LastAction = QStringLiteral("typing");
      if (!form.IsRunning()) Type(form);
      break;
    case 3:
      LastAction = QStringLiteral("panel");
      if (!form.IsRunning()) UsePanel(form);
      break;
    case 4:
      LastAction = QStringLiteral("dock");
      UseDock(form);
      break;
    case 5:
      LastAction = QStringLiteral("waiting");
      QTest::qWait(Pick(30));
      break;
    default:
      Trigger(form);
  }
}

}  // namespace

void WindowMonkey::RandomActionsLoseNothing() {
  const uint32_t seed = FromEnvironment("TARMEL_MONKEY_SEED", 20261211);
  const uint32_t actions = FromEnvironment("TARMEL_MONKEY_ACTIONS", 3000);
  WorkingFolder folder;
  for (const char* name : {"flowers.txt", "houses.txt", "kiosk.txt"}) {
    WriteBytes(name, ExampleBytes(name));
  }
  for (const char* name : {"iris.csv", "toothgrowth.csv", "warpbreaks.tsv", "mtcars.csv"}) {
    WriteBytes(name, ReadBytes(QStringLiteral(TARMEL_TABLES_DIR "/") + name));
  }
  Monkey monkey(seed, folder.Path());
  TForm1 form(monkey.Dialogs());
  form.show();
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, &answerer, [&] { monkey.AnswerModalDialogs(); });
  answerer.start(2);
  auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
  monkey.Editor = editor;
  int runs = 0;
  QObject::connect(&form, &TForm1::BuildFinished, &form, [&runs] { ++runs; });
  for (uint32_t n = 1; n <= actions; ++n) {
    const TFiles before = FilesIn(folder.Path());
    const QString textBefore = EditorText(form);
    const bool unsaved = editor->document()->isModified();
    monkey.Act(form);
    const QString where = QStringLiteral("seed %1, action %2 (%3) in %4")
                              .arg(seed)
                              .arg(n)
                              .arg(monkey.LastAction, form.PanelText(0));
    if (qEnvironmentVariableIsSet("TARMEL_MONKEY_LOG")) qInfo("%s", qPrintable(where));
    QVERIFY2(form.findChild<QPlainTextEdit*>(QStringLiteral("RichEdit1")) == editor, qPrintable(where));
    const TFiles after = FilesIn(folder.Path());
    const QStringList editorTexts = {textBefore, EditorText(form)};
    for (const auto& [name, bytes] : before) {
      QVERIFY2(after.count(name) == 1, qPrintable(where + ": " + name + " has gone"));
    }
    QVERIFY2(form.IsRunning() || NoTemporaryFiles(folder.Path()),
             qPrintable(where + ": a temporary file was left behind"));
    for (const auto& [name, bytes] : after) {
      const auto old = before.find(name);
      const bool changed = old == before.end() || old->second != bytes;
      QVERIFY2(!changed || WholeNewVersion(name, bytes, editorTexts),
               qPrintable(where + ": " + name + " is neither its old nor a whole new version: " +
                          Excerpt(QString::fromLatin1(bytes.right(40)))));
    }
    const bool lost = unsaved && EditorText(form) != textBefore && !monkey.EditedText;
    // A save may write a file the very bytes it already held: the text is kept all the same.
    bool keptInFile = false;
    for (const auto& [name, bytes] : after) {
      keptInFile = keptInFile || (lost && TextOf(name) == textBefore);
    }
    QVERIFY2(!lost || monkey.DiscardAnswered || textBefore == monkey.Discarded || keptInFile,
             qPrintable(where + ": typed text went without a Discard: " + Excerpt(textBefore) +
                        " became " + Excerpt(EditorText(form))));
  }
  while (form.IsRunning()) QTest::qWait(20);
  qInfo("monkey: seed %u, %u actions: %d runs ended, %d import dialogs, %d save questions, "
        "%d errors shown", seed, actions, runs, monkey.Imports, monkey.Questions, monkey.Errors);
}

}  // namespace tarmel

QTEST_MAIN(tarmel::WindowMonkey)
#include "window_monkey_tests.moc"
