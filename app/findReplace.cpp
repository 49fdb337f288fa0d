// Find and replace for the editor. One dialog class serves both commands; the replace
// form adds the replacement text and its two buttons. Searching continues after the
// current selection, so Find Next steps through the occurrences one by one, and Replace All
// continues after each inserted text so a replacement that contains the searched text
// cannot be found again.
#include "findReplace.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tarmel {

namespace {

QPushButton* AddButton(QDialogButtonBox* box, const QString& text) {
  return box->addButton(text, QDialogButtonBox::ActionRole);
}

}  // namespace

FindReplaceDialog::FindReplaceDialog(QPlainTextEdit* editor, Mode mode, QWidget* parent)
    : QDialog(parent), Editor_(editor) {
  const bool replacing = mode == Mode::Replace;
  setWindowTitle(replacing ? tr("Replace") : tr("Find"));
  auto* form = new QFormLayout;
  FindWhat_ = new QLineEdit(this);
  form->addRow(tr("Fi&nd what:"), FindWhat_);
  if (replacing) {
    ReplaceWith_ = new QLineEdit(this);
    form->addRow(tr("Re&place with:"), ReplaceWith_);
  }
  MatchCase_ = new QCheckBox(tr("Match &case"), this);
  Result_ = new QLabel(this);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* findNext = AddButton(buttons, tr("&Find Next"));
  findNext->setDefault(true);
  connect(findNext, &QPushButton::clicked, this, &FindReplaceDialog::FindNext);
  if (replacing) {
    connect(AddButton(buttons, tr("&Replace")), &QPushButton::clicked, this,
            &FindReplaceDialog::ReplaceFound);
    connect(AddButton(buttons, tr("Replace &All")), &QPushButton::clicked, this,
            &FindReplaceDialog::ReplaceAll);
  }
  connect(buttons->addButton(QDialogButtonBox::Cancel), &QPushButton::clicked, this,
          &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(MatchCase_);
  layout->addWidget(Result_);
  layout->addWidget(buttons);
}

void FindReplaceDialog::SetSearch(const QString& findWhat, const QString& replaceWith,
                                  bool matchCase) {
  FindWhat_->setText(findWhat);
  if (ReplaceWith_ != nullptr) ReplaceWith_->setText(replaceWith);
  MatchCase_->setChecked(matchCase);
}

bool FindReplaceDialog::FindNext() {
  const QString what = FindWhat_->text();
  if (what.isEmpty()) return false;
  const QTextDocument::FindFlags flags = SearchFlags();
  QTextDocument* doc = Editor_->document();
  QTextCursor found = doc->find(what, Editor_->textCursor(), flags);
  if (found.isNull()) found = doc->find(what, 0, flags);
  if (found.isNull()) {
    ShowResult(tr("Cannot find \"%1\".").arg(what));
    return false;
  }
  Editor_->setTextCursor(found);
  ShowResult({});
  return true;
}

QTextDocument::FindFlags FindReplaceDialog::SearchFlags() const {
  return MatchCase_->isChecked() ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
}

bool FindReplaceDialog::SelectionIsOccurrence() const {
  const Qt::CaseSensitivity cs = MatchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
  const QString selected = Editor_->textCursor().selectedText();
  return !selected.isEmpty() && selected.compare(FindWhat_->text(), cs) == 0;
}

bool FindReplaceDialog::ReplaceFound() {
  if (Editor_->isReadOnly()) return false;
  if (SelectionIsOccurrence()) {
    QTextCursor cursor = Editor_->textCursor();
    cursor.insertText(ReplaceWith_->text());
    Editor_->setTextCursor(cursor);
  }
  return FindNext();
}

int FindReplaceDialog::ReplaceAll() {
  const QString what = FindWhat_->text();
  if (what.isEmpty() || Editor_->isReadOnly()) return 0;
  const QTextDocument::FindFlags flags = SearchFlags();
  QTextDocument* doc = Editor_->document();
  QTextCursor edit(doc);
  edit.beginEditBlock();
  int count = 0;
  for (QTextCursor found = doc->find(what, 0, flags); !found.isNull();
       found = doc->find(what, found, flags)) {
    found.insertText(ReplaceWith_->text());
    ++count;
  }
  edit.endEditBlock();
  ShowResult(tr("%n occurrence(s) replaced.", nullptr, count));
  return count;
}

void FindReplaceDialog::ShowResult(const QString& text) { Result_->setText(text); }

}  // namespace tarmel
