#include "recentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace tarmel {

namespace {

const QString SettingsKey = QStringLiteral("recentFiles");

}  // namespace

void RecentFiles::Add(const QString& fileName) {
  if (fileName.isEmpty()) return;
  const QString path = QFileInfo(fileName).absoluteFilePath();
  Files_.removeAll(path);
  Files_.prepend(path);
  while (Files_.size() > MaxFiles) Files_.removeLast();
}

QStringList RecentFiles::RemoveMissing() {
  QStringList missing;
  for (const QString& file : Files_) {
    if (!QFileInfo::exists(file)) missing.append(file);
  }
  for (const QString& file : missing) Files_.removeAll(file);
  return missing;
}

// A hand-edited settings file may hold duplicates, blanks or too many names; they are
// sorted out as if the files had been opened oldest first.
void RecentFiles::Load(const QSettings& settings) {
  const QStringList stored = settings.value(SettingsKey).toStringList();
  Files_.clear();
  for (auto file = stored.crbegin(); file != stored.crend(); ++file) Add(*file);
}

void RecentFiles::Save(QSettings& settings) const { settings.setValue(SettingsKey, Files_); }

}  // namespace tarmel
