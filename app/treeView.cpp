// The drawn tree. The scene's unit is the layout's point: vertices are measured with the
// fonts they are drawn in, the layout places boxes of exactly those sizes, and edge labels
// use the font size the layout assumed, so that text and boxes agree at every zoom.
#include "treeView.h"

#include <QBuffer>

#include <QFile>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QStyleOptionGraphicsItem>
#include <QSvgGenerator>
#include <QWheelEvent>
#include <cmath>

#include "textFile.h"

namespace tarmel {

namespace {

constexpr int NodeTextPixels = 11;
constexpr int EdgeTextPixels = 10;
constexpr double PadX = 6.0, PadY = 3.0, TitleGap = 8.0, BarGap = 2.0, BarHeight = 4.0;
// A one-line leaf carries its class bar at its right end, as tall as a small letter.
constexpr double OneLinePadY = 2.0, InlineBarWidth = 28.0, InlineBarHeight = 7.0;
constexpr double SceneMargin = 12.0;
constexpr double ZoomStep = 1.25, MinScale = 0.05, MaxScale = 8.0, MaxFitScale = 1.5;
constexpr int RuleKey = 0;  // item data: the rule number of a leaf, 0 elsewhere

QFont TreeFont(int pixels, bool bold) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QColor Colour(const char* hex) { return QColor(QString::fromLatin1(hex)); }

// A colour `share` of the way from `from` to `to`.
QColor Blend(const QColor& from, const QColor& to, double share) {
  const auto mix = [share](int a, int b) { return static_cast<int>(a + (b - a) * share + 0.5); };
  return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                mix(from.blue(), to.blue()));
}

// What one vertex shows and how it is laid out inside its box.
struct NodeLook {
  TNodeText Text;
  std::vector<int32_t> ClassCounts;  // empty outside classification
  bool OneLine = false;              // title and detail side by side

  QString Title() const { return QString::fromStdString(Text.Title); }
  QString Detail() const { return QString::fromStdString(Text.Detail); }
};

double LineHeight() { return QFontMetricsF(TreeFont(NodeTextPixels, false)).height(); }

QSizeF NodeSize(const NodeLook& look) {
  const double title = QFontMetricsF(TreeFont(NodeTextPixels, true)).horizontalAdvance(look.Title());
  const double detail = QFontMetricsF(TreeFont(NodeTextPixels, false)).horizontalAdvance(look.Detail());
  const bool bar = !look.ClassCounts.empty();
  if (look.OneLine) {
    const double width = title + TitleGap + detail + (bar ? TitleGap + InlineBarWidth : 0.0);
    return {std::ceil(width + 2.0 * PadX), std::ceil(LineHeight() + 2.0 * OneLinePadY)};
  }
  const double height = 2.0 * LineHeight() + (bar ? BarGap + BarHeight : 0.0);
  return {std::ceil(std::max(title, detail) + 2.0 * PadX), std::ceil(height + 2.0 * PadY)};
}

class NodeItem : public QGraphicsItem {
 public:
  NodeItem(NodeLook look, const QRectF& rect) : Look_(std::move(look)), Rect_(rect) {}
  QRectF boundingRect() const override { return Rect_.adjusted(-1.0, -1.0, 1.0, 1.0); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    painter->setRenderHint(QPainter::Antialiasing);
    PaintBox(*painter);
    PaintTexts(*painter);
    if (!Look_.ClassCounts.empty()) PaintBar(*painter);
  }

