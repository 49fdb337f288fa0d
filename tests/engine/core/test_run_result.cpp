// The kept trees a run returns against the report it wrote, for every golden case: leaves
// numbered as the rules, each rule's conditions naming the features of the leaf's path,
// its object count and mark, the tree's error line; and the drawing of a golden tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "hand_results.h"
#include "param_file.h"
#include "report_format.h"
#include "results_summary.h"
#include "run_request.h"
#include "tree_drawing.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

using testing::ReadWholeFile;

struct CaseRun {
  RunResult Result;
  std::string Report;
};

CaseRun RunCase(const fs::path& data) {
  RunRequest request;
  fs::path par = data;
  par.replace_extension(".par");
  if (fs::exists(par)) ReadParameterFile(par.string(), request.Params);
  TRandom random;
  request.Random = &random;
  request.DataFileName = data.string();
  request.ReportFileName = (fs::temp_directory_path() / "tarmel-kept-trees.txt").string();
  CaseRun run{Run(request), {}};
  run.Report = ReadWholeFile(request.ReportFileName);
  fs::remove(request.ReportFileName);
  return run;
}

// From the line holding start to the end of the line of 60 `closing` characters after it.
std::string Between(const std::string& text, const std::string& start, size_t from, char closing) {
  const size_t begin = text.find(start, from);
  if (begin == std::string::npos) return {};
  const size_t end = text.find(std::string(60, closing), begin);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end + 60 - begin);
}

void LeavesInRuleOrder(const TKeptTree& tree, int32_t node, std::vector<int32_t>& leaves) {
  const TTreeNode& n = tree.Nodes[static_cast<size_t>(node)];
  if (n.Children.empty()) leaves.push_back(node);
  for (const int32_t child : n.Children) LeavesInRuleOrder(tree, child, leaves);
}

std::set<int32_t> PathFeatures(const TKeptTree& tree, int32_t node) {
  std::set<int32_t> features;
  for (int32_t p = tree.Nodes[static_cast<size_t>(node)].Parent; p >= 0;
       p = tree.Nodes[static_cast<size_t>(p)].Parent) {
    features.insert(tree.Nodes[static_cast<size_t>(p)].SplitFeature);
  }
  return features;
}

// One condition line per feature of the path, each naming its feature.
void ExpectConditionsOfThePath(const RunResult& run, const TKeptTree& tree, int32_t leaf,
                               const std::string& rule) {
  const size_t begin = rule.find(" IF\r\n") + 5;
  const std::string conditions = rule.substr(begin, rule.find(" THEN ") - begin);
  size_t lines = 0;
  for (size_t at = conditions.find("\r\n"); at != std::string::npos; at = conditions.find("\r\n", at + 1)) ++lines;
  const std::set<int32_t> features = PathFeatures(tree, leaf);
  EXPECT_EQ(lines, features.size()) << rule;
  for (const int32_t f : features) {
    EXPECT_NE(conditions.find(run.FeatureNames.at(static_cast<size_t>(f) - 1)), std::string::npos)
        << rule;
  }
}

int32_t LeafCount(const RunResult& run, const TTreeNode& leaf) {
  if (run.Task != TaskKind::Classification) return leaf.ObjCount;
  int32_t count = 0;
  for (const int32_t c : leaf.ClassCounts) count += c;
  return count;
}

void ExpectRulesOfTheBlock(const RunResult& run, const TKeptTree& tree, const std::string& block) {
  std::vector<int32_t> leaves;
  LeavesInRuleOrder(tree, 0, leaves);
  ASSERT_EQ(static_cast<int32_t>(leaves.size()), tree.LeavesNumber);
  int64_t objects = 0, misclassified = 0;
  for (size_t i = 0; i < leaves.size(); ++i) {
    const TTreeNode& leaf = tree.Nodes[static_cast<size_t>(leaves[i])];
    ASSERT_EQ(leaf.RuleNumber, static_cast<int32_t>(i) + 1);
    const std::string rule = Between(block, " Rule " + FormatInt(leaf.RuleNumber, 3) + ",", 0, '-');
    ASSERT_FALSE(rule.empty()) << "rule " << leaf.RuleNumber;
    ExpectConditionsOfThePath(run, tree, leaves[i], rule);
    const int32_t count = LeafCount(run, leaf);
    EXPECT_NE(rule.find(" Number of objects " + FormatInt(count, 3) + ",\r\n"), std::string::npos) << rule;
    EXPECT_EQ(rule.find(" Heterogeneous group\r\n") != std::string::npos, leaf.Heterogeneous);
    objects += count;
    if (run.Task == TaskKind::Classification) {
      misclassified += count - leaf.ClassCounts.at(static_cast<size_t>(leaf.MajorityClass) - 1);
    }
  }
  EXPECT_EQ(block.find(" Rule " + FormatInt(tree.LeavesNumber + 1, 3) + ","), std::string::npos);
  if (run.Task == TaskKind::Classification && objects > 0) {
    EXPECT_NE(block.find("Misclassification frequency for the tree is " +
                         FormatReal(static_cast<double>(misclassified) / objects, 6, 2)),
              std::string::npos);
  }
}

