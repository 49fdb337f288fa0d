// The program entry of Tarmel-TRELM: starts the toolkit, creates the main window, which
// shows autoread.txt from the working folder when it is there, opens the file named on the
// command line (a CSV or TSV table through Import Table), and runs the event loop until the
// window is closed.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "formTarmel.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
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

  tarmel::TForm1 form;
  form.show();
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    // Once the window is up, so that the import's dialog and any message have a parent.
    QTimer::singleShot(0, &form, [&form, file = files.constFirst()] {
      form.FileOpen1Accept(file);
    });
  }
  return QApplication::exec();
}
