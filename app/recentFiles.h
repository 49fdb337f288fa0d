// The files opened lately, newest first, as File > Open Recent lists them and the settings
// keep them between sessions.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace tarmel {

class RecentFiles {
 public:
  static constexpr int MaxFiles = 10;

  // Puts the file first (by its absolute path), dropping an older entry of it and the
  // oldest entries beyond MaxFiles.
  void Add(const QString& fileName);
  // Drops the files that no longer exist and returns their names.
  QStringList RemoveMissing();
  const QStringList& Files() const { return Files_; }

  void Load(const QSettings& settings);
  void Save(QSettings& settings) const;

 private:
  QStringList Files_;
};

}  // namespace tarmel
