// Drawing kept trees: the texts of vertices and edges, the DOT graph, the positions the
// layout returns and the pictures rendered for files; the trees of golden runs too.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "golden_cases.h"
#include "hand_results.h"
#include "tree_drawing.h"

namespace tarmel {
namespace {

using testing::AddNode;
using testing::ChainResult;
using testing::FlowerResult;

uint32_t BigEndian(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(TreeDrawing, VertexTextsShowSplitCountDecisionAndRule) {
  const RunResult run = FlowerResult();
  const TKeptTree& tree = run.Trees[0];
  const TNodeText root = NodeText(run, tree, 0);
  EXPECT_EQ(root.Title, "petal_len");
  EXPECT_EQ(root.Detail, "n=60  iris");
  EXPECT_FALSE(root.Leaf);
  const TNodeText viola = NodeText(run, tree, 3);
  EXPECT_EQ(viola.Title, "Rule 2");
  EXPECT_EQ(viola.Detail, "n=21  viola");
  EXPECT_TRUE(viola.Leaf);
  EXPECT_TRUE(viola.Heterogeneous);
  EXPECT_EQ(EdgeLabel(run, tree, 3), "<= 1.75");

  const RunResult regression = ChainResult(2);
  EXPECT_EQ(NodeText(regression, regression.Trees[0], 1).Detail, "n=10  1.50 \xC2\xB1 0.00");
}

TEST(TreeDrawing, TimeSeriesConditionsNameTheSeriesAndItsShift) {
  RunResult run = ChainResult(2);
  run.FeatureNames = {"temp", "load"};
  TKeptTree& tree = run.Trees[0];
  tree.TimeSeries = true;
  tree.Nodes[0].SplitFeature = 2;
  tree.Nodes[0].SplitShift = 3;
  tree.Nodes[1].RuleNumber = 0;
  EXPECT_EQ(NodeText(run, tree, 0).Title, "load (shift 3)");
  EXPECT_EQ(EdgeLabel(run, tree, 1), "load (shift 3) <= 1.00");
  EXPECT_EQ(NodeText(run, tree, 1).Title, "Leaf");
}

TEST(TreeDrawing, DotOfTheFlowerTreeIsPinned) {
  const RunResult run = FlowerResult();
  const std::string dot = TreeDot(run, run.Trees[0], TDrawOptions{});
  const std::string expected = testing::ReadWholeFile(TARMEL_GOLDEN_DIR "/hand_flowers_tree.dot");
  if (dot != expected) {
    std::ofstream("hand_flowers_tree.dot.actual", std::ios::binary) << dot;
    FAIL() << "DOT differs; actual written to hand_flowers_tree.dot.actual; update with\n  cp "
           << "hand_flowers_tree.dot.actual " TARMEL_GOLDEN_DIR "/hand_flowers_tree.dot";
  }
}

testing::GoldenRun RunGolden(const std::string& name) {
  const auto report = testing::ProcessTempFile("tarmel-drawing");
  return testing::RunGoldenCase(testing::GoldenCase(name), report);
}

TEST(TreeDrawing, DotOfAGoldenTreeIsPinned) {
  const std::string golden = TARMEL_GOLDEN_DIR "/flowers_fractional_lookahead.tree.dot";
  const RunResult run = RunGolden("flowers_fractional_lookahead").Result;
  ASSERT_FALSE(run.Trees.empty());
  const std::string dot = TreeDot(run, run.Trees[0], TDrawOptions{});
  if (std::getenv("TARMEL_UPDATE_GOLDEN") != nullptr) std::ofstream(golden, std::ios::binary) << dot;
  EXPECT_EQ(dot, testing::ReadWholeFile(golden))
      << "to accept the new graph: TARMEL_UPDATE_GOLDEN=1 " << ::testing::internal::GetArgvs()[0]
      << " --gtest_filter=TreeDrawing.DotOfAGoldenTreeIsPinned";
}

TEST(TreeDrawing, EveryEdgeOfAGoldenTimeSeriesTreeNamesItsShift) {
  const RunResult run = RunGolden("time_series_blocks").Result;
  ASSERT_FALSE(run.Trees.empty());
  for (const TKeptTree& tree : run.Trees) {
    ASSERT_TRUE(tree.TimeSeries);
    for (size_t i = 1; i < tree.Nodes.size(); ++i) {
      EXPECT_NE(EdgeLabel(run, tree, static_cast<int32_t>(i)).find(" (shift "), std::string::npos);
    }
  }
}

TEST(TreeDrawing, NamesNeverBreakTheGraphDescription) {
  RunResult run = FlowerResult();
  run.FeatureNames[3] = "len \"a\\N<b>&";
  run.ClassNames[0] = "caf\xE9";  // Latin-1, as a data file may hold it
  run.Trees[0].Nodes[1].Condition = "\"x\\y\",<z>";
  const TTreeLayout layout = LayoutTree(run, run.Trees[0], TDrawOptions{});
  ASSERT_TRUE(layout.Ok) << layout.Error;
  EXPECT_EQ(layout.Edges[0].Label, "\"x\\y\",<z>");
  const std::string dot = TreeDot(run, run.Trees[0], TDrawOptions{});
  EXPECT_NE(dot.find("len &quot;a\\N&lt;b&gt;&amp;"), std::string::npos);
  EXPECT_NE(dot.find("caf\xC3\xA9"), std::string::npos);
  EXPECT_EQ(NodeText(run, run.Trees[0], 0).Detail, "n=60  caf\xC3\xA9");
  EXPECT_EQ(Utf8Text("caf\xC3\xA9"), "caf\xC3\xA9");  // already UTF-8: unchanged
  EXPECT_EQ(Utf8Text(std::string("p\0q\x7F\xE9", 5)), "p\xEF\xBF\xBDq\xEF\xBF\xBD\xC3\xA9");
}

TEST(TreeDrawing, LayoutPlacesEveryVertexWithoutOverlapChildrenBelowParents) {
  const RunResult run = FlowerResult();
  const TKeptTree& tree = run.Trees[0];
  TDrawOptions options;
  options.NodeSizes.assign(tree.Nodes.size(), TNodeSize{80.0, 30.0});
  const TTreeLayout layout = LayoutTree(run, tree, options);
  ASSERT_TRUE(layout.Ok) << layout.Error;
  ASSERT_EQ(layout.Nodes.size(), tree.Nodes.size());
  std::vector<TNodeBox> byNode(tree.Nodes.size());
  for (const TNodeBox& box : layout.Nodes) {
    EXPECT_NEAR(box.Width, 80.0, 0.01);
    EXPECT_NEAR(box.Height, 30.0, 0.01);
    EXPECT_GE(box.Centre.X - box.Width / 2, -0.5);
    EXPECT_LE(box.Centre.X + box.Width / 2, layout.Width + 0.5);
    byNode[static_cast<size_t>(box.Node)] = box;
  }
  for (size_t a = 0; a < byNode.size(); ++a) {
    for (size_t b = a + 1; b < byNode.size(); ++b) {
      const bool apart = std::abs(byNode[a].Centre.X - byNode[b].Centre.X) >= 80.0 ||
                         std::abs(byNode[a].Centre.Y - byNode[b].Centre.Y) >= 30.0;
      EXPECT_TRUE(apart) << "vertices " << a << " and " << b << " overlap";
    }
  }
  ASSERT_EQ(layout.Edges.size(), tree.Nodes.size() - 1);
  for (const TEdgePath& edge : layout.Edges) {
    const TNodeBox& child = byNode[static_cast<size_t>(edge.Child)];
    const TNodeBox& parent = byNode[static_cast<size_t>(tree.Nodes[static_cast<size_t>(edge.Child)].Parent)];
    EXPECT_GT(child.Centre.Y, parent.Centre.Y);
    ASSERT_GE(edge.Path.size(), 4u);
    EXPECT_EQ((edge.Path.size() - 1) % 3, 0u);
    ASSERT_TRUE(edge.HasArrow);
    EXPECT_NEAR(edge.ArrowTip.Y, child.Centre.Y - child.Height / 2, 1.0);
    EXPECT_GT(edge.LabelCentre.Y, parent.Centre.Y);
    EXPECT_LT(edge.LabelCentre.Y, child.Centre.Y);
  }
}

TEST(TreeDrawing, EmptyTreeIsAnErrorNotACrash) {
  RunResult run = FlowerResult();
  run.Trees[0].Nodes.clear();
  const TTreeLayout layout = LayoutTree(run, run.Trees[0], TDrawOptions{});
  EXPECT_FALSE(layout.Ok);
  EXPECT_FALSE(layout.Error.empty());
}

// A full binary tree of depth d on x, 2^d leaves.
RunResult BalancedResult(int depth) {
  RunResult run = ChainResult(1);
  TKeptTree& tree = run.Trees[0];
  std::vector<int32_t> level{0};
  for (int d = 0; d < depth; ++d) {
    std::vector<int32_t> next;
    for (const int32_t parent : level) {
      tree.Nodes[static_cast<size_t>(parent)].SplitFeature = 1;
      next.push_back(AddNode(tree, parent, "<= 1.00", 5));
      next.push_back(AddNode(tree, parent, "> 1.00", 5));
    }
    level = next;
  }
  return run;
}

TEST(TreeDrawing, WideTreesAreDrawnAcrossDeepOnesDown) {
  EXPECT_EQ(PreferredDirection(FlowerResult().Trees[0]), TreeDirection::TopDown);
  EXPECT_EQ(PreferredDirection(ChainResult(40).Trees[0]), TreeDirection::TopDown);
  EXPECT_EQ(PreferredDirection(BalancedResult(5).Trees[0]), TreeDirection::LeftRight);
  RunResult wide = BalancedResult(5);
  TDrawOptions options;
  options.Direction = TreeDirection::LeftRight;
  const TTreeLayout layout = LayoutTree(wide, wide.Trees[0], options);
  ASSERT_TRUE(layout.Ok) << layout.Error;
  EXPECT_GT(layout.Nodes.back().Centre.X, layout.Nodes.front().Centre.X);
}

TEST(TreeDrawing, PictureFormatComesFromTheFileNameEnding) {
  PictureFormat format = PictureFormat::Dot;
  EXPECT_TRUE(PictureFormatOf("out/tree.SVG", format));
  EXPECT_EQ(format, PictureFormat::Svg);
  EXPECT_TRUE(PictureFormatOf("tree.png", format));
  EXPECT_EQ(format, PictureFormat::Png);
  EXPECT_TRUE(PictureFormatOf("a.b/tree.gv", format));
  EXPECT_EQ(format, PictureFormat::Dot);
  EXPECT_FALSE(PictureFormatOf("tree.pdf", format));
  EXPECT_FALSE(PictureFormatOf("tree", format));
}

TEST(TreeDrawing, SvgHasOneGroupPerVertexAndEdge) {
  const RunResult run = FlowerResult();
  const TPicture svg = RenderTree(run, run.Trees[0], PictureFormat::Svg);
  ASSERT_TRUE(svg.Ok) << svg.Error;
  EXPECT_EQ(svg.Bytes.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.Bytes.find("</svg>"), std::string::npos);
  EXPECT_EQ(Occurrences(svg.Bytes, "class=\"node\""), 5u);
  EXPECT_EQ(Occurrences(svg.Bytes, "class=\"edge\""), 4u);
  EXPECT_NE(svg.Bytes.find("&lt;= 2.45"), std::string::npos);
}

// The picture is the laid-out graph plus the library's 4-point margin, at 96 dots per inch.
TEST(TreeDrawing, PngHasTheSizeOfTheLayout) {
  const RunResult run = ChainResult(5);
  const TPicture png = RenderTree(run, run.Trees[0], PictureFormat::Png);
  ASSERT_TRUE(png.Ok) << png.Error;
  ASSERT_GT(png.Bytes.size(), 24u);
  EXPECT_EQ(png.Bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(png.Bytes.substr(12, 4), "IHDR");
  const TTreeLayout layout = LayoutTree(run, run.Trees[0], TDrawOptions{});
  EXPECT_NEAR(BigEndian(png.Bytes, 16), (layout.Width + 8.0) * 96.0 / 72.0, 1.0);
  EXPECT_NEAR(BigEndian(png.Bytes, 20), (layout.Height + 8.0) * 96.0 / 72.0, 1.0);
}

TEST(TreeDrawing, DotPictureIsTheGraphDescription) {
  const RunResult run = FlowerResult();
  const TPicture dot = RenderTree(run, run.Trees[0], PictureFormat::Dot);
  ASSERT_TRUE(dot.Ok);
  EXPECT_EQ(dot.Bytes, TreeDot(run, run.Trees[0], TDrawOptions{}));
}

}  // namespace
}  // namespace tarmel