// Every vertex's children hold at most its objects: those missing the split feature's
// value go down no branch.
void ExpectChildrenWithinParents(const TKeptTree& tree) {
  for (const TTreeNode& n : tree.Nodes) {
    int64_t below = 0;
    for (const int32_t child : n.Children) {
      EXPECT_EQ(tree.Nodes[static_cast<size_t>(child)].Parent, &n - tree.Nodes.data());
      below += tree.Nodes[static_cast<size_t>(child)].ObjCount;
    }
    if (!n.Children.empty()) {
      EXPECT_LE(below, n.ObjCount);
    }
  }
}

void ExpectTreeMirrorsItsBlock(const CaseRun& run, const TKeptTree& tree, size_t& at) {
  const std::string heading = "Variant N" + FormatInt(tree.Variant, 3) + "\r\n";
  const size_t begin = run.Report.find(heading, at);
  ASSERT_NE(begin, std::string::npos) << heading;
  at = begin + heading.size();
  const size_t next = run.Report.find("Variant N", at);
  const std::string block = run.Report.substr(begin, next == std::string::npos ? next : next - begin);
  ExpectChildrenWithinParents(tree);
  if (tree.TimeSeries) {
    EXPECT_EQ(block.find(" Rule "), std::string::npos);
    for (size_t i = 1; i < tree.Nodes.size(); ++i) {
      EXPECT_NE(EdgeLabel(run.Result, tree, static_cast<int32_t>(i)).find(" (shift "), std::string::npos);
    }
  } else if (tree.LeavesNumber == 1) {
    EXPECT_NE(block.find(" No rule is found for given parameters"), std::string::npos);
  } else {
    ExpectRulesOfTheBlock(run.Result, tree, block);
  }
}

TEST(KeptTrees, EveryGoldenCaseMirrorsItsReport) {
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(TARMEL_GOLDEN_DIR)) {
    if (entry.path().extension() != ".txt") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++cases;
    const CaseRun run = RunCase(entry.path());
    size_t at = 0;
    for (const TKeptTree& tree : run.Result.Trees) ExpectTreeMirrorsItsBlock(run, tree, at);
  }
  EXPECT_GT(cases, 5);
}

// Each tested object is counted once in the matrix of the tree cross-validated.
TEST(KeptTrees, ConfusionMatrixCountsEveryTestedObjectOnce) {
  const CaseRun run = RunCase(fs::path(TARMEL_GOLDEN_DIR) / "colours_two_variants.txt");
  ASSERT_EQ(run.Result.Task, TaskKind::Classification);
  for (const TKeptTree& tree : run.Result.Trees) {
    if (!tree.CrossValidated) continue;
    EXPECT_GT(ConfusionTotal(tree), 0);
    EXPECT_NEAR(ConfusionError(tree), tree.CrossValidationError, 1e-12);
  }
}

TEST(KeptTrees, DotOfAGoldenTreeIsPinned) {
  const fs::path golden = fs::path(TARMEL_GOLDEN_DIR) / "flowers_fractional_lookahead.tree.dot";
  const CaseRun run = RunCase(fs::path(TARMEL_GOLDEN_DIR) / "flowers_fractional_lookahead.txt");
  ASSERT_FALSE(run.Result.Trees.empty());
  const std::string dot = TreeDot(run.Result, run.Result.Trees[0], TDrawOptions{});
  if (std::getenv("TARMEL_UPDATE_GOLDEN") != nullptr) std::ofstream(golden, std::ios::binary) << dot;
  EXPECT_EQ(dot, ReadWholeFile(golden.string())) << "to accept the new graph: TARMEL_UPDATE_GOLDEN=1 "
                                   << ::testing::internal::GetArgvs()[0]
                                   << " --gtest_filter=KeptTrees.DotOfAGoldenTreeIsPinned";
}

}  // namespace
}  // namespace tarmel
