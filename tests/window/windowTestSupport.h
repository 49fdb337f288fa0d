// What the window tests share: answers for the window's questions, a temporary working
// folder per test, and byte-exact file access.
#pragma once

#include <QByteArray>
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
