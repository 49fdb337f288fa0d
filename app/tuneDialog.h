// Run > Tune...: cross-validates a grid of RecursiveComplexity and MinObj over the data file
// on a thread of its own, shows every cell in a table and the mean errors with their spread
// in a chart, and applies the proposed cell, or the one selected, to the parameters.
#pragma once

#include <QDialog>
#include <QString>

#include "tune.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QThread;

namespace tarmel {

class TuneChart;

// Hands the tune's progress, told on its threads, to the window's thread.
class TuneRelay : public QObject, public TuneObserver {
  Q_OBJECT
 public:
  using QObject::QObject;
  void OnProgress(const TuneProgress& progress) override { emit Progressed(progress.Fraction); }

 signals:
  void Progressed(double fraction);
};

class TuneDialog : public QDialog {
  Q_OBJECT
 public:
  TuneDialog(const RunParameters& params, const QString& dataFile, QWidget* parent = nullptr);
  ~TuneDialog() override;  // a tune still going is cancelled and waited for

  bool IsTuning() const { return Thread_ != nullptr; }
  const TuneResult& Result() const { return Result_; }
  void StartOrStop();
  void ApplyChosen();  // the selected cell, or else the proposed one

 signals:
  void Applied(const tarmel::RunParameters& params);
  void TuneFinished();

 private:
  void BuildLayout();
  bool TakeGrid(TuneRequest& request);
  void Start();
  void ThreadFinished();
  void ShowResult();
  void ShowProgress(double fraction);

  RunParameters Params_;
  QString DataFile_;
  TuneRequest Request_;  // read by the tune's thread while it runs
  TuneResult Result_;    // written by it; read here after it ended
  CancelToken Cancel_;
  TuneRelay Relay_;
  QThread* Thread_ = nullptr;

  QLineEdit* Complexities_ = nullptr;
  QLineEdit* MinObjs_ = nullptr;
  QSpinBox* Repeats_ = nullptr;
  QPushButton* StartStop_ = nullptr;
  QProgressBar* Progress_ = nullptr;
  QTableWidget* Table_ = nullptr;
  TuneChart* Chart_ = nullptr;
  QLabel* Status_ = nullptr;
  QPushButton* Apply_ = nullptr;
};

}  // namespace tarmel
