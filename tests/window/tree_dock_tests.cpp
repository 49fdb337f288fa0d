// The tree dock: hidden until a run, one vertex per tree vertex, the variant selector and
// the results table kept in step, leaf clicks that show the rule in the report, zoom,
// exports and the copied table.
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QXmlStreamReader>

#include "hand_results.h"
#include "resultsTable.h"
#include "treeDock.h"
#include "treeView.h"
#include "windowTestSupport.h"

namespace tarmel {

class TreeDockTest : public WindowTest {
  Q_OBJECT
 private slots:
  void DockIsHiddenUntilARunShowsIt();
  void AfterARunTheDockDrawsTheFirstTreeAndLeadsToItsRules();
  void SelectorAndTableFollowEachOther();
  void ClickOnALeafSelectsItsRuleInTheReport();
  void RuleIsLookedForInsideItsVariantOnly();
  void ZoomKeysScaleAndFitShowsTheWholeTree();
  void ExportsAreWellFormed();
  void ExportToAnUnwritableFileSaysWhy();
  void CopyPutsTheTableOnTheClipboard();
  void RunWithoutTreesShowsItsMessage();
  void LegendSaysATimeSeriesReportListsNoRules();
};

namespace {

TreeDock* Dock(TForm1& form) { return form.findChild<TreeDock*>(QStringLiteral("TreeDock")); }

// The flower tree as variant 1 and again, split on petal_wid, as variant 2.
RunResult TwoFlowerTrees() {
  RunResult run = testing::FlowerResult();
  run.Trees.push_back(run.Trees[0]);
  run.Trees[1].Variant = 2;
  run.Trees[1].Nodes[0].SplitFeature = 5;
  return run;
}

const char* TwoVariantReport =
    "------------------------------------------------------------\n"
    "Variant N  1\n"
    " Rule   1,\n IF\n x <=    1.00,\n"
    "------------------------------------------------------------\n"
    " Rule   2,\n IF\n x >    1.00,\n"
    "************************************************************\n"
    "\n"
    "------------------------------------------------------------\n"
    "Variant N  2\n"
    " Rule   1,\n IF\n y <=    1.00,\n"
    "------------------------------------------------------------\n"
    " Rule   2,\n IF\n y >    1.00,\n";

int SelectedLine(QPlainTextEdit* editor) { return editor->textCursor().blockNumber(); }

}  // namespace

void TreeDockTest::DockIsHiddenUntilARunShowsIt() {
  TForm1& form = NewWindow();
  TreeDock* dock = Dock(form);
  QVERIFY(dock != nullptr);
  QVERIFY(dock->isHidden());
  QVERIFY(!dock->ExportAction()->isEnabled());
  // Placed near the screen's right edge, the window grows with the dock and stays inside.
  const QRect area = form.screen()->availableGeometry();
  form.move(area.right() - 300, area.top() + 40);
  form.show();
  const RunResult run = testing::FlowerResult();
  dock->ShowRun(run);
  QVERIFY(!dock->isHidden());
  QVERIFY2(area.contains(form.frameGeometry()),
           qPrintable(QStringLiteral("%1,%2 %3x%4").arg(form.x()).arg(form.y())
                          .arg(form.width()).arg(form.height())));
  QVERIFY(form.width() > 484);
  // Closed, it comes back from the View menu.
  dock->close();
  form.findChild<QAction*>(QStringLiteral("ViewTreeDock"))->trigger();
  QVERIFY(dock->isVisible());
  QCOMPARE(dock->View()->VertexCount(), static_cast<int>(run.Trees[0].Nodes.size()));
  QVERIFY(dock->ExportAction()->isEnabled());
  QCOMPARE(dock->Selector()->currentText(), QStringLiteral("Tree 1 of 1"));
  // File > Export Tree... asks for a name and writes the shown tree there.
  QVERIFY(form.menuBar()->actions().constFirst()->menu()->actions().contains(dock->ExportAction()));
  dock->AskExportFileName = [](QWidget*) { return QStringLiteral("chosen.png"); };
  dock->ExportAction()->trigger();
  QVERIFY(!QImage(QStringLiteral("chosen.png")).isNull());
}

void TreeDockTest::AfterARunTheDockDrawsTheFirstTreeAndLeadsToItsRules() {
  TForm1& form = NewWindow();
  WriteBytes(QStringLiteral("param.par"), "1.000 1.000 0.050 0.050   3   1  10 0   1\r\n");
  WriteBytes(QStringLiteral("flowers.txt"), ExampleBytes(QStringLiteral("flowers.txt")));
  form.FileOpen1Accept(QStringLiteral("flowers.txt"));
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QVERIFY(BuildAndWait(form));
  TreeDock* dock = Dock(form);
  QVERIFY(dock->isVisible());
  const RunResult& run = dock->LastRun();
  QCOMPARE(static_cast<int>(run.Trees.size()), 3);
  QCOMPARE(dock->Selector()->currentText(), QStringLiteral("Tree 1 of 3"));
  QCOMPARE(dock->View()->VertexCount(), static_cast<int>(run.Trees[0].Nodes.size()));
  QCOMPARE(dock->Table()->Results()->rowCount(), 3);
  dock->ShowTree(1);
  QCOMPARE(dock->View()->VertexCount(), static_cast<int>(run.Trees[1].Nodes.size()));
  // The last leaf of the second tree: its rule in the second variant's block.
  const auto& nodes = run.Trees[1].Nodes;
  const int leaf = static_cast<int>(nodes.size()) - 1;
  QVERIFY(nodes[static_cast<size_t>(leaf)].Children.empty());
  const QPoint at = dock->View()->mapFromScene(dock->View()->NodeCentre(leaf));
  QTest::mouseClick(dock->View()->viewport(), Qt::LeftButton, {}, at);
  QPlainTextEdit* editor = Child<QPlainTextEdit>(form, "RichEdit1");
  const int rule = nodes[static_cast<size_t>(leaf)].RuleNumber;
  QCOMPARE(editor->textCursor().selectedText(), QStringLiteral(" Rule %1,").arg(rule, 3));
  QTextBlock block = editor->textCursor().block();
  while (block.isValid() && !block.text().startsWith(QStringLiteral("Variant N"))) block = block.previous();
  QCOMPARE(block.text(), QStringLiteral("Variant N%1").arg(run.Trees[1].Variant, 3));
}

void TreeDockTest::SelectorAndTableFollowEachOther() {
  TreeDock dock;
  dock.ShowRun(TwoFlowerTrees());
  QCOMPARE(dock.Selector()->count(), 2);
  QCOMPARE(dock.Selector()->itemText(1), QStringLiteral("Tree 2 of 2"));
  QCOMPARE(dock.Table()->Results()->rowCount(), 2);
  QCOMPARE(dock.Table()->Results()->item(1, 1)->text(), QStringLiteral("petal_wid"));
  dock.Table()->Results()->setCurrentCell(1, 0);
  QCOMPARE(dock.ShownTree(), 1);
  QCOMPARE(dock.Selector()->currentIndex(), 1);
  dock.ShowTree(0);
  QCOMPARE(dock.Table()->Results()->currentRow(), 0);
  QCOMPARE(dock.Table()->Confusion()->rowCount(), 4);  // three classes and the precision
}

void TreeDockTest::ClickOnALeafSelectsItsRuleInTheReport() {
  TForm1& form = NewWindow();
  SetEditorText(form, QString::fromLatin1(TwoVariantReport));
  form.show();
  TreeDock* dock = Dock(form);
  RunResult run = TwoFlowerTrees();
  dock->ShowRun(run);
  dock->ShowTree(1);
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  TreeView* view = dock->View();
  QSignalSpy clicked(view, &TreeView::LeafClicked);
  // Node 3 is the leaf of rule 2; the click lands on its centre.
  const QPoint at = view->mapFromScene(view->NodeCentre(3));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QCOMPARE(clicked.count(), 1);
  QCOMPARE(clicked.at(0).at(0).toInt(), 2);
  QPlainTextEdit* editor = Child<QPlainTextEdit>(form, "RichEdit1");
  QCOMPARE(editor->textCursor().selectedText(), QStringLiteral(" Rule   2,"));
  QCOMPARE(editor->document()->findBlockByNumber(SelectedLine(editor) - 5).text(),
           QStringLiteral("Variant N  2"));
  // An inner vertex is no rule: the editor stays where it is.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(view->NodeCentre(2)));
  QCOMPARE(clicked.count(), 1);
}

void TreeDockTest::RuleIsLookedForInsideItsVariantOnly() {
  QPlainTextEdit editor;
  editor.setPlainText(QString::fromLatin1(TwoVariantReport));
  QVERIFY(SelectRuleLine(&editor, 1, 2));
  QCOMPARE(SelectedLine(&editor), 6);
  QVERIFY(!SelectRuleLine(&editor, 1, 3));  // variant 2 has no rule 3 either
  QVERIFY(!SelectRuleLine(&editor, 3, 1));
  QCOMPARE(SelectedLine(&editor), 6);
}

void TreeDockTest::ZoomKeysScaleAndFitShowsTheWholeTree() {
  TreeView view;
  view.resize(300, 200);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  const RunResult run = testing::ChainResult(12);
  QVERIFY(view.ShowTree(run, 0));
  const double fitted = view.transform().m11();
  QVERIFY(fitted < 1.0);  // a tree of twelve leaves does not fit 300 x 200 at full size
  const QRectF shown = view.mapToScene(view.viewport()->rect()).boundingRect();
  QVERIFY(shown.adjusted(-1, -1, 1, 1).contains(view.sceneRect()));
  QTest::keyClick(&view, Qt::Key_Plus, Qt::ControlModifier);
  QVERIFY(view.transform().m11() > fitted * 1.2);
  QTest::keyClick(&view, Qt::Key_Minus, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_Minus, Qt::ControlModifier);
  QVERIFY(view.transform().m11() < fitted);
  QTest::keyClick(&view, Qt::Key_0, Qt::ControlModifier);
  QVERIFY(qAbs(view.transform().m11() - fitted) < 1e-9);
}

void TreeDockTest::ExportsAreWellFormed() {
  TreeDock dock;
  dock.ShowRun(testing::FlowerResult());
  QCOMPARE(dock.ExportTree(QStringLiteral("tree.svg")), QString());
  QFile svg(QStringLiteral("tree.svg"));
  QVERIFY(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  QVERIFY(xml.readNextStartElement());
  QCOMPARE(xml.name().toString(), QStringLiteral("svg"));
  int texts = 0;
  while (!xml.atEnd()) texts += xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text");
  QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
  QVERIFY(texts >= 5 * 2 + 4);  // two lines per vertex, one label per edge

  QCOMPARE(dock.ExportTree(QStringLiteral("tree.png")), QString());
  const QImage png(QStringLiteral("tree.png"));
  QCOMPARE(png.size(), (dock.View()->sceneRect().size() * 2.0).toSize());
  QCOMPARE(dock.ExportTree(QStringLiteral("tree.pdf")), QString());
  QVERIFY(ReadBytes(QStringLiteral("tree.pdf")).startsWith("%PDF"));
}

void TreeDockTest::ExportToAnUnwritableFileSaysWhy() {
  TreeDock dock;
  QVERIFY(!dock.ExportTree(QStringLiteral("tree.svg")).isEmpty());  // nothing shown yet
  dock.ShowRun(testing::FlowerResult());
  QVERIFY(!dock.ExportTree(QStringLiteral("no/such/folder/tree.svg")).isEmpty());
  QVERIFY(!dock.ExportTree(QStringLiteral("tree.bmp")).isEmpty());
  QVERIFY(!QFile::exists(QStringLiteral("tree.bmp")));
  // Never over a file the window uses, also through a link; a good export keeps the link.
  WriteBytes("data.svg", "the data");
  QFile::link(QStringLiteral("data.svg"), QStringLiteral("link.svg"));
  dock.SetFilesInUse({QStringLiteral("data.svg"), QStringLiteral("output.txt")});
  QVERIFY(dock.ExportTree(QStringLiteral("link.svg")).contains(QStringLiteral("data.svg")));
  QCOMPARE(ReadBytes("data.svg"), QByteArray("the data"));
  WriteBytes("tree.svg", "an older picture");
  QFile::link(QStringLiteral("tree.svg"), QStringLiteral("shown.svg"));
  QCOMPARE(dock.ExportTree(QStringLiteral("shown.svg")), QString());
  QVERIFY(QFileInfo(QStringLiteral("shown.svg")).isSymLink());
  QVERIFY(ReadBytes("tree.svg").startsWith("<?xml"));
}

void TreeDockTest::CopyPutsTheTableOnTheClipboard() {
  TreeDock dock;
  dock.ShowRun(TwoFlowerTrees());
  dock.ShowTree(1);
  dock.Table()->CopyToClipboard();
  const QString text = QGuiApplication::clipboard()->text();
  QVERIFY(text.startsWith(QStringLiteral("Variant\tRoot feature\tLeaves\t")));
  QVERIFY(text.contains(QStringLiteral("\n2\tpetal_wid\t3\t0.02\t0.050\t-\n")));
  QVERIFY(text.contains(QStringLiteral("Confusion matrix of variant 2\n")));
  QVERIFY(!text.contains(QStringLiteral("Confusion matrix of variant 1\n")));
}

void TreeDockTest::RunWithoutTreesShowsItsMessage() {
  TreeDock dock;
  dock.ShowRun(testing::FlowerResult());
  RunResult failed;
  failed.Outcome = RunOutcome::DataError;
  failed.Message = "line 3: the number of features is missing";
  dock.ShowRun(failed);
  QVERIFY(!dock.isHidden());
  QCOMPARE(dock.View()->VertexCount(), 0);
  QVERIFY(!dock.ExportAction()->isEnabled());
  QCOMPARE(dock.Table()->Note(), QString::fromStdString(failed.Message));
}

// A time-series tree has no rules to click through to: the line above the tree says so
// while such a tree is shown, and goes back for a tree of a data table.
void TreeDockTest::LegendSaysATimeSeriesReportListsNoRules() {
  RunResult run = TwoFlowerTrees();
  run.Trees[1].TimeSeries = true;
  run.Trees[1].Nodes[0].SplitShift = 1;
  TreeDock dock;
  dock.ShowRun(run);
  const auto* legend = dock.findChild<QLabel*>(QStringLiteral("TreeLegend"));
  const QString table = QStringLiteral("Dashed: heterogeneous group. Click a leaf for its rule.");
  QCOMPARE(legend->text(), table);
  dock.ShowTree(1);
  QCOMPARE(legend->text(),
           QStringLiteral("Dashed: heterogeneous group. The report of a time series lists no rules."));
  dock.ShowTree(0);
  QCOMPARE(legend->text(), table);
}

}  // namespace tarmel

QTEST_MAIN(tarmel::TreeDockTest)
#include "tree_dock_tests.moc"