 private:
  void PaintBox(QPainter& painter) const {
    const TreeColours colours = TreeColoursFor(scene()->palette());
    QPen pen(Look_.Text.Heterogeneous ? colours.MixedLine : colours.Frame, 1.0);
    if (Look_.Text.Heterogeneous) pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Look_.Text.Heterogeneous ? colours.MixedFill
                     : Look_.Text.Leaf        ? colours.LeafFill
                                              : colours.Background);
    painter.drawRoundedRect(Rect_, 4.0, 4.0);
  }
  QRectF Inner() const {
    const double padY = Look_.OneLine ? OneLinePadY : PadY;
    return Rect_.adjusted(PadX, padY, -PadX, -padY);
  }
  QRectF BarRect() const {
    const QRectF inner = Inner();
    if (!Look_.OneLine) return {inner.left(), inner.bottom() - BarHeight, inner.width(), BarHeight};
    return {inner.right() - InlineBarWidth, inner.center().y() - InlineBarHeight / 2.0,
            InlineBarWidth, InlineBarHeight};
  }
  void PaintTexts(QPainter& painter) const {
    QRectF inner = Inner();
    if (Look_.OneLine && !Look_.ClassCounts.empty()) inner.setRight(BarRect().left() - TitleGap);
    const QRectF first(inner.left(), inner.top(), inner.width(), LineHeight());
    painter.setPen(TreeColoursFor(scene()->palette()).Text);
    painter.setFont(TreeFont(NodeTextPixels, true));
    const Qt::Alignment titleAlign = (Look_.OneLine ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter;
    painter.drawText(first, titleAlign, Look_.Title());
    painter.setFont(TreeFont(NodeTextPixels, false));
    if (Look_.OneLine) {
      painter.drawText(first, Qt::AlignRight | Qt::AlignVCenter, Look_.Detail());
    } else {
      painter.drawText(first.translated(0.0, LineHeight()), Qt::AlignCenter, Look_.Detail());
    }
  }
  // One segment per class, as wide as its share of the vertex's objects.
  void PaintBar(QPainter& painter) const {
    double total = 0.0;
    for (const int32_t c : Look_.ClassCounts) total += c;
    if (total <= 0.0) return;
    const QRectF bar = BarRect();
    double left = bar.left();
    painter.setPen(Qt::NoPen);
    for (size_t k = 0; k < Look_.ClassCounts.size(); ++k) {
      const double width = bar.width() * Look_.ClassCounts[k] / total;
      painter.setBrush(Colour(ClassColour(k)));
      painter.drawRect(QRectF(left, bar.top(), width, bar.height()));
      left += width;
    }
  }

  NodeLook Look_;
  QRectF Rect_;
};

NodeLook LookOf(const RunResult& run, const TKeptTree& tree, int node, TreeDirection direction) {
  NodeLook look;
  look.Text = NodeText(run, tree, node);
  // Across, leaves stand one above the other: one line each keeps a column of many
  // leaves short; inner vertices keep two lines, which keeps the columns narrow.
  look.OneLine = direction == TreeDirection::LeftRight && look.Text.Leaf;
  if (run.Task == TaskKind::Classification) {
    look.ClassCounts = tree.Nodes[static_cast<size_t>(node)].ClassCounts;
  }
  return look;
}

QString NodeToolTip(const RunResult& run, const TKeptTree& tree, int node) {
  const NodeLook look = LookOf(run, tree, node, TreeDirection::TopDown);
  QString tip = look.Title() + QStringLiteral("\n") + look.Detail();
  for (size_t k = 0; k < look.ClassCounts.size(); ++k) {
    const QString name = k < run.ClassNames.size() ? QString::fromStdString(run.ClassNames[k])
                                                   : QStringLiteral("class %1").arg(k + 1);
    tip += QStringLiteral("\n%1: %2").arg(name).arg(look.ClassCounts[k]);
  }
  if (look.Text.Heterogeneous) tip += QStringLiteral("\nHeterogeneous group: the rule can not be continued");
  if (look.Text.Leaf && tree.Nodes[static_cast<size_t>(node)].RuleNumber > 0) {
    tip += QStringLiteral("\nClick to show the rule in the report");
  }
  return tip;
}

QPointF ToQt(const TPointF& p) { return {p.X, p.Y}; }

QPolygonF Arrowhead(const QPointF& base, const QPointF& tip) {
  const QPointF along = tip - base;
  const double length = std::hypot(along.x(), along.y());
  if (length <= 0.0) return {};
  const QPointF across(-along.y() * 0.45, along.x() * 0.45);
  return QPolygonF({tip, base + across, base - across});
}

void RenderSvg(QGraphicsScene& scene, const QRectF& source, QIODevice& device) {
  QSvgGenerator svg;
  svg.setOutputDevice(&device);
  svg.setSize(source.size().toSize());
  svg.setViewBox(QRectF(QPointF(), source.size()));
  svg.setTitle(QStringLiteral("Tree"));
  QPainter painter(&svg);
  scene.render(&painter, QRectF(QPointF(), source.size()), source);
}

// Twice the scene's size, so that the picture stays sharp on a printed page.
bool RenderPng(QGraphicsScene& scene, const QRectF& source, QIODevice& device) {
  QImage image((source.size() * 2.0).toSize(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  scene.render(&painter, QRectF(image.rect()), source);
  painter.end();
  return image.save(&device, "PNG");
}

void RenderPdf(QGraphicsScene& scene, const QRectF& source, QIODevice& device) {
  QPdfWriter pdf(&device);
  pdf.setPageSize(QPageSize(source.size(), QPageSize::Point));
  pdf.setPageMargins(QMarginsF());
  pdf.setTitle(QStringLiteral("Tree"));
  QPainter painter(&pdf);
  scene.render(&painter, QRectF(QPointF(), QSizeF(pdf.width(), pdf.height())), source);
}

}  // namespace

TreeColours TreeColoursFor(const QPalette& palette) {
  const QColor text = palette.color(QPalette::Text);
  const QColor base = palette.color(QPalette::Base);
  const QColor orange = Colour("#c26a00");
  TreeColours colours;
  colours.Text = text;
  colours.Background = base;
  colours.Frame = Blend(text, base, 0.25);
  colours.Line = Blend(text, base, 0.35);
  colours.LeafFill = Blend(base, palette.color(QPalette::Highlight), 0.12);
  colours.MixedFill = Blend(base, orange, 0.15);
  colours.MixedLine = Blend(orange, text, 0.2);
  return colours;
}

TreeView::TreeView(QWidget* parent) : QGraphicsView(parent) {
  setObjectName(QStringLiteral("TreeView"));
  setScene(new QGraphicsScene(this));
  setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  setDragMode(QGraphicsView::ScrollHandDrag);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setMouseTracking(true);
}

void TreeView::Clear() {
  scene()->clear();
  Run_ = nullptr;
  Index_ = -1;
  Layouts_ = {};
  VertexCount_ = 0;
  Centres_.clear();
  LastError_.clear();
}

bool TreeView::ShowTree(const RunResult& run, int index) {
  Clear();
  if (index < 0 || static_cast<size_t>(index) >= run.Trees.size()) return false;
  Run_ = &run;
  Index_ = index;
  const TKeptTree& tree = run.Trees[static_cast<size_t>(index)];
  for (const TreeDirection direction : {TreeDirection::TopDown, TreeDirection::LeftRight}) {
    TDrawOptions options;
    options.Direction = direction;
    options.FontSize = EdgeTextPixels;
    for (int node = 0; node < static_cast<int>(tree.Nodes.size()); ++node) {
      const QSizeF size = NodeSize(LookOf(run, tree, node, direction));
      options.NodeSizes.push_back({size.width(), size.height()});
    }
    Layouts_[static_cast<size_t>(direction)] = LayoutTree(run, tree, options);
  }
  if (!Layouts_[0].Ok) {
    LastError_ = QString::fromStdString(Layouts_[0].Error);
    scene()->addText(QStringLiteral("The tree cannot be drawn: %1").arg(LastError_));
    return false;
  }
  AutoFit_ = true;
  Draw(BetterDirection());
  return true;
}

// The direction whose whole drawing fits the view at the larger scale; left to right
// only when it is clearly larger, so that a resize does not flip between the two.
TreeDirection TreeView::BetterDirection() const {
  const auto fit = [this](const TTreeLayout& layout) {
    const QSizeF room = viewport()->size();
    return std::min(room.width() / (layout.Width + 2.0 * SceneMargin),
                    room.height() / (layout.Height + 2.0 * SceneMargin));
  };
  const TTreeLayout& down = Layouts_[static_cast<size_t>(TreeDirection::TopDown)];
  const TTreeLayout& across = Layouts_[static_cast<size_t>(TreeDirection::LeftRight)];
  const double downScale = fit(down);
  return across.Ok && downScale < 1.0 && fit(across) > 1.1 * downScale ? TreeDirection::LeftRight
                                                                         : TreeDirection::TopDown;
}

void TreeView::Draw(TreeDirection direction) {
  scene()->clear();
  Direction_ = direction;
  const TTreeLayout& layout = Layouts_[static_cast<size_t>(direction)];
  // The scene paints its own background, so an exported picture looks as the view does.
  scene()->setPalette(palette());
  scene()->setBackgroundBrush(TreeColoursFor(palette()).Background);
  AddEdges(layout);
  AddNodes(layout, direction);
  setSceneRect(QRectF(0.0, 0.0, layout.Width, layout.Height)
                   .adjusted(-SceneMargin, -SceneMargin, SceneMargin, SceneMargin));
  FitScene();
}

void TreeView::AddNodes(const TTreeLayout& layout, TreeDirection direction) {
  const TKeptTree& tree = Run_->Trees[static_cast<size_t>(Index_)];
  Centres_.assign(tree.Nodes.size(), QPointF());
  for (const TNodeBox& box : layout.Nodes) {
    const QRectF rect(box.Centre.X - box.Width / 2.0, box.Centre.Y - box.Height / 2.0,
                      box.Width, box.Height);
    auto* item = new NodeItem(LookOf(*Run_, tree, box.Node, direction), rect);
    item->setData(RuleKey, tree.Nodes[static_cast<size_t>(box.Node)].RuleNumber);
    item->setToolTip(NodeToolTip(*Run_, tree, box.Node));
    scene()->addItem(item);
    Centres_[static_cast<size_t>(box.Node)] = rect.center();
  }
  VertexCount_ = static_cast<int>(layout.Nodes.size());
}

// Fits the whole tree; a small tree is enlarged, but only so far that its text stays in
// proportion with the rest of the window.
void TreeView::FitScene() {
  resetTransform();
  if (sceneRect().isEmpty()) return;
  fitInView(sceneRect(), Qt::KeepAspectRatio);
  if (transform().m11() > MaxFitScale) setTransform(QTransform::fromScale(MaxFitScale, MaxFitScale));
}

void TreeView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  if (!AutoFit_ || Run_ == nullptr) return;
  const TreeDirection better = BetterDirection();
  if (better != Direction_) {
    Draw(better);
  } else {
    FitScene();
  }
}

// A new palette (a switch to a dark theme, say) redraws the tree in its colours, at the
// zoom the user chose.
void TreeView::changeEvent(QEvent* event) {
  QGraphicsView::changeEvent(event);
  if (event->type() != QEvent::PaletteChange || Run_ == nullptr) return;
  const QTransform kept = transform();
  Draw(Direction_);
  if (!AutoFit_) setTransform(kept);
}

void TreeView::AddEdges(const TTreeLayout& layout) {
  const TreeColours colours = TreeColoursFor(palette());
  const QPen pen(colours.Line, 1.0);
  for (const TEdgePath& edge : layout.Edges) {
    if (edge.Path.empty()) continue;
    QPainterPath path(ToQt(edge.Path[0]));
    for (size_t i = 1; i + 2 < edge.Path.size(); i += 3) {
      path.cubicTo(ToQt(edge.Path[i]), ToQt(edge.Path[i + 1]), ToQt(edge.Path[i + 2]));
    }
    scene()->addPath(path, pen);
    if (edge.HasArrow) {
      scene()->addPolygon(Arrowhead(path.currentPosition(), ToQt(edge.ArrowTip)), pen,
                          QBrush(colours.Line));
    }
    auto* label = scene()->addSimpleText(QString::fromStdString(edge.Label),
                                         TreeFont(EdgeTextPixels, false));
    label->setBrush(colours.Text);
    label->setPos(ToQt(edge.LabelCentre) - label->boundingRect().center());
  }
}

QPointF TreeView::NodeCentre(int node) const {
  return node >= 0 && static_cast<size_t>(node) < Centres_.size() ? Centres_[static_cast<size_t>(node)]
                                                                   : QPointF();
}

void TreeView::ZoomBy(double factor) {
  AutoFit_ = false;
  const double current = transform().m11();
  const double wanted = std::clamp(current * factor, MinScale, MaxScale);
  scale(wanted / current, wanted / current);
}

void TreeView::ZoomIn() { ZoomBy(ZoomStep); }
void TreeView::ZoomOut() { ZoomBy(1.0 / ZoomStep); }

void TreeView::FitToWindow() {
  AutoFit_ = true;
  FitScene();
}

void TreeView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QGraphicsView::wheelEvent(event);
    return;
  }
  ZoomBy(std::pow(ZoomStep, event->angleDelta().y() / 120.0));
  event->accept();
}

