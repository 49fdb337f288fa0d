// Drawing a kept tree with the graph-drawing library: the tree becomes a DOT graph whose
// vertices carry their texts (or the sizes the window draws them at), the `dot` layout
// places them, and the positions come back as plain records. Pictures for files are
// rendered by the same library into memory, so that the caller writes them and reports
// its own errors.
#include "tree_drawing.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace tarmel {

namespace {

// Rough extents in points of a vertex rank and of a leaf in either direction, and the
// screen a drawing should fit, for choosing the direction before any layout.
constexpr double TopDownLeafWidth = 90.0, TopDownRankHeight = 70.0;
constexpr double AcrossRankWidth = 170.0, AcrossLeafHeight = 24.0;
constexpr double ScreenWidth = 1280.0, ScreenHeight = 900.0;
// Width in points of the class-count bar in a library-sized vertex.
constexpr int BarWidth = 60;
constexpr const char* BarColours[] = {"#4e79a7", "#f28e2b", "#59a14f", "#e15759", "#76b7b2",
                                      "#edc948", "#b07aa1", "#ff9da7", "#9c755f", "#bab0ac"};

std::string Fixed(double x, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
  return buffer;
}

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t extra = c < 0x80            ? 0
                         : (c & 0xE0) == 0xC0 ? 1
                         : (c & 0xF0) == 0xE0 ? 2
                         : (c & 0xF8) == 0xF0 ? 3
                                              : 4;
    if (extra == 4 || i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string Utf8Text(const std::string& s) {
  const bool valid = IsValidUtf8(s);
  if (valid && std::none_of(s.begin(), s.end(), [](char c) { return IsControl(c); })) return s;
  std::string out;
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsControl(c)) {
      out += "\xEF\xBF\xBD";
    } else if (c < 0x80 || valid) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

namespace {

std::string HtmlEscaped(const std::string& s) {
  std::string out;
  for (const char c : Utf8Text(s)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A quoted DOT string; backslashes are doubled so that names never become escapes.
std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (const char c : Utf8Text(s)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string NameAt(const std::vector<std::string>& names, int32_t oneBased,
                   const char* fallback) {
  if (oneBased >= 1 && static_cast<size_t>(oneBased) <= names.size()) {
    return names[static_cast<size_t>(oneBased) - 1];
  }
  return fallback + std::to_string(oneBased);
}

std::string DecisionText(const RunResult& run, const TTreeNode& n) {
  if (run.Task == TaskKind::Regression) {
    return Fixed(n.Mean, 2) + " \xC2\xB1 " + Fixed(n.StandardError, 2);
  }
  if (run.Task == TaskKind::Classification) {
    return Utf8Text(NameAt(run.ClassNames, n.MajorityClass, "class "));
  }
  return {};
}

// The class-count bar as a row of coloured cells whose widths add up to BarWidth.
std::string ClassBarHtml(const TTreeNode& n) {
  int32_t total = 0;
  for (const int32_t c : n.ClassCounts) total += c;
  if (total <= 0) return {};
  std::string cells;
  for (size_t k = 0; k < n.ClassCounts.size(); ++k) {
    if (n.ClassCounts[k] <= 0) continue;
    int width = static_cast<int>(static_cast<int64_t>(n.ClassCounts[k]) * BarWidth / total);
    if (width < 1) width = 1;
    cells += "<TD WIDTH=\"" + std::to_string(width) + "\" HEIGHT=\"4\" FIXEDSIZE=\"TRUE\" BGCOLOR=\"" +
             ClassColour(k) + "\"></TD>";
  }
  return "<TR><TD><TABLE BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"0\"><TR>" + cells +
         "</TR></TABLE></TD></TR>";
}

std::string NodeLabelHtml(const RunResult& run, const TKeptTree& tree, int32_t node,
                          TreeDirection direction) {
  const TNodeText text = NodeText(run, tree, node);
  const std::string title = "<B>" + HtmlEscaped(text.Title) + "</B>";
  std::string rows = direction == TreeDirection::LeftRight && text.Leaf
                         ? "<TR><TD>" + title + "  " + HtmlEscaped(text.Detail) + "</TD></TR>"
                         : "<TR><TD>" + title + "</TD></TR><TR><TD>" +
                               HtmlEscaped(text.Detail) + "</TD></TR>";
  if (run.Task == TaskKind::Classification) {
    rows += ClassBarHtml(tree.Nodes[static_cast<size_t>(node)]);
  }
  if (text.Heterogeneous) rows += "<TR><TD><I>heterogeneous</I></TD></TR>";
  return "<<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"1\">" + rows +
         "</TABLE>>";
}

std::string NodeStyle(const TNodeText& text) {
  if (text.Heterogeneous) return "style=\"rounded,filled,dashed\", fillcolor=\"#fff1dc\"";
  return text.Leaf ? "style=\"rounded,filled\", fillcolor=\"#e8f1fb\""
                   : "style=\"rounded,filled\", fillcolor=\"#ffffff\"";
}

// A vertex the caller sizes and draws itself needs no label: the library would only
// measure it.
std::string NodeStatement(const RunResult& run, const TKeptTree& tree, int32_t node,
                          const TDrawOptions& options) {
  const std::string head = "  n" + std::to_string(node) + " [";
  if (static_cast<size_t>(node) < options.NodeSizes.size()) {
    const TNodeSize size = options.NodeSizes[static_cast<size_t>(node)];
    return head + "label=\"\", fixedsize=true, width=" + Fixed(size.Width / 72.0, 4) +
           ", height=" + Fixed(size.Height / 72.0, 4) + "];\n";
  }
  return head + NodeStyle(NodeText(run, tree, node)) + ", label=" +
         NodeLabelHtml(run, tree, node, options.Direction) + "];\n";
}

std::string GraphHeader(const TDrawOptions& options) {
  const std::string font = Quoted(options.FontName);
  const std::string size = Fixed(options.FontSize, 1);
  const bool across = options.Direction == TreeDirection::LeftRight;
  return std::string("digraph tree {\n") + "  graph [rankdir=" + (across ? "LR" : "TB") +
         ", nodesep=" + (across ? "0.03" : "0.35") + ", ranksep=" + (across ? "0.3" : "0.35") +
         ", fontname=" + font + "];\n" + "  node [shape=box, margin=\"0.05,0.02\", fontname=" +
         font + ", fontsize=" + size + "];\n" + "  edge [fontname=" + font +
         ", fontsize=" + size + ", arrowsize=0.6, color=\"#555555\"];\n";
}

// Routes the library's messages into a text of our own instead of standard error.
thread_local std::string LibraryMessages;
int KeepLibraryMessage(char* message) {
  LibraryMessages += message;
  return 0;
}

// One context for the whole program. The library's text-layout plugin keeps a pointer to
// the last font name it measured, which lives in the context's font table: freeing a
// context and laying out again in a new one reads freed memory.
GVC_t* SharedContext() {
  static GVC_t* const context = gvContext();
  return context;
}

// One graph laid out in the shared context, released in the right order whatever happens.
class LaidOutGraph {
 public:
  explicit LaidOutGraph(const std::string& dot) {
    LibraryMessages.clear();
    Previous_ = agseterrf(KeepLibraryMessage);
    Context_ = SharedContext();
    Graph_ = agmemread(dot.c_str());
    if (Context_ != nullptr && Graph_ != nullptr) {
      LaidOut_ = gvLayout(Context_, Graph_, "dot") == 0;
    }
  }
  ~LaidOutGraph() {
    if (LaidOut_) gvFreeLayout(Context_, Graph_);
    if (Graph_ != nullptr) agclose(Graph_);
    agseterrf(Previous_);
  }
  LaidOutGraph(const LaidOutGraph&) = delete;
  LaidOutGraph& operator=(const LaidOutGraph&) = delete;

  bool Ok() const { return LaidOut_; }
  std::string Error() const {
    return LibraryMessages.empty() ? std::string("the tree could not be laid out")
                                   : LibraryMessages;
  }
  GVC_t* Context() const { return Context_; }
  Agraph_t* Graph() const { return Graph_; }

 private:
  agusererrf Previous_ = nullptr;
  GVC_t* Context_ = nullptr;
  Agraph_t* Graph_ = nullptr;
  bool LaidOut_ = false;
};

int32_t NodeIndex(Agnode_t* n) { return std::atoi(agnameof(n) + 1); }

TNodeBox BoxOf(Agnode_t* n, double top) {
  TNodeBox box;
  box.Node = NodeIndex(n);
  box.Centre = {ND_coord(n).x, top - ND_coord(n).y};
  box.Width = ND_width(n) * 72.0;
  box.Height = ND_height(n) * 72.0;
  return box;
}

TEdgePath PathOf(Agedge_t* e, double top) {
  TEdgePath path;
  path.Child = NodeIndex(aghead(e));
  const splines* spl = ED_spl(e);
  if (spl != nullptr && spl->size > 0) {
    const bezier& b = spl->list[0];
    for (int i = 0; i < b.size; ++i) path.Path.push_back({b.list[i].x, top - b.list[i].y});
    path.HasArrow = b.eflag != 0;
    path.ArrowTip = {b.ep.x, top - b.ep.y};
  }
  if (ED_label(e) != nullptr) {
    path.LabelCentre = {ED_label(e)->pos.x, top - ED_label(e)->pos.y};
  }
  return path;
}

}  // namespace

std::string FeatureLabel(const RunResult& run, const TKeptTree& tree, int32_t feature,
                         int32_t shift) {
  const std::string name = Utf8Text(NameAt(run.FeatureNames, feature, "feature "));
  if (!tree.TimeSeries) return name;
  return name + " (shift " + std::to_string(shift) + ")";
}

TNodeText NodeText(const RunResult& run, const TKeptTree& tree, int32_t node) {
  const TTreeNode& n = tree.Nodes[static_cast<size_t>(node)];
  TNodeText text;
  text.Leaf = n.Children.empty();
  text.Heterogeneous = text.Leaf && n.Heterogeneous;
  if (!text.Leaf) {
    text.Title = FeatureLabel(run, tree, n.SplitFeature, n.SplitShift);
  } else {
    text.Title = n.RuleNumber > 0 ? "Rule " + std::to_string(n.RuleNumber) : "Leaf";
  }
  text.Detail = "n=" + std::to_string(n.ObjCount);
  const std::string decision = DecisionText(run, n);
  if (!decision.empty()) text.Detail += "  " + decision;
  return text;
}

std::string EdgeLabel(const RunResult& run, const TKeptTree& tree, int32_t node) {
  const TTreeNode& n = tree.Nodes[static_cast<size_t>(node)];
  if (!tree.TimeSeries || n.Parent < 0) return Utf8Text(n.Condition);
  const TTreeNode& parent = tree.Nodes[static_cast<size_t>(n.Parent)];
  return FeatureLabel(run, tree, parent.SplitFeature, parent.SplitShift) + " " +
         Utf8Text(n.Condition);
}

// The direction whose drawing needs the smaller reduction to fit a screen; top down
// when both fit or tie.
const char* ClassColour(size_t k) { return BarColours[k % std::size(BarColours)]; }

TreeDirection PreferredDirection(const TKeptTree& tree) {
  double leaves = 0.0, ranks = 0.0;
  std::vector<int32_t> depth(tree.Nodes.size(), 0);
  for (size_t i = 0; i < tree.Nodes.size(); ++i) {
    const int32_t parent = tree.Nodes[i].Parent;
    if (parent >= 0 && static_cast<size_t>(parent) < i) depth[i] = depth[static_cast<size_t>(parent)] + 1;
    leaves += tree.Nodes[i].Children.empty() ? 1.0 : 0.0;
    ranks = std::max(ranks, depth[i] + 1.0);
  }
  const double downScale = std::min(ScreenWidth / (leaves * TopDownLeafWidth),
                                    ScreenHeight / (ranks * TopDownRankHeight));
  const double acrossScale = std::min(ScreenWidth / (ranks * AcrossRankWidth),
                                      ScreenHeight / (leaves * AcrossLeafHeight));
  return acrossScale > downScale && downScale < 1.0 ? TreeDirection::LeftRight
                                                    : TreeDirection::TopDown;
}

std::string TreeDot(const RunResult& run, const TKeptTree& tree, const TDrawOptions& options) {
  std::string dot = GraphHeader(options);
  const auto count = static_cast<int32_t>(tree.Nodes.size());
  for (int32_t i = 0; i < count; ++i) dot += NodeStatement(run, tree, i, options);
  for (int32_t i = 0; i < count; ++i) {
    for (const int32_t child : tree.Nodes[static_cast<size_t>(i)].Children) {
      dot += "  n" + std::to_string(i) + " -> n" + std::to_string(child) +
             " [label=" + Quoted(EdgeLabel(run, tree, child)) + "];\n";
    }
  }
  return dot + "}\n";
}

TTreeLayout LayoutTree(const RunResult& run, const TKeptTree& tree,
                       const TDrawOptions& options) {
  TTreeLayout layout;
  if (tree.Nodes.empty()) {
    layout.Error = "the tree has no vertices";
    return layout;
  }
  const LaidOutGraph graph(TreeDot(run, tree, options));
  if (!graph.Ok()) {
    layout.Error = graph.Error();
    return layout;
  }
  Agraph_t* g = graph.Graph();
  const boxf bb = GD_bb(g);
  layout.Width = bb.UR.x - bb.LL.x;
  layout.Height = bb.UR.y - bb.LL.y;
  for (Agnode_t* n = agfstnode(g); n != nullptr; n = agnxtnode(g, n)) {
    layout.Nodes.push_back(BoxOf(n, bb.UR.y));
    for (Agedge_t* e = agfstout(g, n); e != nullptr; e = agnxtout(g, e)) {
      layout.Edges.push_back(PathOf(e, bb.UR.y));
      layout.Edges.back().Label = EdgeLabel(run, tree, layout.Edges.back().Child);
    }
  }
  layout.Ok = true;
  return layout;
}

bool PictureFormatOf(const std::string& fileName, PictureFormat& format) {
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string ending = fileName.substr(dot + 1);
  for (char& c : ending) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (ending == "dot" || ending == "gv") format = PictureFormat::Dot;
  else if (ending == "svg") format = PictureFormat::Svg;
  else if (ending == "png") format = PictureFormat::Png;
  else return false;
  return true;
}

TPicture RenderTree(const RunResult& run, const TKeptTree& tree, PictureFormat format) {
  TPicture picture;
  TDrawOptions options;
  options.Direction = PreferredDirection(tree);
  const std::string dot = TreeDot(run, tree, options);
  if (format == PictureFormat::Dot) {
    picture.Ok = true;
    picture.Bytes = dot;
    return picture;
  }
  const LaidOutGraph graph(dot);
  if (!graph.Ok()) {
    picture.Error = graph.Error();
    return picture;
  }
  char* data = nullptr;
  unsigned int length = 0;
  // The cairo renderer draws anti-aliased text; the library's own PNG writer is the
  // fallback where that plugin is missing.
  const std::vector<const char*> renderers =
      format == PictureFormat::Svg ? std::vector<const char*>{"svg"}
                                   : std::vector<const char*>{"png:cairo", "png"};
  for (const char* renderer : renderers) {
    if (gvRenderData(graph.Context(), graph.Graph(), renderer, &data, &length) == 0) break;
  }
  if (data == nullptr || length == 0) {
    picture.Error = graph.Error();
  } else {
    picture.Ok = true;
    picture.Bytes.assign(data, length);
  }
  gvFreeRenderData(data);
  return picture;
}

}  // namespace tarmel
