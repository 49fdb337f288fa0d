// The program entry of Tarmel-TRELM: starts the toolkit, moves to a working folder of the
// user's own unless started in a prepared one, creates the main window, which shows
// autoread.txt from the working folder when it is there, opens the file named on the
// command line (a CSV or TSV table through Import Table), and runs the event loop until
// the window is closed.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "desktopSettings.h"
#include "formTarmel.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Tarmel"));
  QApplication::setApplicationName(QStringLiteral("Tarmel"));
  QApplication::setApplicationVersion(QStringLiteral("2.0"));
  QApplication::setDesktopFileName(QStringLiteral("tarmel"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Grows decision trees over a data file and predicts new objects with them."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("A data file to open, or a CSV or TSV table to import."),
      QStringLiteral("[FILE]"));
  parser.process(app);

  // The file is named from where the program was started, before it moves.
  QStringList files = parser.positionalArguments();
  for (QString& file : files) file = QFileInfo(file).absoluteFilePath();
  const QString workFolder = tarmel::EnterOwnWorkFolder();

  tarmel::TForm1 form;
  form.show();
  // After show, which would bring back the panels the message covers.
  if (!workFolder.isEmpty()) form.ShowWelcome(workFolder);
  if (!files.isEmpty()) {
    // Once the window is up, so that the import's dialog and any message have a parent.
    QTimer::singleShot(0, &form, [&form, file = files.constFirst()] {
      form.FileOpen1Accept(file);
    });
  }
  return QApplication::exec();
}
