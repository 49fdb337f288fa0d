// The program entry of Tarmel-TRELM: starts the toolkit, creates the main window, which
// shows autoread.txt from the working folder when it is there, and runs the event loop
// until the window is closed.
#include <QApplication>

#include "formTarmel.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarmel"));
  QApplication::setApplicationVersion(QStringLiteral("2.0"));
  QApplication::setDesktopFileName(QStringLiteral("tarmel"));
  tarmel::TForm1 form;
  form.show();
  return QApplication::exec();
}
