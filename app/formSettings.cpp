// The settings the window keeps between sessions: its place on the screen and the
// layout of its dock, the folder each file dialog was last used in, and its options
// (the fixed-width font, the same folds every run). The parameters stay in param.par,
// where a run reads them.
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <algorithm>

#include "desktopSettings.h"
#include "formTarmel.h"
#include "treeDock.h"

namespace tarmel {

namespace {

const QString GeometryKey = QStringLiteral("window/geometry");
const QString MaximizedKey = QStringLiteral("window/maximized");
const QString LayoutKey = QStringLiteral("window/layout");

QString FolderKey(const QString& dialog) { return QStringLiteral("folders/") + dialog; }
QString OptionKey(const QAction* option) {
  return QStringLiteral("options/") + option->objectName();
}

// The screen the wanted place mostly lies on; the primary one when it lies on none (a
// screen unplugged since).
QRect AvailableAround(const QRect& wanted) {
  const QScreen* screen = QGuiApplication::screenAt(wanted.center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen == nullptr ? QRect() : screen->availableGeometry();
}

}  // namespace

QRect PlaceOnScreen(const QRect& wanted, const QRect& available) {
  if (!wanted.isValid() || !available.isValid()) return {};
  QRect placed(wanted.topLeft(), wanted.size().boundedTo(available.size()));
  placed.moveLeft(std::clamp(placed.left(), available.left(), available.right() - placed.width() + 1));
  placed.moveTop(std::clamp(placed.top(), available.top(), available.bottom() - placed.height() + 1));
  return placed;
}

QString RememberedFolder(const QString& dialog) {
  const QString folder = QSettings().value(FolderKey(dialog)).toString();
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  return dialog == QStringLiteral("Open") ? ExamplesFolder() : QString();
}

void RememberFolder(const QString& dialog, const QString& chosenFile) {
  QSettings().setValue(FolderKey(dialog), QFileInfo(chosenFile).absolutePath());
}

void RememberOption(const QAction* option) {
  QSettings().setValue(OptionKey(option), option->isChecked());
}

bool RememberedOption(const QAction* option) {
  return QSettings().value(OptionKey(option), false).toBool();
}

// The dock comes back where it was, hidden until a run has something to show in it.
void TForm1::RestoreSettings() {
  QSettings settings;
  Recent_.Load(settings);
  const QRect placed = PlaceOnScreen(settings.value(GeometryKey).toRect(),
                                     AvailableAround(settings.value(GeometryKey).toRect()));
  if (placed.isValid()) setGeometry(placed);
  restoreState(settings.value(LayoutKey).toByteArray());
  TreeDock_->hide();
  if (settings.value(MaximizedKey, false).toBool()) setWindowState(Qt::WindowMaximized);
  ViewFixedFont->setChecked(RememberedOption(ViewFixedFont));
  SameFolds->setChecked(RememberedOption(SameFolds));
  connect(SameFolds, &QAction::toggled, this, [this] { RememberOption(SameFolds); });
}

void TForm1::SaveSettings() const {
  QSettings settings;
  settings.setValue(GeometryKey, isMaximized() ? normalGeometry() : geometry());
  settings.setValue(MaximizedKey, isMaximized());
  settings.setValue(LayoutKey, saveState());
}

}  // namespace tarmel
