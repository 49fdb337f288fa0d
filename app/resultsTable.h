// The results table of the last run: one row per kept tree, and below it the confusion
// matrix (classification) or the relative cross-validation error (regression) of the
// selected tree. Copy puts both on the clipboard as tab-separated text.
#pragma once

#include <QWidget>

#include "run_request.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarmel {

class ResultsTable : public QWidget {
  Q_OBJECT
 public:
  explicit ResultsTable(QWidget* parent = nullptr);

  // The run stays owned by the caller; the context line above the rows says what the run
  // predicted and which folds it drew.
  void ShowRun(const RunResult* run, const QString& context = {});
  void SelectTree(int index);
  QString Tsv() const;
  void CopyToClipboard();

  QTableWidget* Results() const { return Results_; }
  QTableWidget* Confusion() const { return Confusion_; }
  QString Note() const;
  QString Context() const;

 signals:
  void TreeSelected(int index);

 private:
  void ShowSelectedDetails();

  const RunResult* Run_ = nullptr;
  int Selected_ = 0;
  QTableWidget* Results_ = nullptr;
  QTableWidget* Confusion_ = nullptr;
  QLabel* Note_ = nullptr;
  QLabel* Context_ = nullptr;
  QPushButton* Copy_ = nullptr;
};

}  // namespace tarmel
