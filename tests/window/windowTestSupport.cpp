// Shared helpers of the window tests; see windowTestSupport.h.
#include "windowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
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
  d.EndProgram = [this] { ++EndRequests; };
  return d;
}

WorkingFolder::WorkingFolder() : Previous_(QDir::currentPath()) {
  QDir::setCurrent(Dir_.path());
}

WorkingFolder::~WorkingFolder() { QDir::setCurrent(Previous_); }

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

}  // namespace tarmel
