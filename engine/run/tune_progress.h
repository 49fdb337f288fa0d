// Progress of a tune gathered from its runs: each run reports its own share done on the
// thread it grows on, and the tune's observer hears the sum over all runs, one call at a
// time and only when the share moved visibly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "run_request.h"
#include "tune.h"

namespace tarmel {

class TTuneTracker {
 public:
  TTuneTracker(TuneObserver* observer, int32_t runs);
  void Move(size_t run, double fraction);  // the run's own share done, 0 .. 1
  void Done(size_t run);                   // finished, or left out
  void Finish();                           // the tune ended, whatever its outcome

 private:
  void Set(size_t run, double fraction, bool done);
  void Tell(bool always);
  std::mutex Lock_;
  TuneObserver* Observer_;
  std::vector<double> Share_;  // per run
  double Sum_ = 0.0;
  double Told_ = -1.0;
  TuneProgress Now_;
};

// Passes one run's progress on to the tune's tracker.
class TTuneRunObserver : public RunObserver {
 public:
  TTuneRunObserver(TTuneTracker& tracker, size_t run) : Tracker_(tracker), Run_(run) {}
  void OnProgress(const RunProgress& progress) override;

 private:
  TTuneTracker& Tracker_;
  size_t Run_;
};

}  // namespace tarmel