void TreeView::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    switch (event->key()) {
      case Qt::Key_Plus:
      case Qt::Key_Equal: ZoomIn(); return;
      case Qt::Key_Minus: ZoomOut(); return;
      case Qt::Key_0: FitToWindow(); return;
      default: break;
    }
  }
  QGraphicsView::keyPressEvent(event);
}

int TreeView::LeafRuleAt(const QPoint& viewPoint) const {
  for (const QGraphicsItem* item : items(viewPoint)) {
    const int rule = item->data(RuleKey).toInt();
    if (rule > 0) return rule;
  }
  return 0;
}

void TreeView::mousePressEvent(QMouseEvent* event) {
  const int rule = event->button() == Qt::LeftButton ? LeafRuleAt(event->position().toPoint()) : 0;
  if (rule > 0) {
    emit LeafClicked(rule);
    event->accept();
    return;
  }
  QGraphicsView::mousePressEvent(event);
}

void TreeView::mouseMoveEvent(QMouseEvent* event) {
  QGraphicsView::mouseMoveEvent(event);
  if (event->buttons() != Qt::NoButton) return;
  viewport()->setCursor(LeafRuleAt(event->position().toPoint()) > 0 ? Qt::PointingHandCursor
                                                                   : Qt::OpenHandCursor);
}

QString TreeView::ExportTo(const QString& fileName) {
  const QString ending = QFileInfo(fileName).suffix().toLower();
  if (ending != QLatin1String("svg") && ending != QLatin1String("png") &&
      ending != QLatin1String("pdf")) {
    return QStringLiteral("the file name must end in .svg, .png or .pdf");
  }
  if (VertexCount_ == 0) return QStringLiteral("no tree is shown");
  QBuffer picture;
  picture.open(QIODevice::WriteOnly);
  const QRectF source = sceneRect();
  if (ending == QLatin1String("svg")) {
    RenderSvg(*scene(), source, picture);
  } else if (ending == QLatin1String("pdf")) {
    RenderPdf(*scene(), source, picture);
  } else if (!RenderPng(*scene(), source, picture)) {
    return QStringLiteral("the picture could not be written");
  }
  QString error;
  WriteFileSafely(fileName, picture.data(), error);
  return error;
}

}  // namespace tarmel
