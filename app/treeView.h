// The drawn tree: the vertices and edges of one kept tree, placed by the graph layout and
// drawn as items of a graphics scene, so that the view zooms, pans and knows which leaf
// was clicked. Ctrl+wheel and Ctrl+plus/minus zoom, Ctrl+0 fits the tree to the view.
#pragma once

#include <QColor>
#include <QGraphicsView>
#include <QString>
#include <array>

#include "run_request.h"
#include "tree_drawing.h"

namespace tarmel {

// The drawn tree's colours, taken from the palette so that a dark one stays readable: the
// text on the background, the boxes' frames and the edges between them; leaves and
// heterogeneous groups tinted towards the highlight and towards orange.
struct TreeColours {
  QColor Text, Background, Frame, Line, LeafFill, MixedFill, MixedLine;
};
TreeColours TreeColoursFor(const QPalette& palette);

class TreeView : public QGraphicsView {
  Q_OBJECT
 public:
  explicit TreeView(QWidget* parent = nullptr);

  // Draws tree `index` of the run, which must outlive the drawing, top down or from left
  // to right, whichever fits the view at the larger size; false (with the reason in
  // LastError) when it cannot be laid out, in which case the view shows the reason.
  bool ShowTree(const RunResult& run, int index);
  void Clear();

  int VertexCount() const { return VertexCount_; }
  QString LastError() const { return LastError_; }
  TreeDirection Direction() const { return Direction_; }
  // Scene position of the centre of node `node`, for tests that click it.
  QPointF NodeCentre(int node) const;

  void ZoomIn();
  void ZoomOut();
  void FitToWindow();

  // The tree as drawn, in the format its file name's ending asks for (.svg, .png, .pdf);
  // an empty text on success, otherwise the reason.
  QString ExportTo(const QString& fileName);

 signals:
  void LeafClicked(int ruleNumber);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Draw(TreeDirection direction);
  TreeDirection BetterDirection() const;
  void FitScene();
  void ZoomBy(double factor);
  void AddEdges(const TTreeLayout& layout);
  void AddNodes(const TTreeLayout& layout, TreeDirection direction);
  int LeafRuleAt(const QPoint& viewPoint) const;

  const RunResult* Run_ = nullptr;
  int Index_ = -1;
  std::array<TTreeLayout, 2> Layouts_;  // top down, left to right
  bool AutoFit_ = true;  // until the user zooms, the view keeps the tree fitted
  int VertexCount_ = 0;
  QString LastError_;
  TreeDirection Direction_ = TreeDirection::TopDown;
  std::vector<QPointF> Centres_;
};

}  // namespace tarmel
