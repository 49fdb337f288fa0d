// The search speed cases. Generated tables shaped like well-known data sets (their sizes,
// feature types and numbers of distinct values, not their contents) are run whole, one
// variant with ten-fold cross-validation, and a 200 x 10 table is grown once at three
// lookahead depths for the cost of one level. Every table comes from a fixed generator.
#include "speed_suite.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "staged_lookahead.h"
#include "treeTarmel.h"

namespace tarmel::bench {
namespace {

// A table: every predictor numeric with `Levels` distinct values (scaled to two decimals),
// or nominal for the features of `NominalEvery` (0: none); the target is a class out of
// `Classes`, or a number when Classes is 0.
struct TShape {
  int32_t Objects;
  int32_t Predictors;
  int32_t Classes;
  int32_t Levels;
  int32_t NominalEvery = 0;
  int32_t MissingPercent = 0;
};

struct TSpeedCase {
  const char* Name;
  TShape Shape;
  double Complexity;
  bool GrowOnly = false;  // one growth of the whole table instead of a whole run
};

bool IsNominal(const TShape& s, int32_t f) { return s.NominalEvery > 0 && f % s.NominalEvery == 0; }
int32_t NominalValues(int32_t f) { return 3 + f % 5; }

void AppendHeader(const TShape& s, std::string& text) {
  const int32_t fc = s.Predictors + 1;
  text += std::to_string(s.Objects) + " " + std::to_string(fc) + " ?\r\n";
  for (int32_t f = 1; f <= s.Predictors; ++f) {
    text += IsNominal(s, f) ? "0(" + std::to_string(NominalValues(f)) + ") " : "1 ";
  }
  text += s.Classes > 0 ? "0(" + std::to_string(s.Classes) + ")\r\n" : "1\r\n";
  for (int32_t f = 1; f <= fc; ++f) text += "f" + std::to_string(f) + (f < fc ? " " : "\r\n");
}

// The target rises with the first few predictors, with noise, so that the trees have
// structure at several depths.
std::string TableText(const TShape& s) {
  TGenerator gen{0x9E3779B97F4A7C15ull};
  std::string text;
  AppendHeader(s, text);
  std::vector<int32_t> cell(static_cast<size_t>(s.Predictors) + 1);
  for (int32_t i = 1; i <= s.Objects; ++i) {
    for (int32_t f = 1; f <= s.Predictors; ++f) {
      const uint32_t levels = static_cast<uint32_t>(IsNominal(s, f) ? NominalValues(f) : s.Levels);
      cell[f] = static_cast<int32_t>(gen.Next(levels));
      if (gen.Next(100) < static_cast<uint32_t>(s.MissingPercent)) {
        text += "? ";
      } else if (IsNominal(s, f)) {
        text += "v" + std::to_string(cell[f]) + " ";
      } else {
        text += std::to_string(cell[f] / 100) + "." + std::to_string(cell[f] % 100 / 10) +
                std::to_string(cell[f] % 10) + " ";
      }
    }
    const int32_t k = std::min<int32_t>(s.Predictors, 4);
    int64_t signal = gen.Next(static_cast<uint32_t>(s.Levels / 2 + 1));
    for (int32_t f = 1; f <= k; ++f) signal += static_cast<int64_t>(cell[f]) * (k + 1 - f);
    const int64_t scaled = signal * 10 / (static_cast<int64_t>(s.Levels) * (k + 2));
    if (s.Classes > 0) text += "c" + std::to_string(scaled * s.Classes / 10 % s.Classes) + "\r\n";
    else text += std::to_string(scaled) + "." + std::to_string(gen.Next(100)) + "\r\n";
  }
  return text;
}

const TSpeedCase SpeedCases[] = {
    {"breast-like 569x31 rc1.0", {569, 30, 2, 900}, 1.0},
    {"breast-like 569x31 rc2.0", {569, 30, 2, 900}, 2.0},
    {"breast-like 569x31 rc1.5", {569, 30, 2, 900}, 1.5},
    {"sonar-like 208x49 rc1.0", {208, 48, 2, 200}, 1.0},
    {"sonar-like 208x49 rc2.0", {208, 48, 2, 200}, 2.0},
    {"sonar-like 208x49 rc1.5", {208, 48, 2, 200}, 1.5},
    {"boston-like 456x13 rc1.0", {456, 12, 0, 300, 4}, 1.0},
    {"boston-like 456x13 rc2.0", {456, 12, 0, 300, 4}, 2.0},
    {"boston-like 456x13 rc3.0", {456, 12, 0, 300, 4}, 3.0},
    {"diabetes-like 442x11 rc3.0", {442, 10, 0, 200}, 3.0},
    {"pima-like 768x8 rc1.0", {768, 7, 2, 150}, 1.0},
    {"pima-like 768x8 rc2.0", {768, 7, 2, 150}, 2.0},
    {"mixed 1000x49 classes rc1.0", {1000, 48, 4, 40, 3, 3}, 1.0},
    {"mixed 1000x49 classes rc2.0", {1000, 48, 4, 40, 3, 3}, 2.0},
    {"mixed 1000x49 numbers rc1.0", {1000, 48, 0, 40, 3, 3}, 1.0},
    {"mixed 1000x49 numbers rc2.0", {1000, 48, 0, 40, 3, 3}, 2.0},
    {"level 200x10 grow rc1.0", {200, 9, 0, 200, 3}, 1.0, true},
    {"level 200x10 grow rc2.0", {200, 9, 0, 200, 3}, 2.0, true},
    {"level 200x10 grow rc3.0", {200, 9, 0, 200, 3}, 3.0, true},
};

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// FNV-1a over the report: equal hashes for byte-identical reports.
uint64_t HashOf(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A whole run's report, or the grown tree's top quality, leaves and misclassified count.
std::string RunCase(const TSpeedCase& c, const std::filesystem::path& folder, int32_t threads) {
  RunParameters params;
  params.RecursiveComplexity = c.Complexity;
  params.FeatureToPredict = c.Shape.Predictors + 1;
  params.VariantsNumber = 1;
  params.FoldsCrossValidate = 10;
  if (c.GrowOnly) {
    RunContext rc;
    if (!ReadRunFromText(rc, params, TableText(c.Shape))) return rc.Out.Written();
    rc.Threads = threads;
    std::vector<int32_t> objects;
    for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
      if (rc.ObjectActive[i]) objects.push_back(i);
    }
    const TSubtree tree = GrowSubtree(rc, objects, rc.ActivePredictors, 0, 0);
    char text[96];
    std::snprintf(text, sizeof text, "%.17g %d %d", tree.Quality, tree.Leaves,
                  tree.Misclassified);
    return text;
  }
  const std::filesystem::path data = folder / "tarmel-speed-data.txt";
  std::ofstream(data, std::ios::binary) << TableText(c.Shape);
  TRandom random;
  const std::string report = (folder / "tarmel-speed-output.txt").string();
  RunDataFile(params, data.string(), report, &random, threads);
  return ReadAll(report);
}

}  // namespace

RunOutcome RunDataFile(const RunParameters& params, const std::string& data,
                       const std::string& report, TRandom* random, int32_t threads) {
#ifdef TARMEL_BENCH_RUN_INTERFACE
  RunRequest request;
  request.Params = params;
  request.DataFileName = data;
  request.ReportFileName = report;
  request.Random = random;
  request.Threads = threads;
  return Run(request).Outcome;
#else
  (void)threads;
  RunParameters changed = params;
  RunEnvironment env;
  env.ReportFileName = report;
  env.Random = random;
  return RunTree(changed, data, env);
#endif
}

void RunSpeedSuite(const TSpeedOptions& options) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  if (!options.List) std::printf("%-28s %10s %10s  %s\n", "case", "processor", "wall", "report");
  for (const TSpeedCase& c : SpeedCases) {
    const std::string name = c.Name;
    if (options.Exact ? name != options.Only : name.find(options.Only) == std::string::npos) {
      continue;
    }
    if (options.List) {
      std::printf("%s\n", c.Name);
      continue;
    }
    const double cpu = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const std::string result = RunCase(c, folder, options.Threads);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-28s %10.3f %10.3f  %016llx\n", c.Name, ProcessorSeconds() - cpu, wall,
                static_cast<unsigned long long>(HashOf(result)));
    std::fflush(stdout);
  }
}

}  // namespace tarmel::bench
