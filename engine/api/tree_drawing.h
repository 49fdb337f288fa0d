// Drawing a kept tree: the texts of its vertices and edges, a graph description in the DOT
// language, its layout by the graph-drawing library (the `dot` layout) as plain positions
// the window draws natively, and finished SVG or PNG pictures for the batch runner.
// Coordinates are points (1/72 inch) with the origin at the top left and y growing
// downwards. Nothing here writes to the report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run_request.h"

namespace tarmel {

// What a vertex shows: a title (the split feature of an inner vertex, "Rule n" on a leaf),
// a detail line (object count and decision) and, in classification, the class counts.
struct TNodeText {
  std::string Title;
  std::string Detail;
  bool Leaf = false;
  bool Heterogeneous = false;
};

// Wide trees are drawn from left to right with one-line vertices, so that a tree of some
// forty leaves still fits a screen at a readable size.
enum class TreeDirection { TopDown, LeftRight };

struct TNodeSize {
  double Width = 0.0;   // points
  double Height = 0.0;  // points
};

struct TDrawOptions {
  TreeDirection Direction = TreeDirection::TopDown;
  // Sizes of the vertices as the caller draws them, per node; empty: sized by the
  // drawing library from the label text.
  std::vector<TNodeSize> NodeSizes;
  std::string FontName = "Liberation Sans";
  double FontSize = 10.0;  // points, for edge labels and library-sized vertices
};

struct TPointF {
  double X = 0.0;
  double Y = 0.0;
};

struct TNodeBox {
  int32_t Node = 0;  // index into TKeptTree::Nodes
  TPointF Centre;
  double Width = 0.0;
  double Height = 0.0;
};

// The edge into node Child: a cubic Bezier path (start point, then three points per
// segment), the tip of its arrowhead at the child's border (the path ends at the
// arrowhead's base) and the centre of its condition label.
struct TEdgePath {
  int32_t Child = 0;
  std::vector<TPointF> Path;
  bool HasArrow = false;
  TPointF ArrowTip;
  TPointF LabelCentre;
  std::string Label;
};

struct TTreeLayout {
  bool Ok = false;
  std::string Error;  // why the layout failed, for a person
  double Width = 0.0;
  double Height = 0.0;
  std::vector<TNodeBox> Nodes;
  std::vector<TEdgePath> Edges;
};

// Names come from data files in UTF-8 or Latin-1; every text below is UTF-8, a text that
// is not valid UTF-8 being read as Latin-1. Control characters (a NUL in a name, say),
// which no drawing can carry, are shown as the replacement character.
std::string Utf8Text(const std::string& text);

// The name of feature f (file numbering) with its time shift in a time-series tree.
std::string FeatureLabel(const RunResult& run, const TKeptTree& tree, int32_t feature,
                         int32_t shift);
TNodeText NodeText(const RunResult& run, const TKeptTree& tree, int32_t node);
// The condition of the edge into node: as the report writes it; in a time-series tree
// preceded by the series and its time shift.
std::string EdgeLabel(const RunResult& run, const TKeptTree& tree, int32_t node);

TreeDirection PreferredDirection(const TKeptTree& tree);

// The colour ("#rrggbb") of class k (0-based) in class-count bars.
const char* ClassColour(size_t k);

// The tree as a DOT graph, one node statement per vertex in node order.
std::string TreeDot(const RunResult& run, const TKeptTree& tree, const TDrawOptions& options);

TTreeLayout LayoutTree(const RunResult& run, const TKeptTree& tree,
                       const TDrawOptions& options);

enum class PictureFormat { Dot, Svg, Png };

// The file format a name asks for by its ending (.dot, .gv, .svg, .png); false otherwise.
bool PictureFormatOf(const std::string& fileName, PictureFormat& format);

struct TPicture {
  bool Ok = false;
  std::string Error;
  std::string Bytes;
};

// The drawn tree in the given format; DOT is the graph description before layout.
TPicture RenderTree(const RunResult& run, const TKeptTree& tree, PictureFormat format);

}  // namespace tarmel
