// Where the program works. Started in a prepared folder (one with autoread.txt that it may
// write to, as the start script makes) it works there; an installed program started from a
// menu, a file manager or a folder it must not litter works in a folder of the user's own,
// says so, and greets the user with the first steps instead of a blank editor.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStandardPaths>

#include "desktopSettings.h"
#include "formTarmel.h"

namespace tarmel {

namespace {

const QString StartupFile = QStringLiteral("autoread.txt");
const QString ProgramName = QStringLiteral("Tarmel");

QString InstalledDataFolder() {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../") +
                         QStringLiteral("share/tarmel"));
}

// A folder that is not there is the same as none.
bool SameFolder(const QString& a, const QString& b) {
  const QString canonical = QFileInfo(a).canonicalFilePath();
  return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// Documents/Tarmel where the user looks for files; the application's data folder where
// there is no documents folder to be had.
QStringList OwnFolderCandidates() {
  QStringList candidates;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty()) candidates.append(documents + QLatin1Char('/') + ProgramName);
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!data.isEmpty()) candidates.append(data);
  return candidates;
}

}  // namespace

TStartFolder InspectStartFolder(const QString& folder, const QString& programFolder) {
  const QFileInfo info(folder);
  TStartFolder start;
  start.HasStartupFile = QFileInfo::exists(folder + QLatin1Char('/') + StartupFile);
  start.Writable = info.isDir() && info.isWritable();
  start.IsProgramFolder = SameFolder(folder, programFolder) ||
                          SameFolder(folder, programFolder + QStringLiteral("/.."));
  return start;
}

bool NeedsOwnWorkFolder(const TStartFolder& start) {
  return !start.HasStartupFile || !start.Writable || start.IsProgramFolder;
}

QString EnterOwnWorkFolder() {
  const QString start = QDir::currentPath();
  if (!NeedsOwnWorkFolder(InspectStartFolder(start, QCoreApplication::applicationDirPath()))) {
    return {};
  }
  for (const QString& folder : OwnFolderCandidates()) {
    if (QDir().mkpath(folder) && QFileInfo(folder).isWritable() && QDir::setCurrent(folder)) {
      return QStringLiteral("Working folder: %1").arg(QDir::toNativeSeparators(folder));
    }
  }
  return QStringLiteral("No folder of your own could be made; working in %1")
      .arg(QDir::toNativeSeparators(start));
}

QString InstalledFile(const QString& name) {
  const QString places[] = {name, QCoreApplication::applicationDirPath() + QLatin1Char('/') + name,
                            InstalledDataFolder() + QLatin1Char('/') + name};
  for (const QString& place : places) {
    if (QFileInfo::exists(place)) return place;
  }
  return name;
}

QString ExamplesFolder() {
  const QString folder = InstalledDataFolder() + QStringLiteral("/examples");
  return QFileInfo(folder).isDir() ? folder : QString();
}

// Short lines: the editor does not wrap them.
QString WorkFolderText(const QString& folder) {
  return QStringLiteral(
             "The working folder is\n    %1\n"
             "The parameters (param.par) and the report\n"
             "of every run (output.txt) are written there.\n"
             "Started in a folder holding autoread.txt,\n"
             "the program works in that folder instead.")
      .arg(QDir::toNativeSeparators(folder));
}

QString WelcomeText(const QString& folder) {
  const QString examples = ExamplesFolder();
  const QString where = examples.isEmpty()
                            ? QStringLiteral("a data file (.txt).")
                            : QStringLiteral("an example in\n    %1").arg(
                                  QDir::toNativeSeparators(examples));
  return QStringLiteral(
             "Welcome to Tarmel-TRELM.\n\n"
             "It grows decision trees over a table of\n"
             "objects described by features, and predicts\n"
             "new objects with them.\n\n"
             "First steps:\n"
             "1. File > Open... (Ctrl+O) and choose\n"
             "    %1\n"
             "2. Run > Parameters (Ctrl+P): set\n"
             "    FeatureToPredict to the number of the\n"
             "    feature to predict (counted from 1), OK.\n"
             "3. Run > Grow Tree (F5).\n\n"
             "The report then appears in this editor and\n"
             "the tree beside it. A CSV or TSV table comes\n"
             "in through File > Import Table...; a file\n"
             "dropped on the window is opened.\n"
             "Help > Data File Format (F1) describes the\n"
             "data files.\n\n"
             "%2\n")
      .arg(where, WorkFolderText(folder));
}

// A start-up file of the user's own in that folder keeps its place in the editor.
void TForm1::ShowWelcome(const QString& message) {
  if (PanelText(0).isEmpty()) {
    RichEdit1->setPlainText(WelcomeText(QDir::currentPath()));
    RichEdit1->document()->setModified(false);
  }
  if (!message.isEmpty()) ShowStatus(message);
}

}  // namespace tarmel
