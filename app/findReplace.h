// The find and the replace dialogs over the editor's text: find next (wrapping round to
// the start once), match case, replace the found text, replace every occurrence.
#pragma once

#include <QDialog>
#include <QTextDocument>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tarmel {

class FindReplaceDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { Find, Replace };
  FindReplaceDialog(QPlainTextEdit* editor, Mode mode, QWidget* parent = nullptr);

  void SetSearch(const QString& findWhat, const QString& replaceWith, bool matchCase);
  // Selects the next occurrence after the caret; false (with a note) when there is none.
  bool FindNext();
  // Replaces the selection when it is an occurrence, then finds the next one.
  bool ReplaceFound();
  // Replaces every occurrence from the start, as one undo step; returns how many.
  int ReplaceAll();

 private:
  QTextDocument::FindFlags SearchFlags() const;
  bool SelectionIsOccurrence() const;
  void ShowResult(const QString& text);

  QPlainTextEdit* Editor_;
  QLineEdit* FindWhat_;
  QLineEdit* ReplaceWith_ = nullptr;
  QCheckBox* MatchCase_;
  QLabel* Result_;
};

}  // namespace tarmel
