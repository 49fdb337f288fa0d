// Shared helpers of the window tests; see windowTestSupport.h.
#include "windowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QSignalSpy>

namespace tarmel {

TForm1Dialogs FakeDialogs::Make() {
  TForm1Dialogs d;
  d.AskOpenFileName = [this](QWidget*) {
    ++OpenQuestions;
    return OpenAnswers.isEmpty() ? QString() : OpenAnswers.takeFirst();
  };
  d.AskSaveFileName = [this](QWidget*, const QString& folder) {
    SaveFolders << folder;
    return SaveAnswers.isEmpty() ? QString() : SaveAnswers.takeFirst();
  };
  d.ConfirmStop = [this](QWidget*) {
    ++StopQuestions;
    return StopAnswer;
  };
  d.AskSaveChanges = [this](QWidget*, const QString& name) {
    SaveChangesNames << name;
    return SaveChoices.isEmpty() ? SaveChoice::Cancel : SaveChoices.takeFirst();
  };
  d.ConfirmUtf8 = [this](QWidget*, const QString& fileName) {
    Utf8Questions << fileName;
    return Utf8Answer;
  };
  d.ShowError = [this](QWidget*, const QString& message) { Errors << message; };
  d.ShowWarnings = [this](QWidget*, const QString& warnings) { Warnings << warnings; };
  d.AskImportFileName = [this](QWidget*) {
    ++ImportQuestions;
    return OpenAnswers.isEmpty() ? QString() : OpenAnswers.takeFirst();
  };
  d.Ask = [this](QWidget*, const QString& question, const QStringList&) {
    Questions << question;
    return Answers.isEmpty() ? 0 : Answers.takeFirst();
  };
  return d;
}

WorkingFolder::WorkingFolder() : Previous_(QDir::currentPath()) {
  QDir::setCurrent(Dir_.path());
}

WorkingFolder::~WorkingFolder() { QDir::setCurrent(Previous_); }

TForm1& WindowTest::NewWindow() {
  Window_.reset();
  Window_ = std::make_unique<TForm1>(Dialogs.Make());
  return *Window_;
}

void WindowTest::init() {
  Folder_ = std::make_unique<WorkingFolder>();
  QStandardPaths::setTestModeEnabled(true);
  Settings_ = std::make_unique<QTemporaryDir>();
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings_->path());
  Dialogs = FakeDialogs{};
}

// The window goes before its folder, which it may still be using.
void WindowTest::cleanup() {
  Window_.reset();
  Folder_.reset();
  Settings_.reset();
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray ExampleBytes(const QString& name) {
  return ReadBytes(QStringLiteral(TARMEL_EXAMPLES_DIR "/") + name);
}

QString EditorText(TForm1& form) {
  return form.findChild<QPlainTextEdit*>(QStringLiteral("RichEdit1"))->toPlainText();
}

void SetEditorText(TForm1& form, const QString& text) {
  auto* editor = form.findChild<QPlainTextEdit*>(QStringLiteral("RichEdit1"));
  QTextCursor all(editor->document());
  all.select(QTextCursor::Document);
  all.insertText(text);
}

bool BuildAndWait(TForm1& form) {
  QSignalSpy finished(&form, &TForm1::BuildFinished);
  form.TreeBuildExecute();
  return form.IsRunning() && finished.wait(120000);
}

QByteArray GeneratedTable(int objects, int features) {
  QByteArray table = QByteArray::number(objects) + ' ' + QByteArray::number(features) + " ?\r\n";
  for (int f = 1; f <= features; ++f) table += f < features ? "1 " : "1\r\n";
  for (int f = 1; f <= features; ++f) table += "f" + QByteArray::number(f) + (f < features ? " " : "\r\n");
  uint32_t seed = 12345;
  for (int i = 0; i < objects; ++i) {
    double sum = 0;
    for (int f = 1; f < features; ++f) {
      seed = seed * 1103515245u + 12345u;
      const int value = static_cast<int>(seed >> 16) % 1000;
      sum += (f % 3 == 0 ? -1 : 1) * value;
      table += QByteArray::number(value / 10.0) + ' ';
    }
    table += QByteArray::number(sum / 100.0) + "\r\n";
  }
  return table;
}

}  // namespace tarmel
