// What the window tests share: answers for the window's questions, a temporary working
// folder per test, the fixture that puts them together, and byte-exact file access.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "formTarmel.h"

namespace tarmel {

// Records every question the window asks and answers it from the lists given.
struct FakeDialogs {
  QStringList OpenAnswers;  // taken from the front; empty: cancelled
  QStringList SaveAnswers;
  QStringList SaveFolders;  // the initial folder of every save dialog shown
  int OpenQuestions = 0;
  bool StopAnswer = false;
  int StopQuestions = 0;
  QList<SaveChoice> SaveChoices;  // taken from the front; empty: Cancel
  QStringList SaveChangesNames;   // the name of every Save / Discard / Cancel question
  bool Utf8Answer = false;
  QStringList Utf8Questions;
  QStringList Errors;
  QStringList Warnings;
  int ImportQuestions = 0;
  QStringList Questions;  // every question with answers of its own
  QList<int> Answers;     // taken from the front; empty: the first answer

  TForm1Dialogs Make();
};

// Makes a fresh temporary folder the working directory for the lifetime of the object.
class WorkingFolder {
 public:
  WorkingFolder();
  ~WorkingFolder();
  QString Path() const { return Dir_.path(); }

 private:
  QString Previous_;
  QTemporaryDir Dir_;
};

// The base of every window test class: each test function runs in a fresh working folder
// with fresh answers and empty settings of its own (never the user's), and the window it
// makes lives until the function ends.
class WindowTest : public QObject {
  Q_OBJECT
 protected:
  // A new window answering from Dialogs; the one made before it, if any, goes first.
  TForm1& NewWindow();
  FakeDialogs Dialogs;

 private slots:
  void init();
  void cleanup();

 private:
  std::unique_ptr<WorkingFolder> Folder_;
  std::unique_ptr<QTemporaryDir> Settings_;
  std::unique_ptr<TForm1> Window_;
};

// The child widget or action of the given object name.
template <typename T>
T* Child(QObject& parent, const char* name) {
  return parent.findChild<T*>(QString::fromLatin1(name));
}

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ExampleBytes(const QString& name);  // a file of the examples folder
QString EditorText(TForm1& form);              // lines joined with '\n'
// Replaces the editor's text as typing would, so the text counts as changed.
void SetEditorText(TForm1& form, const QString& text);
// Runs Build Tree and waits until the report is shown; false if it never ends.
bool BuildAndWait(TForm1& form);
// A regression table of numbers, the last feature the target, with a long run at
// RecursiveComplexity 2; the same bytes every time.
QByteArray GeneratedTable(int objects, int features);

}  // namespace tarmel
