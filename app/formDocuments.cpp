// The main window's documents: the editor's text loaded from and saved to its file (in the
// encoding it was read in), New, Open, Import Table, Save and Save As, and the question
// before changed text would be replaced.
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "formTarmel.h"
#include "importDialog.h"
#include "textFile.h"

namespace tarmel {

namespace {

const QString StartupFile = QStringLiteral("autoread.txt");

// The folder part of a file name, empty when it has none.
QString FolderOf(const QString& fileName) {
  const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : fileName.left(slash);
}

}  // namespace

void TForm1::ShowFileError(const QString& what, const QString& fileName, const QString& reason) {
  Dialogs_.ShowError(this, QStringLiteral("%1 \"%2\": %3").arg(what, fileName, reason));
}

bool TForm1::LoadIntoEditor(const QString& fileName) {
  DecodedText loaded;
  QString reason;
  if (!LoadTextFile(fileName, loaded, reason)) {
    ShowFileError(QStringLiteral("Cannot read"), fileName, reason);
    return false;
  }
  RichEdit1->setPlainText(loaded.Text);
  Encoding_ = loaded.Encoding;
  ReportCopyName_.clear();
  return true;
}

// The raw text keeps non-breaking spaces, which the plain-text view turns into blanks;
// blocks are separated by paragraph separators and typed line breaks by line separators.
QString TForm1::EditorText() const {
  QString text = RichEdit1->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text;
}

bool TForm1::SaveEditorTo(const QString& fileName) {
  const QString text = EditorText();
  TextEncoding encoding = Encoding_;
  if (!FitsEncoding(text, encoding)) {
    if (!Dialogs_.ConfirmUtf8(this, fileName)) return false;
    encoding = TextEncoding::Utf8;
  }
  QString reason;
  if (!SaveTextFile(fileName, text, encoding, reason)) {
    ShowFileError(QStringLiteral("Cannot write"), fileName, reason);
    return false;
  }
  Encoding_ = encoding;
  RichEdit1->document()->setModified(false);
  return true;
}

bool TForm1::IsModified() const { return RichEdit1->document()->isModified(); }

// A document that has a file of its own; "untitled.txt" is only a placeholder name.
bool TForm1::HasNamedDocument() const {
  return !CurrentFileName.isEmpty() && CurrentFileName != UntitledFile;
}

// Asks before changed text is replaced or dropped; false when the user keeps it.
bool TForm1::MaybeSaveChanges() {
  if (!IsModified()) return true;
  // Typed text without a file of its own has no name worth showing.
  const QString name = ShowsReport_ || HasNamedDocument() ? PanelText(0) : QString();
  switch (Dialogs_.AskSaveChanges(this, name)) {
    case SaveChoice::Save:
      return FileSaveExecute();
    case SaveChoice::Discard:
      return true;
    case SaveChoice::Cancel:
      break;
  }
  return false;
}

void TForm1::FormCreate() {
  if (!QFile::exists(StartupFile) || !LoadIntoEditor(StartupFile)) return;
  SetDocument({.DataFile = CurrentFileName, .Shown = StartupFile});
}

void TForm1::FileNewExecute() {
  if (!MaybeSaveChanges()) return;
  RichEdit1->clear();
  Encoding_ = TextEncoding::Utf8;
  ReportCopyName_.clear();
  SetDocument({.DataFile = UntitledFile, .Shown = UntitledFile, .Loaded = false});
}

void TForm1::FileOpen1Execute() {
  if (!MaybeSaveChanges()) return;
  const QString fileName = Dialogs_.AskOpenFileName(this);
  if (!fileName.isEmpty()) FileOpen1Accept(fileName);
}

void TForm1::FileOpen1Accept(const QString& fileName) {
  if (IsTableFile(fileName)) {
    FileImportTableAccept(fileName);
    return;
  }
  if (!LoadIntoEditor(fileName)) return;
  SetDocument({.DataFile = fileName, .Shown = fileName});
  NoteRecentFile(fileName);
}

void TForm1::FileImportTableExecute() {
  const QString fileName = Dialogs_.AskImportFileName(this);
  if (!fileName.isEmpty()) FileImportTableAccept(fileName);
}

// The imported data file becomes a new document, saved as any new one on the first Build
// Tree (which writes the document only when the editor holds it as the last loaded file);
// its target is the feature to predict from now on. A New that was not carried out (the
// user kept the text in the editor) leaves the import undone.
void TForm1::FileImportTableAccept(const QString& fileName) {
  const auto showError = [this](const QString& message) { Dialogs_.ShowError(this, message); };
  const TTableOpener open = Dialogs_.OpenTable ? Dialogs_.OpenTable : TTableOpener(OpenTable);
  const std::optional<TImportedTable> table =
      ImportTableWithDialog(this, fileName, showError, open);
  if (!table) return;
  FileNewExecute();
  if (CurrentFileName != UntitledFile || !RichEdit1->document()->isEmpty()) return;
  RichEdit1->setPlainText(table->Text);
  SetDocument({.DataFile = UntitledFile, .Shown = UntitledFile, .Modified = true});
  NoteRecentFile(fileName);
  QString error;
  if (!SetFeatureToPredict(table->TargetFeature, error)) showError(error);
  ShowNextTarget();
}

// A shown report goes to a file of its own, never over the data file it was made from;
// a document without a file of its own needs a name first.
bool TForm1::FileSaveExecute() {
  if (ShowsReport_) {
    return ReportCopyName_.isEmpty() ? FileSaveAs1Execute() : SaveEditorTo(ReportCopyName_);
  }
  return HasNamedDocument() ? SaveEditorTo(CurrentFileName) : FileSaveAs1Execute();
}

bool TForm1::FileSaveAs1Execute() {
  FileSaveAs1BeforeExecute();
  const QString fileName = Dialogs_.AskSaveFileName(this, SaveAsFolder_);
  return !fileName.isEmpty() && FileSaveAs1Accept(fileName);
}

void TForm1::FileSaveAs1BeforeExecute() { SaveAsFolder_ = FolderOf(CurrentFileName); }

// Saving a report names the report's copy; the data file stays the document, and the
// next Build Tree reads it again.
bool TForm1::FileSaveAs1Accept(const QString& fileName) {
  if (ShowsReport_ && HasNamedDocument() && QFileInfo(fileName) == QFileInfo(CurrentFileName)) {
    ShowFileError(QStringLiteral("Cannot save the report as"), fileName,
                  QStringLiteral("it is the data file the report was made from"));
    return false;
  }
  if (!SaveEditorTo(fileName)) return false;
  if (ShowsReport_) ReportCopyName_ = fileName;
  SetDocument({.DataFile = ShowsReport_ ? CurrentFileName : fileName,
               .Shown = fileName,
               .IsReport = ShowsReport_,
               .Loaded = false});
  return true;
}

}  // namespace tarmel
