// The sum of the runs' shares is kept as it changes, so a report of leaves grown, which
// comes often, costs a subtraction and an addition; an observer in a window would drown
// in calls for every leaf, so it hears of a change of a thousandth or more.
#include "tune_progress.h"

#include <algorithm>

namespace tarmel {

TTuneTracker::TTuneTracker(TuneObserver* observer, int32_t runs)
    : Observer_(observer), Share_(static_cast<size_t>(std::max(runs, 0)), 0.0) {
  Now_.Runs = runs;
}

void TTuneTracker::Move(size_t run, double fraction) { Set(run, fraction, false); }
void TTuneTracker::Done(size_t run) { Set(run, 1.0, true); }

void TTuneTracker::Finish() {
  std::lock_guard<std::mutex> hold(Lock_);
  Now_.Finished = true;
  Now_.Fraction = 1.0;
  Tell(true);
}

void TTuneTracker::Set(size_t run, double fraction, bool done) {
  std::lock_guard<std::mutex> hold(Lock_);
  if (run >= Share_.size()) return;
  const double share = std::clamp(fraction, 0.0, 1.0);
  Sum_ += share - Share_[run];
  Share_[run] = share;
  if (done) ++Now_.RunsDone;
  const double whole = static_cast<double>(Share_.size());
  Now_.Fraction = std::clamp(Sum_ / whole, 0.0, Now_.RunsDone == Now_.Runs ? 1.0 : 0.999);
  Tell(done);
}

void TTuneTracker::Tell(bool always) {
  if (Observer_ == nullptr) return;
  if (!always && Now_.Fraction - Told_ < 0.001) return;
  Told_ = Now_.Fraction;
  Observer_->OnProgress(Now_);
}

void TTuneRunObserver::OnProgress(const RunProgress& progress) {
  // A run's end is told by the tune itself, once the run's numbers are in.
  if (progress.Phase != RunPhase::Finished) Tracker_.Move(Run_, progress.Fraction);
}

}  // namespace tarmel
