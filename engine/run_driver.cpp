// PLACEHOLDER
#include "run_driver.h"
namespace tarmel {
uint32_t TRandom::Next(uint32_t n) {
  Seed = Seed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(Seed) * n) >> 32);
}
TRandom& SharedRandom() { static TRandom random; return random; }
bool ReadRun(RunContext&) { return false; }
bool ReadRunFromText(RunContext&, RunParameters&, std::string, TRandom*) { return false; }
void DrawFolds(RunContext&) {}
void ShowProgress(RunContext& rc, int panel, const std::string& text) {
  if (rc.Progress != nullptr) rc.Progress->SetPanelText(panel, text);
}
RunOutcome RunTree(RunParameters&, const std::string&, const RunEnvironment&) { return RunOutcome::Complete; }
}  // namespace tarmel
