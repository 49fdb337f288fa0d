// What the window keeps between sessions and where it works: the settings it remembers
// (window place, dialog folders, options), the per-user working folder an installed
// program uses, and the files installed beside the program.
#pragma once

#include <QRect>
#include <QString>

class QAction;

namespace tarmel {

// The window's wanted place moved, and shrunk if need be, to lie wholly inside the screen
// area available; a wanted place that is not valid gives an invalid rectangle.
QRect PlaceOnScreen(const QRect& wanted, const QRect& available);

// The folder the named dialog last chose a file in; empty when it never did.
QString RememberedFolder(const QString& dialog);
void RememberFolder(const QString& dialog, const QString& chosenFile);

// A checkable action's state, kept under its object name.
void RememberOption(const QAction* option);
bool RememberedOption(const QAction* option);

// What the folder the program was started in offers it.
struct TStartFolder {
  bool HasStartupFile = false;  // autoread.txt is there
  bool Writable = false;
  bool IsProgramFolder = false;  // where the program is installed, or its prefix
};
TStartFolder InspectStartFolder(const QString& folder, const QString& programFolder);
// The start folder keeps serving as working folder only when it is a prepared one.
bool NeedsOwnWorkFolder(const TStartFolder& start);
// Makes the per-user working folder the current folder; the message says where it is,
// or why the start folder had to stay.
QString EnterOwnWorkFolder();

// FILE found in the working folder, beside the program or in the installed data folder;
// the plain name when none has it.
QString InstalledFile(const QString& name);
QString ExamplesFolder();  // empty when there are none
QString WorkFolderText(const QString& folder);
QString WelcomeText(const QString& folder);

}  // namespace tarmel
