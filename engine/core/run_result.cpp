// The records of a run's result, filled through the run state's result, which only the
// run driver sets.
#include "run_result.h"

#include <string>
#include <utility>

namespace tarmel {

bool KeepsTrees(const RunContext& rc) { return rc.Result != nullptr; }

void KeepNames(const RunContext& rc) {
  if (rc.Result == nullptr) return;
  RunResult& result = *rc.Result;
  result.Task = TaskOf(rc);
  result.TargetFeature = result.Task == TaskKind::Classification ? rc.ClassFeature : rc.ValueFeature;
  for (int32_t f = 1; f <= rc.FileFeatures; ++f) {
    result.FeatureNames.push_back(rc.FeatureName[static_cast<size_t>(f)]);
    std::vector<std::string> values;
    const TValueTable& table = rc.ValueTable[static_cast<size_t>(f)];
    for (size_t k = 1; k < table.size(); ++k) values.push_back(table[k].ValueName);
    result.ValueNames.push_back(std::move(values));
  }
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) {
    result.ClassNames.push_back(rc.ClassName[static_cast<size_t>(k)]);
  }
}

void KeepTree(RunContext& rc, TKeptTree record) {
  if (rc.Result != nullptr) rc.Result->Trees.push_back(std::move(record));
}

void KeepCrossValidation(RunContext& rc, double error, TConfusion confusion) {
  if (rc.Result == nullptr) return;
  std::vector<TKeptTree>& kept = rc.Result->Trees;
  const auto t = static_cast<size_t>(rc.TreesNumber);
  if (t < 1 || t > kept.size()) return;
  kept[t - 1].CrossValidated = true;
  kept[t - 1].CrossValidationError = error;
  kept[t - 1].Confusion = std::move(confusion);
}

void KeepVotingWeights(RunContext& rc, int32_t trees) {
  if (rc.Result == nullptr) return;
  std::vector<TKeptTree>& kept = rc.Result->Trees;
  for (int32_t t = 1; t <= trees && static_cast<size_t>(t) <= kept.size(); ++t) {
    kept[static_cast<size_t>(t) - 1].VotingWeight = rc.Competence[static_cast<size_t>(t)];
  }
}

}  // namespace tarmel
