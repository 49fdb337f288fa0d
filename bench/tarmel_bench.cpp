// Times the staged tree grower and whole runs over generated data tables: 1000 objects of
// 49 features (numeric and nominal, a few missing cells) for regression and classification
// at RecursiveComplexity 1, 1.5 and 2, 200 objects of 10 features at 3, and 1000 objects
// whose numeric predictors take up to 1000 values each at 2. The tables come
// from a fixed generator, so every invocation times the same work.
//
//   tarmel-bench [--grow-only] [--runs-only] [--full] [text]
//   text: only the cases whose name has it; --full: whole runs of 3 variants with 10-fold
//   cross-validation (otherwise one variant without cross-validation)
//
//   tarmel-bench --speed [--list] [--exact] [text]
//   the search speed cases: whole runs (1 variant, 10 folds) over tables shaped like common
//   benchmark sets, and single growths of a 200 x 10 table at three lookahead depths. Each
//   line gives the processor and wall time and a hash of the report, so that the figures of
//   two builds (bench/compare.sh) can be set side by side and their reports compared.
//   --list prints the chosen cases' names; --exact takes the case named exactly text;
//   --threads n runs every case on n threads (0: one per core), so that a run on 1 and on 2
//   threads tells how much of it stays serial.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "speed_suite.h"
#include "staged_lookahead.h"
#include "treeTarmel.h"

namespace {

using tarmel::RunParameters;

struct TCase {
  const char* Name;
  int32_t Objects;
  int32_t Features;  // in the file, the target last
  bool Classification;
  double Complexity;
  int32_t Levels = 0;  // values of every numeric predictor; 0: 10 to 40 by feature
};


// Every third predictor is nominal with 3 to 6 values; numeric predictors take up to 40
// levels (or as many as a case asks for). About 3 percent of the predictor cells are missing. The target depends on a few
// predictors with noise: a number in regression, one of three classes in classification.
std::string DataText(const TCase& c) {
  tarmel::bench::TGenerator gen{88172645463325252ull};
  const int32_t fc = c.Features;
  auto nominal = [](int32_t f) { return f % 3 == 0; };
  std::string text;
  auto add = [&text](const char* prefix, int64_t n, const char* suffix) {
    text.append(prefix).append(std::to_string(n)).append(suffix);
  };
  add("", c.Objects, " ");
  add("", fc, " ?\r\n");
  for (int32_t f = 1; f < fc; ++f) {
    if (nominal(f)) add("0(", 3 + f % 4, ") ");
    else text.append("1 ");
  }
  text.append(c.Classification ? "0(3)\r\n" : "1\r\n");
  for (int32_t f = 1; f <= fc; ++f) add("f", f, f < fc ? " " : "\r\n");
  std::vector<int32_t> cells(static_cast<size_t>(fc));
  for (int32_t i = 1; i <= c.Objects; ++i) {
    for (int32_t f = 1; f < fc; ++f) {
      const int32_t levels = c.Levels > 0 ? c.Levels : 10 + 10 * (f % 4);
      cells[f] = static_cast<int32_t>(gen.Next(nominal(f) ? 3 + f % 4 : levels));
      if (gen.Next(100) < 3) text.append("? ");
      else add(nominal(f) ? "v" : "", cells[f], " ");
    }
    const int32_t signal = cells[1] + 2 * cells[2] % 7 + cells[fc > 4 ? 4 : 1] + gen.Next(8);
    if (c.Classification) {
      add("c", signal % 3, "\r\n");
    } else {
      add("", signal, ".");
      add("", gen.Next(10), "\r\n");
    }
  }
  return text;
}

RunParameters ParametersFor(const TCase& c, bool full) {
  RunParameters p;
  p.RecursiveComplexity = c.Complexity;
  p.FeatureToPredict = c.Features;
  p.VariantsNumber = full ? 3 : 1;
  p.FoldsCrossValidate = full ? 10 : 1;
  return p;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void TimeGrowth(const TCase& c) {
  tarmel::RunContext rc;
  RunParameters params = ParametersFor(c, false);
  if (!tarmel::ReadRunFromText(rc, params, DataText(c))) {
    std::printf("%-36s the generated table was refused: %s\n", c.Name, rc.Out.Written().c_str());
    return;
  }
  std::vector<int32_t> objects;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (rc.ObjectActive[i]) objects.push_back(i);
  }
  const auto start = std::chrono::steady_clock::now();
  const tarmel::TSubtree tree = tarmel::GrowSubtree(rc, objects, rc.ActivePredictors, 0, 0);
  const double seconds = SecondsSince(start);
  std::printf("%-36s grow %9.3f s   leaves %4d   quality %.17g\n", c.Name, seconds, tree.Leaves,
              tree.Quality);
}

void TimeRun(const TCase& c, const std::filesystem::path& folder, bool full) {
  const std::filesystem::path data = folder / "bench-data.txt";
  std::ofstream(data, std::ios::binary) << DataText(c);
  const std::string report = (folder / "bench-output.txt").string();
  const auto start = std::chrono::steady_clock::now();
  const tarmel::RunOutcome outcome =
      tarmel::bench::RunDataFile(ParametersFor(c, full), data.string(), report, nullptr, 0);
  const double seconds = SecondsSince(start);
  std::printf("%-36s run  %9.3f s   %s\n", c.Name, seconds,
              outcome == tarmel::RunOutcome::Complete ? "complete" : "not complete");
}

}  // namespace

int main(int argc, char** argv) {
  bool grow = true;
  bool runs = true;
  bool full = false;
  bool speed = false;
  tarmel::bench::TSpeedOptions speedOptions;
  std::string only;
  for (int a = 1; a < argc; ++a) {
    if (std::strcmp(argv[a], "--speed") == 0) speed = true;
    else if (std::strcmp(argv[a], "--exact") == 0) speedOptions.Exact = true;
    else if (std::strcmp(argv[a], "--list") == 0) speedOptions.List = true;
    else if (std::strcmp(argv[a], "--threads") == 0 && a + 1 < argc) speedOptions.Threads = std::atoi(argv[++a]);
    else if (std::strcmp(argv[a], "--grow-only") == 0) runs = false;
    else if (std::strcmp(argv[a], "--runs-only") == 0) grow = false;
    else if (std::strcmp(argv[a], "--full") == 0) full = true;
    else only = argv[a];
  }
  if (speed) {
    speedOptions.Only = only;
    tarmel::bench::RunSpeedSuite(speedOptions);
    return 0;
  }
  const TCase cases[] = {
      {"regression 1000x49 rc1.0", 1000, 49, false, 1.0},
      {"classification 1000x49 rc1.0", 1000, 49, true, 1.0},
      {"regression 1000x49 rc1.5", 1000, 49, false, 1.5},
      {"classification 1000x49 rc1.5", 1000, 49, true, 1.5},
      {"regression 1000x49 rc2.0", 1000, 49, false, 2.0},
      {"classification 1000x49 rc2.0", 1000, 49, true, 2.0},
      {"regression 200x10 rc3.0", 200, 10, false, 3.0},
      {"classification 200x10 rc3.0", 200, 10, true, 3.0},
      {"regression 1000x49 1000 values rc2.0", 1000, 49, false, 2.0, 1000},
      {"classification 1000x49 1000 values rc2.0", 1000, 49, true, 2.0, 1000},
  };
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  for (const TCase& c : cases) {
    if (std::string(c.Name).find(only) == std::string::npos) continue;
    if (grow) TimeGrowth(c);
    if (runs) TimeRun(c, folder, full);
    std::fflush(stdout);
  }
  return 0;
}
