// The window's preview and selection, driven through the real dialog: where
// the view draws the tiles of both grids, that it reads only what it shows,
// a rectangle drawn on it as the area the degree fields give, the selection
// kept across a restart, fields that refuse bad values, the speed and time
// left of a job, and the accessible names of every control.
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QBuffer>
#include <QComboBox>
#include <QProcess>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>
#include <cstdio>

#include "app/dialog_builder.h"
#include "app/job_rate_text.h"
#include "app/job_result_text.h"
#include "app/map_view.h"
#include "app/preview_pane.h"
#include "app/selection_panel.h"
#include "convert/conversion_job.h"
#include "convert/preview_coverage.h"
#include "convert/preview_grid.h"
#include "convert/preview_tree_sources.h"
#include "dialog_fixture.h"
#include "tests/support/mbtiles_fixture.h"

namespace app_test {
namespace {

using convert::PreviewTile;
using store::TileGrid;

QByteArray Png(const QColor& colour, int size = 256) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// A colour of its own for each tile of a 3 x 3 block (i, j in -1 .. 1) at a zoom.
QColor BlockColour(int zoom, int i, int j) { return QColor::fromHsv((zoom * 40 + (i + 1) * 3 + (j + 1)) * 7 % 360, 220, 230); }

QString Hex(long long value) { return QString::number(value, 16); }

QString GeoKukPath(const QString& source, int zoom, long long x, long long y) {
  return QString::fromStdString(convert::GeoKukLeafFolder(x, y)) + "/" + source + "_" + QString::number(zoom) + "_" +
         Hex(x) + "_" + Hex(y) + ".kachle";
}

class PreviewTest : public DialogTest {
 protected:
  app::PreviewPane& Pane() { return dlg().Preview(); }
  app::MapView& View() { return *Pane().View(); }
  app::SelectionPanel& Selection() { return dlg().SelectionBox(); }
  QLineEdit* Field(int id) { return Item<QLineEdit>(id); }

  // The centre tile of each block: (column, row) or a GeoKuk corner.
  struct Block {
    int zoom;
    long long x, y;
  };
  // A tree of one grid: a 3 x 3 block of tiles at each of the blocks'
  // zooms, coloured by BlockColour.
  QString MakeBlockTree(const QString& name, TileGrid grid, const std::vector<Block>& blocks) {
    const QString root = Path(name);
    for (const Block& block : blocks) {
      const long long step = grid == TileGrid::WebMercator ? 1 : static_cast<long long>(store::GeoKukSideUnits(block.zoom));
      for (int i = -1; i <= 1; ++i) {
        for (int j = -1; j <= 1; ++j) {
          const long long x = block.x + i * step;
          const long long y = block.y + j * step;
          const QString file = grid == TileGrid::WebMercator
                                   ? QString("%1/%2/%3.png").arg(block.zoom).arg(x).arg(y)
                                   : GeoKukPath("turist", block.zoom, x, y);
          EXPECT_TRUE(WriteFile(root + "/" + file, Png(BlockColour(block.zoom, i, j))));
        }
      }
    }
    return root;
  }

  // Opens the window on `source` (and an empty map) and waits until its
  // tiles are counted and the view has what it asked for.
  void OpenOn(const QString& source) {
    settings_.WriteString(u"Options", u"Folder", source.toStdU16String());
    settings_.WriteString(u"Options", u"File", MakeMapFile("mapa.cvmap").toStdU16String());
    OpenDialog();
    dlg().resize(1500, 800);
    ASSERT_TRUE(WaitUntil([this] { return Pane().SourceIndex().counted && View().Settled(); }));
  }
  void ShowAt(convert::ViewPoint centre, double scale) {
    View().SetView(centre, scale);
    ASSERT_TRUE(WaitUntil([this] { return View().Settled(); }));
  }
  double NativeScale(TileGrid grid, int zoom) {
    return convert::kPreviewTilePixels / convert::TileSidePlane(grid, zoom);
  }
};

// PVW-1: the view draws every tile at its place, for both grids at three
// zoom levels: the tile's colour at its square's centre, its northern
// neighbour above it, its eastern neighbour to its right.
TEST_F(PreviewTest, TilesDrawnAtTheirPlace) {
  struct Row {
    const char* id;
    TileGrid grid;
    std::vector<Block> blocks;
  };
  const std::vector<Row> rows = {
      {"web-mercator", TileGrid::WebMercator, {{10, 552, 345}, {13, 4416, 2760}, {16, 35330, 22200}}},
      {"geokuk", TileGrid::GeoKuk, {{12, 0x7900000, 0x8200000}, {14, 0x79d4000, 0x8250000}, {16, 0x79d8000, 0x8251000}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    OpenOn(MakeBlockTree(row.id, row.grid, row.blocks));
    ASSERT_TRUE(View().Layer());
    ASSERT_EQ(View().Layer()->grid, row.grid);
    for (const Block& block : row.blocks) {
      SCOPED_TRACE(block.zoom);
      const long long step = row.grid == TileGrid::WebMercator ? 1 : static_cast<long long>(store::GeoKukSideUnits(block.zoom));
      const long long north = row.grid == TileGrid::WebMercator ? block.y - 1 : block.y + step;
      const auto centreOf = [&](long long x, long long y) {
        const convert::PlaneRect r = convert::TilePlaneRect(row.grid, block.zoom, x, y);
        return convert::ViewPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      };
      ShowAt(centreOf(block.x, block.y), NativeScale(row.grid, block.zoom) * 0.75);
      EXPECT_EQ(View().DrawnZoom(), block.zoom);
      const QImage shot = View().grab().toImage();
      const QPointF middle = View().ToPixel(centreOf(block.x, block.y));
      const QPointF above = View().ToPixel(centreOf(block.x, north));
      const QPointF right = View().ToPixel(centreOf(block.x + step, block.y));
      EXPECT_LT(above.y(), middle.y() - 100) << "north is up";
      EXPECT_GT(right.x(), middle.x() + 100);
      EXPECT_EQ(shot.pixel(middle.toPoint()), BlockColour(block.zoom, 0, 0).rgb());
      EXPECT_EQ(shot.pixel(above.toPoint()), BlockColour(block.zoom, 0, row.grid == TileGrid::WebMercator ? -1 : 1).rgb());
      EXPECT_EQ(shot.pixel(right.toPoint()), BlockColour(block.zoom, 1, 0).rgb());
    }
    dialog_.reset();
  }
}

// PVW-2: on a tree of 10,000 tiles the view reads exactly the tiles it
// shows: none while the whole extent is too small for images, every shown
// tile once at its own scale, and after a pan only the column that came
// into view.
TEST_F(PreviewTest, ReadsOnlyTheTilesShown) {
  const QString root = Path("osm");
  const QByteArray tile = Png(Qt::darkGreen, 8);
  for (int x = 8800; x < 8900; ++x) {
    for (int y = 5500; y < 5600; ++y) ASSERT_TRUE(WriteFile(QString("%1/14/%2/%3.png").arg(root).arg(x).arg(y), tile));
  }
  OpenOn(root);
  EXPECT_EQ(Pane().Loader()->TileReads(), 0) << "the whole extent shows the coverage, no images";

  const auto shownTiles = [this] {
    std::set<PreviewTile> shown;
    store::TileRange range;
    EXPECT_TRUE(convert::VisibleTiles(TileGrid::WebMercator, 14, View().VisiblePlaneRect(), &range));
    for (long long x = std::max(range.x0, 8800LL); x <= std::min(range.x1, 8899LL); ++x) {
      for (long long y = std::max(range.y0, 5500LL); y <= std::min(range.y1, 5599LL); ++y) {
        shown.insert({convert::PreviewLayer{}, 14, x, y});
      }
    }
    return shown;
  };
  const double side = convert::TileSidePlane(TileGrid::WebMercator, 14);
  ShowAt({8850.5 * side, 5550.5 * side}, NativeScale(TileGrid::WebMercator, 14));
  const std::set<PreviewTile> first = shownTiles();
  ASSERT_GE(first.size(), 4u);
  EXPECT_EQ(Pane().Loader()->TileReads(), static_cast<long long>(first.size()));
  for (const PreviewTile& t : first) EXPECT_TRUE(View().HoldsImage(t)) << t.x << "," << t.y;

  ShowAt({8851.5 * side, 5550.5 * side}, NativeScale(TileGrid::WebMercator, 14));
  std::set<PreviewTile> both = shownTiles();
  const std::size_t entered = both.size() - std::count_if(both.begin(), both.end(), [&](const PreviewTile& t) {
                                return first.count(t) != 0;
                              });
  EXPECT_GE(entered, 1u);
  EXPECT_EQ(Pane().Loader()->TileReads(), static_cast<long long>(first.size() + entered));
}

// Drags with Shift (or with the select tool on) across the view.
void DragArea(QWidget* view, QPoint from, QPoint to, bool shift) {
  const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
  QTest::mousePress(view, Qt::LeftButton, modifiers, from);
  QTest::mouseMove(view, (from + to) / 2);
  QTest::mouseMove(view, to);
  QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
}

// PVW-3: a rectangle drawn on the view becomes the area that the four
// degree fields show, on both grids and by both ways of drawing; typing the
// same degrees into a fresh window gives the same selection, which takes
// every tile the rectangle touched and none far outside it.
TEST_F(PreviewTest, DrawnRectangleIsTheTypedArea) {
  struct Row {
    const char* id;
    TileGrid grid;
    Block block;
    bool shift;  // drawn with Shift, else with the select tool
  };
  const std::vector<Row> rows = {
      {"web-mercator-shift", TileGrid::WebMercator, {13, 4416, 2760}, true},
      {"geokuk-tool", TileGrid::GeoKuk, {14, 0x79d4000, 0x8250000}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    const QString tree = MakeBlockTree(row.id, row.grid, {row.block});
    OpenOn(tree);
    const convert::PlaneRect tileRect = convert::TilePlaneRect(row.grid, row.block.zoom, row.block.x, row.block.y);
    ShowAt({(tileRect.left + tileRect.right) / 2, (tileRect.top + tileRect.bottom) / 2},
           NativeScale(row.grid, row.block.zoom) * 0.75);
    if (!row.shift) Item<QToolButton>(res::IDC_PREVIEW_SELECT)->click();
    const QPoint from(View().width() * 3 / 10, View().height() * 3 / 10);
    const QPoint to(View().width() * 7 / 10, View().height() * 6 / 10);
    const convert::PlaneRect dragged = View().DraggedRect(from, to);
    DragArea(&View(), from, to, row.shift);

    const store::GeoArea expected = convert::PlaneRectArea(row.grid, dragged);
    const double shown[4] = {Field(res::IDC_AREA_SOUTH)->text().toDouble(), Field(res::IDC_AREA_WEST)->text().toDouble(),
                             Field(res::IDC_AREA_NORTH)->text().toDouble(), Field(res::IDC_AREA_EAST)->text().toDouble()};
    EXPECT_NEAR(shown[0], expected.south, 1e-6);
    EXPECT_NEAR(shown[1], expected.west, 1e-6);
    EXPECT_NEAR(shown[2], expected.north, 1e-6);
    EXPECT_NEAR(shown[3], expected.east, 1e-6);
    ASSERT_TRUE(Selection().IsValid());
    const convert::TileSelection drawn = Selection().Selection();
    ASSERT_TRUE(drawn.area);
    QStringList typed;
    for (int id : {res::IDC_AREA_SOUTH, res::IDC_AREA_WEST, res::IDC_AREA_NORTH, res::IDC_AREA_EAST}) {
      typed << Field(id)->text();
    }
    dialog_.reset();

    // A fresh window, the same degrees typed by hand.
    for (const char16_t* entry : {u"AreaSouth", u"AreaWest", u"AreaNorth", u"AreaEast"}) settings_.WriteString(u"Options", entry, u"");
    OpenOn(tree);
    const int ids[4] = {res::IDC_AREA_SOUTH, res::IDC_AREA_WEST, res::IDC_AREA_NORTH, res::IDC_AREA_EAST};
    for (int i = 0; i < 4; ++i) QTest::keyClicks(Field(ids[i]), typed[i]);
    ASSERT_TRUE(Selection().IsValid());
    const convert::TileSelection selection = Selection().Selection();
    ASSERT_TRUE(selection.area);
    EXPECT_EQ(selection.area->south, drawn.area->south);
    EXPECT_EQ(selection.area->west, drawn.area->west);
    EXPECT_EQ(selection.area->north, drawn.area->north);
    EXPECT_EQ(selection.area->east, drawn.area->east);

    // Every tile the rectangle touched is taken; one three tiles east is not.
    const convert::SelectionFilter filter(selection);
    const std::u16string turist = u"turist";
    const std::u16string* source = row.grid == TileGrid::GeoKuk ? &turist : nullptr;
    store::TileRange touched;
    ASSERT_TRUE(convert::VisibleTiles(row.grid, row.block.zoom, dragged, &touched));
    const long long step = row.grid == TileGrid::WebMercator ? 1 : static_cast<long long>(store::GeoKukSideUnits(row.block.zoom));
    for (long long x = touched.x0; x <= touched.x1; x += step) {
      for (long long y = touched.y0; y <= touched.y1; y += step) {
        EXPECT_TRUE(filter.Selects(row.grid, row.block.zoom, x, y, source)) << x << "," << y;
      }
    }
    EXPECT_FALSE(filter.Selects(row.grid, row.block.zoom, touched.x1 + 3 * step, touched.y0, source));
    dialog_.reset();
  }
}

// PVW-4: the selection survives a restart: the four fields as typed, the
// zoom levels, and a GeoKuk map source left out.
TEST_F(PreviewTest, SelectionSurvivesRestart) {
  const QString root = Path("geokuk");
  for (int zoom = 12; zoom <= 16; ++zoom) {
    const long long side = static_cast<long long>(store::GeoKukSideUnits(zoom));
    for (const char* source : {"turist", "letecka"}) {
      ASSERT_TRUE(WriteFile(root + "/" + GeoKukPath(source, zoom, 0x79d0000 / side * side, 0x8250000 / side * side), Png(Qt::gray, 8)));
    }
  }
  OpenOn(root);
  auto* from = Item<QSpinBox>(res::IDC_ZOOM_FROM);
  auto* to = Item<QSpinBox>(res::IDC_ZOOM_TO);
  EXPECT_EQ(from->minimum(), 12);
  EXPECT_EQ(to->maximum(), 16);
  Field(res::IDC_AREA_SOUTH)->setText("49,1");  // a decimal comma is taken too
  Field(res::IDC_AREA_WEST)->setText("16.5");
  Field(res::IDC_AREA_NORTH)->setText("49.3");
  Field(res::IDC_AREA_EAST)->setText("16.8");
  from->setValue(13);
  to->setValue(15);
  QCheckBox* letecka = dlg().findChild<QCheckBox*>("source:letecka");
  ASSERT_NE(letecka, nullptr);
  letecka->click();
  ASSERT_TRUE(Selection().IsValid());
  const convert::TileSelection before = Selection().Selection();
  ASSERT_TRUE(before.zooms && before.sources && before.area);
  EXPECT_EQ(before.zooms->count(), 3u);
  EXPECT_EQ(*before.sources, std::vector<std::u16string>{u"turist"});
  EXPECT_EQ(before.area->south, 49.1);
  dlg().reject();

  OpenDialog();
  ASSERT_TRUE(WaitUntil([this] { return Pane().SourceIndex().counted; }));
  EXPECT_EQ(Field(res::IDC_AREA_SOUTH)->text(), "49,1");
  EXPECT_EQ(Item<QSpinBox>(res::IDC_ZOOM_FROM)->value(), 13);
  EXPECT_EQ(Item<QSpinBox>(res::IDC_ZOOM_TO)->value(), 15);
  ASSERT_NE(dlg().findChild<QCheckBox*>("source:letecka"), nullptr);
  EXPECT_FALSE(dlg().findChild<QCheckBox*>("source:letecka")->isChecked());
  EXPECT_TRUE(dlg().findChild<QCheckBox*>("source:turist")->isChecked());
  const convert::TileSelection after = Selection().Selection();
  ASSERT_TRUE(after.zooms && after.sources && after.area);
  EXPECT_EQ(*after.zooms, *before.zooms);
  EXPECT_EQ(*after.sources, *before.sources);
  EXPECT_EQ(after.area->south, before.area->south);
  EXPECT_EQ(after.area->east, before.area->east);
}

// PVW-4b: a saved zoom bound is kept whatever the source is first found to
// hold: an estimate that has not met the bound's level, then the count.
TEST(SelectionPanel, SavedZoomBoundsOutliveEstimates) {
  struct Row {
    const char16_t* from;
    const char16_t* to;
    std::vector<std::vector<int>> learnt;  // the levels the source is found to hold, in turn
    int shownFrom, shownTo;                // what the boxes show at the end
    int first, last;                       // the levels selected at the end (-1: no zoom list)
  };
  const Row rows[] = {
      {u"13", u"", {{14}, {12, 13, 14}}, 13, 14, 13, 99},
      {u"", u"13", {{14, 15}, {12, 13, 14, 15}}, 12, 13, 0, 13},
      {u"18", u"", {{12, 14}}, 18, 18, 18, 99},  // beyond the levels present: kept and shown
      {u"", u"", {{12}, {12, 16}}, 12, 16, -1, -1},
  };
  for (const Row& row : rows) {
    platform::MemorySettingsStore settings;
    settings.WriteString(u"Options", u"ZoomFrom", row.from);
    settings.WriteString(u"Options", u"ZoomTo", row.to);
    app::SelectionPanel panel;
    panel.Load(settings);
    for (const std::vector<int>& levels : row.learnt) panel.SetSourceContents(levels, {}, false);
    SCOPED_TRACE(QString::fromStdU16String(row.from).toStdString() + ".." + QString::fromStdU16String(row.to).toStdString());
    EXPECT_EQ(panel.findChild<QSpinBox*>("IDC_ZOOM_FROM")->value(), row.shownFrom);
    EXPECT_EQ(panel.findChild<QSpinBox*>("IDC_ZOOM_TO")->value(), row.shownTo);
    const convert::TileSelection selection = panel.Selection();
    if (row.first < 0) {
      EXPECT_FALSE(selection.zooms);
      continue;
    }
    ASSERT_TRUE(selection.zooms);
    for (int level = 0; level <= convert::kMaxSelectableZoom; ++level) {
      EXPECT_EQ(selection.zooms->test(static_cast<std::size_t>(level)), level >= row.first && level <= row.last) << level;
    }
  }
}

// PVW-5: a selection field with a bad value turns red, says why in its
// tooltip, and keeps "Převést" disabled until it is mended.
TEST_F(PreviewTest, BadSelectionValuesDisableConvert) {
  OpenOn(MakeOsmTree("osm"));
  ASSERT_TRUE(ConvertButton()->isEnabled());
  struct Row {
    const char* id;
    std::vector<QString> area;  // south, west, north, east
    int redField;               // a field that must be red
    const char* reason;         // a piece of its tooltip
  };
  const std::vector<Row> rows = {
      {"not-a-number", {"abc", "16", "50", "17"}, res::IDC_AREA_SOUTH, "není číslo"},
      {"latitude-range", {"49", "16", "95", "17"}, res::IDC_AREA_NORTH, "mezi −90 a 90"},
      {"longitude-range", {"49", "16", "50", "200"}, res::IDC_AREA_EAST, "mezi −180 a 180"},
      {"south-above-north", {"51", "16", "50", "17"}, res::IDC_AREA_SOUTH, "severněji"},
      {"west-east-of-east", {"49", "18", "50", "17"}, res::IDC_AREA_WEST, "východněji"},
      {"one-missing", {"49", "", "50", "17"}, res::IDC_AREA_WEST, "všechny čtyři"},
      {"beyond-web-mercator", {"80", "16", "88", "17"}, res::IDC_AREA_NORTH, "85,05"},
  };
  const int ids[4] = {res::IDC_AREA_SOUTH, res::IDC_AREA_WEST, res::IDC_AREA_NORTH, res::IDC_AREA_EAST};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    for (int i = 0; i < 4; ++i) Field(ids[i])->setText(row.area[static_cast<std::size_t>(i)]);
    EXPECT_FALSE(ConvertButton()->isEnabled());
    QWidget* red = dlg().GetDlgItem(row.redField);
    EXPECT_TRUE(red->property("invalid").toBool());
    EXPECT_TRUE(red->toolTip().contains(QString::fromUtf8(row.reason))) << red->toolTip().toStdString();
    EXPECT_EQ(red->toolTip(), red->accessibleDescription());
    QTest::mouseClick(Button(res::IDC_AREA_CLEAR), Qt::LeftButton);
    EXPECT_TRUE(ConvertButton()->isEnabled());
    EXPECT_FALSE(red->property("invalid").toBool());
  }
  // Zoom levels: "od" above "do".
  auto* from = Item<QSpinBox>(res::IDC_ZOOM_FROM);
  auto* to = Item<QSpinBox>(res::IDC_ZOOM_TO);
  from->setRange(0, 99);  // the tree has one level; widen to set a wrong order
  to->setRange(0, 99);
  from->setValue(17);
  to->setValue(15);
  EXPECT_FALSE(ConvertButton()->isEnabled());
  EXPECT_TRUE(from->property("invalid").toBool());
  to->setValue(17);
  EXPECT_TRUE(ConvertButton()->isEnabled());
}

// PVW-6: on the counter's line a running job tells nothing in its first
// three seconds, then its speed and the time it still needs, from the rate
// of its last seconds; afterwards how long it took. The result tooltip keeps
// the job's own figures.
TEST_F(PreviewTest, SpeedAndTimeLeft) {
  convert::RateMeter::Clock::time_point now{};
  CCorvaneMapCreatorDlg::Services services{&settings_, &presenter_, &choosers_};
  services.clock = [&now] { return now; };
  settings_.WriteString(u"Options", u"Folder", MakeGeoKukTree("geokuk").toStdU16String());
  settings_.WriteString(u"Options", u"File", MakeMapFile("mapa.cvmap").toStdU16String());
  dialog_ = std::make_unique<CCorvaneMapCreatorDlg>(services);
  dlg().OnInitDialog();
  dlg().show();
  // The job's first statement fails on the window's open transaction: its
  // worker waits for its message box, and the window shows what it is told.
  ASSERT_EQ(sqlite3_exec(dlg().MapDatabase().handle, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitWithoutEvents([this] { return dlg().MessageBoxes().HasPendingRequest(); }));
  QLabel* rate = Item<QLabel>(res::IDC_JOB_RATE);
  using std::chrono::seconds;
  using std::chrono::milliseconds;
  now += seconds(1);
  dlg().OnWorkerNotify(1, 2000);
  EXPECT_EQ(rate->text(), "");
  now += milliseconds(500);
  dlg().OnWorkerNotify(2, 100);  // the converting pass begins, at 1.5 s
  now += seconds(1);
  dlg().OnWorkerNotify(2, 200);
  EXPECT_EQ(rate->text(), "") << "not before the job has run 3 s";
  now += seconds(2);
  dlg().OnWorkerNotify(2, 500);
  EXPECT_EQ(Counter(), "1500 z 2000");
  EXPECT_EQ(rate->text(), QString::fromUtf8("167 kachlí/s, zbývá 9 s"));  // 500 in 3 s; 1500 left
  now += seconds(7);
  dlg().OnWorkerNotify(2, 560);
  // The last ten seconds: 460 since the count of 100 at 1.5 s; 1440 left.
  EXPECT_EQ(rate->text(), QString::fromUtf8("46 kachlí/s, zbývá 32 s"));
  EXPECT_FALSE(rate->accessibleName().isEmpty());
  QTest::mouseClick(Button(res::IDCANCEL), Qt::LeftButton);  // serves the worker's box, then closes
  EXPECT_FALSE(dlg().IsJobRunning());

  struct Row {
    double seconds;
    const char* text;
  };
  const Row durations[] = {{0.2, "1 s"}, {59.0, "59 s"}, {130, "2 min 10 s"}, {3599.5, "1 h 00 min"}, {3725, "1 h 03 min"}};
  for (const Row& row : durations) EXPECT_EQ(app::DescribeDuration(row.seconds), QString::fromUtf8(row.text)) << row.seconds;
}

// PVW-7: every control of the window has an accessible name and an
// accessible description; the two path boxes are named by their labels.
TEST_F(PreviewTest, EveryControlIsNamedAndDescribed) {
  OpenOn(MakeGeoKukTree("geokuk"));
  EXPECT_EQ(SourceBox()->accessibleName(), QString::fromUtf8("Složka se zdrojovými kachlemi"));
  EXPECT_EQ(TargetBox()->accessibleName(), QString::fromUtf8("Cílový soubor s mapou"));
  int checked = 0;
  for (QWidget* widget : dlg().findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&dlg())) continue;
    // The inner parts of compound controls (a spin box's edit, a list's
    // viewport and header, a combo box's popup) are named by their control.
    bool inner = false;
    for (QWidget* up = widget->parentWidget(); up != nullptr && up != &dlg(); up = up->parentWidget()) {
      if (qobject_cast<QAbstractSpinBox*>(up) || qobject_cast<QComboBox*>(up) || qobject_cast<QAbstractScrollArea*>(up)) inner = true;
    }
    const bool control = widget->focusPolicy() != Qt::NoFocus || !widget->property(app::kControlIdProperty).isNull() ||
                         widget->inherits("app::CoverageView") || qobject_cast<QProgressBar*>(widget);
    if (inner || !control || qobject_cast<QScrollBar*>(widget)) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << widget->metaObject()->className() << " "
                                                                 << widget->objectName().toStdString();
    EXPECT_FALSE(widget->accessibleDescription().isEmpty()) << widget->metaObject()->className() << " "
                                                            << widget->objectName().toStdString();
    ++checked;
  }
  EXPECT_GE(checked, 30);
}

// PVW-8: the preview of the map file: empty before a conversion, not read
// while the conversion runs, and read anew with its new tiles afterwards.
TEST_F(PreviewTest, MapFilePreviewFollowsTheJob) {
  OpenOn(MakeOsmTree("osm"));
  auto* show = Item<QComboBox>(res::IDC_PREVIEW_SHOW);
  show->setFocus();
  QTest::keyClick(show, Qt::Key_Down);  // "Soubor s mapou"
  ASSERT_EQ(show->currentIndex(), 1);
  ASSERT_TRUE(WaitUntil([this] { return !Pane().ShowsSource() && Item<QLabel>(res::IDC_PREVIEW_STATUS)->text().isEmpty(); }));
  EXPECT_FALSE(View().Layer()) << "the new map is empty";

  QTest::mouseClick(ConvertButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitForIdle());
  ASSERT_TRUE(WaitUntil([this] { return View().Layer().has_value() && View().Settled(); }));
  auto* levels = Item<QTreeWidget>(res::IDC_PREVIEW_LEVELS);
  ASSERT_TRUE(WaitUntil([levels] { return levels->topLevelItemCount() == 1 && !levels->topLevelItem(0)->text(1).startsWith(u'≈'); }));
  EXPECT_EQ(levels->topLevelItem(0)->text(0), "16");
  EXPECT_EQ(levels->topLevelItem(0)->text(1), "3");
}

// PVW-9: "Převést" converts the selection: the rows the window stores are
// the rows `cvmap convert` stores with the same selection, for both layouts;
// the result tooltip counts the tiles left out.
TEST_F(PreviewTest, WindowConvertsTheSelectionAsCvmapDoes) {
  // GeoKuk: two sources, zoom 12-15, a block of tiles on each level.
  const QString geokuk = Path("geokuk");
  for (int zoom = 12; zoom <= 15; ++zoom) {
    const long long side = static_cast<long long>(store::GeoKukSideUnits(zoom));
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        const long long x = 0x79c0000 / side * side + i * side;
        const long long y = 0x8240000 / side * side + j * side;
        for (const char* source : {"turist", "letecka"}) {
          ASSERT_TRUE(WriteFile(geokuk + "/" + GeoKukPath(source, zoom, x, y), QByteArray(source) + Hex(x).toUtf8()));
        }
      }
    }
  }
  // OSM Tracker Storage: zoom 14-16 around the same place.
  const QString osm = Path("osm");
  for (int zoom = 14; zoom <= 16; ++zoom) {
    const int x0 = 8840 << (zoom - 14), y0 = 5560 << (zoom - 14);
    for (int i = 0; i < 6; ++i) {
      for (int j = 0; j < 6; ++j) ASSERT_TRUE(WriteFile(QString("%1/%2/%3/%4.png").arg(osm).arg(zoom).arg(x0 + i).arg(y0 + j), "png"));
    }
  }
  struct Row {
    const char* id;
    QString source;
    QStringList area;  // south, west, north, east
    int from, to;      // zoom levels
    const char* sourceOff;  // a GeoKuk source left out, or null
    QStringList cvmapOptions;
  };
  // Areas over the middle of the most detailed level's block, in degrees to
  // five decimals, as a user would type them.
  const auto areaText = [](TileGrid grid, const convert::PlaneRect& rect) {
    const store::GeoArea a = convert::PlaneRectArea(grid, rect);
    return QStringList{QString::number(a.south, 'f', 5), QString::number(a.west, 'f', 5),
                       QString::number(a.north, 'f', 5), QString::number(a.east, 'f', 5)};
  };
  const double s15 = store::GeoKukSideUnits(15);
  const double gx = std::floor(0x79c0000 / s15) * s15, gy = std::floor(0x8240000 / s15) * s15;
  const QStringList geokukArea =
      areaText(TileGrid::GeoKuk, {gx + 1.3 * s15, -(gy + 2.7 * s15), gx + 2.6 * s15, -(gy + 1.2 * s15)});
  const double s16 = convert::TileSidePlane(TileGrid::WebMercator, 16);
  const QStringList osmArea =
      areaText(TileGrid::WebMercator, {(35360 + 1.3) * s16, (22240 + 1.2) * s16, (35360 + 3.6) * s16, (22240 + 2.7) * s16});
  const std::vector<Row> rows = {
      {"geokuk", geokuk, geokukArea, 13, 14, "letecka",
       {"--zoom", "13-14", "--source", "turist", "--area", geokukArea.join(',')}},
      {"osm", osm, osmArea, 15, 16, nullptr, {"--zoom", "15-16", "--area", osmArea.join(',')}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    const QString windowMap = MakeMapFile(QString("window-%1.cvmap").arg(row.id));
    const QString cvmapMap = Path(QString("cvmap-%1.cvmap").arg(row.id));
    settings_.WriteString(u"Options", u"Folder", row.source.toStdU16String());
    settings_.WriteString(u"Options", u"File", windowMap.toStdU16String());
    OpenDialog();
    ASSERT_TRUE(WaitUntil([this] { return Pane().SourceIndex().counted; }));
    const int ids[4] = {res::IDC_AREA_SOUTH, res::IDC_AREA_WEST, res::IDC_AREA_NORTH, res::IDC_AREA_EAST};
    for (int i = 0; i < 4; ++i) Field(ids[i])->setText(row.area[i]);
    Item<QSpinBox>(res::IDC_ZOOM_FROM)->setValue(row.from);
    Item<QSpinBox>(res::IDC_ZOOM_TO)->setValue(row.to);
    if (row.sourceOff != nullptr) dlg().findChild<QCheckBox*>(QString("source:") + row.sourceOff)->click();
    ASSERT_TRUE(ConvertButton()->isEnabled());
    QTest::mouseClick(ConvertButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitForIdle());
    const QString tip = Progress()->accessibleDescription();
    dialog_.reset();

    QProcess cvmap;
    cvmap.start(CVMAP_PATH, QStringList{"convert", row.source, cvmapMap, "--quiet"} + row.cvmapOptions);
    ASSERT_TRUE(cvmap.waitForFinished(60000));
    ASSERT_EQ(cvmap.exitCode(), 0) << cvmap.readAllStandardError().toStdString();
    const std::vector<StoredTile> stored = StoredTiles(windowMap);
    EXPECT_EQ(stored, StoredTiles(cvmapMap));
    EXPECT_GE(stored.size(), 4u);
    const long long all = row.source == geokuk ? 4 * 16 * 2 : 3 * 36;
    EXPECT_LT(static_cast<long long>(stored.size()), all);
    EXPECT_TRUE(tip.contains(QString::fromUtf8("Mimo výběr (nečteny): %1").arg(all - static_cast<long long>(stored.size()))))
        << tip.toStdString();
  }
}

// PVW-10: moving around: the wheel and + / - step to the next zoom level
// present (skipping absent ones, halving or doubling beyond the last),
// keeping the point under the mouse; arrows pan by a quarter of the view; a
// double click centres.
TEST_F(PreviewTest, WheelKeysAndDoubleClick) {
  OpenOn(MakeBlockTree("geokuk", TileGrid::GeoKuk, {{12, 0x7900000, 0x8200000}, {14, 0x7900000, 0x8200000}, {16, 0x7900000, 0x8200000}}));
  const auto native = [this](int zoom) { return NativeScale(TileGrid::GeoKuk, zoom); };
  View().ShowLevel(12);
  const QPoint mouse(View().width() / 3, View().height() / 4);
  const convert::ViewPoint underMouse = View().ToPlane(mouse);
  struct Step {
    std::function<void()> act;
    double scale;  // the scale afterwards
  };
  const auto wheel = [this, mouse](int delta) {
    QWheelEvent event(mouse, View().mapToGlobal(mouse), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&View(), &event);
  };
  const std::vector<Step> steps = {
      {[&] { wheel(120); }, native(14)},  {[&] { wheel(120); }, native(16)}, {[&] { wheel(120); }, 2 * native(16)},
      {[&] { wheel(-120); }, native(16)}, {[&] { wheel(-120); }, native(14)},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    steps[i].act();
    EXPECT_DOUBLE_EQ(View().Scale(), steps[i].scale) << i;
    const convert::ViewPoint still = View().ToPlane(mouse);
    EXPECT_NEAR(still.x, underMouse.x, 1 / View().Scale()) << "the point under the mouse stays, step " << i;
    EXPECT_NEAR(still.y, underMouse.y, 1 / View().Scale());
  }
  QTest::keyClick(&View(), Qt::Key_Plus);
  EXPECT_DOUBLE_EQ(View().Scale(), native(16));
  QTest::keyClick(&View(), Qt::Key_Minus);
  QTest::keyClick(&View(), Qt::Key_Minus);
  EXPECT_DOUBLE_EQ(View().Scale(), native(12));
  EXPECT_EQ(View().DrawnZoom(), 12);

  const convert::ViewPoint before = View().Centre();
  QTest::keyClick(&View(), Qt::Key_Right);
  EXPECT_NEAR(View().Centre().x - before.x, View().width() / 4.0 / View().Scale(), 1e-6);
  QTest::keyClick(&View(), Qt::Key_Up);
  EXPECT_NEAR(before.y - View().Centre().y, View().height() / 4.0 / View().Scale(), 1e-6) << "up is north";
  const QPoint clicked(View().width() / 5, View().height() * 4 / 5);
  const convert::ViewPoint target = View().ToPlane(clicked);
  QTest::mouseDClick(&View(), Qt::LeftButton, Qt::NoModifier, clicked);
  EXPECT_NEAR(View().Centre().x, target.x, 1e-6);
  EXPECT_NEAR(View().Centre().y, target.y, 1e-6);
}

// PVW-11: the loader while a conversion runs: a map file is not even
// opened for its index until the pause ends; a tree's count waits too, and
// runs once the pause is over.
TEST_F(PreviewTest, LoaderPausesForAConversion) {
  const QString map = MakeMapFile("mapa.cvmap");
  {
    SQLite::Database db;
    ASSERT_EQ(db.openNative(QFile::encodeName(map).toStdString()), SQLITE_OK);
    ASSERT_EQ(db.exec(u"INSERT INTO tiles VALUES(353, 220, 1, 0, x'00')"), SQLITE_OK);
  }
  const QString tree = MakeOsmTree("osm");
  struct Row {
    const char* id;
    app::PreviewTarget target;
    bool indexWhilePaused;  // the index comes during the pause (a tree) or not (a map file)
  };
  const std::vector<Row> rows = {
      {"map", {app::PreviewTarget::MapFile, QFile::encodeName(map).toStdString(), -1}, false},
      {"tree", {app::PreviewTarget::Tree, QFile::encodeName(tree).toStdString(), 1}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    app::PreviewLoader loader;
    int indexes = 0, counts = 0;
    QObject::connect(&loader, &app::PreviewLoader::indexReady, [&] { ++indexes; });
    QObject::connect(&loader, &app::PreviewLoader::countReady, [&](int, app::CountPtr count) {
      ++counts;
      EXPECT_EQ(count->index.layers.at(0).levels.at(0).tiles, row.target.kind == app::PreviewTarget::MapFile ? 1 : 3);
    });
    loader.SetPaused(true);
    loader.Open(row.target);
    // A pause keeps what it keeps: give the threads time to do what they may.
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(indexes, row.indexWhilePaused ? 1 : 0);
    EXPECT_EQ(counts, 0);
    loader.SetPaused(false);
    ASSERT_TRUE(WaitUntil([&] { return counts == 1; }));
    EXPECT_EQ(indexes, 1);
  }
}

// PVW-12: the coverage of a GeoKuk level is drawn north up: its first row of
// blocks is the northmost, and a hole in the south-east corner shows at the
// picture's bottom right; the grid of blocks lies where its cells do.
TEST(CoveragePicture, GeoKukNorthUp) {
  convert::CoverageBuilder builder;
  convert::PreviewLayer layer;
  layer.grid = TileGrid::GeoKuk;
  layer.sourceIsText = true;
  layer.source = u"turist";
  const long long side = 16384, x0 = 0x79c0000, y0 = 0x8240000;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      if (i >= 2 && j < 2) continue;  // the south-east quarter is a hole
      builder.Add(layer, 14, x0 + i * side, y0 + j * side);
    }
  }
  const convert::PreviewCount count = builder.Finish();
  ASSERT_EQ(count.coverage.size(), 1u);
  const convert::LevelCoverage& coverage = count.coverage[0];
  EXPECT_EQ(coverage.cells, 12);
  EXPECT_EQ(coverage.CellsInExtent(), 16);
  ASSERT_EQ(coverage.width, 4);
  ASSERT_EQ(coverage.height, 4);
  const QImage picture = app::CoverageImage(coverage);
  EXPECT_NE(picture.pixel(3, 3), picture.pixel(0, 0)) << "the south-east corner is a hole";
  EXPECT_EQ(picture.pixel(3, 3), picture.pixel(2, 2));
  EXPECT_EQ(picture.pixel(3, 0), picture.pixel(0, 0)) << "the north-east corner holds a tile";
  const convert::LevelCoverage::PlaneBlock grid = coverage.GridPlaneRect();
  const convert::PlaneRect northWest = convert::TilePlaneRect(TileGrid::GeoKuk, 14, x0, y0 + 3 * side);
  EXPECT_DOUBLE_EQ(grid.left, northWest.left);
  EXPECT_DOUBLE_EQ(grid.top, northWest.top);
  EXPECT_DOUBLE_EQ(grid.bottom, convert::TilePlaneRect(TileGrid::GeoKuk, 14, x0, y0).bottom);
  const convert::LevelCoverage::PlaneBlock block = coverage.BlockPlaneRect(3, 3);
  const convert::PlaneRect southEast = convert::TilePlaneRect(TileGrid::GeoKuk, 14, x0 + 3 * side, y0);
  EXPECT_DOUBLE_EQ(block.left, southEast.left);
  EXPECT_DOUBLE_EQ(block.bottom, southEast.bottom);
}

// PVW-13: the result of a job with a selection counts the tiles it left out,
// and says so when it left out every tile.
TEST(JobResultText, TilesLeftOutBySelection) {
  struct Row {
    long long stored, outside;
    bool nothingHint;
  };
  const Row rows[] = {{5, 0, false}, {5, 7, false}, {0, 7, true}};
  for (const Row& row : rows) {
    convert::ConversionStats stats;
    stats.pass = convert::ConvertingPass;
    stats.tilesStored = row.stored;
    stats.outsideSelection = row.outside;
    const QString text = app::DescribeJobResult(app::SummariseJob(stats, row.stored + row.outside, row.stored + row.outside, false, 0, {}));
    EXPECT_EQ(text.contains(QString::fromUtf8("Mimo výběr (nečteny): %1").arg(row.outside)), row.outside > 0) << text.toStdString();
    EXPECT_EQ(text.contains(QString::fromUtf8("Výběr nezahrnul žádnou kachli")), row.nothingHint) << text.toStdString();
  }
}

// PVW-14: an MBTiles file named in the source box is previewed: its zoom
// levels with their tile counts beside the view, its tiles on the Web
// Mercator grid with tile_row counted from the south (row 1 of zoom 1 is
// the north-west quarter).
TEST_F(PreviewTest, MbtilesSourceShowsItsLevels) {
  const QByteArray north = Png(Qt::red);
  const QByteArray south = Png(Qt::blue);
  test_support::WriteMbtiles(Path("atlas.mbtiles").toStdString(),
                             {{1, 0, 1, north.toStdString()}, {1, 1, 0, south.toStdString()}, {3, 4, 4, south.toStdString()}});
  OpenOn(Path("atlas.mbtiles"));
  ASSERT_TRUE(Pane().ShowsSource());
  auto* levels = Item<QTreeWidget>(res::IDC_PREVIEW_LEVELS);
  ASSERT_EQ(levels->topLevelItemCount(), 2);
  EXPECT_EQ(levels->topLevelItem(0)->text(0), "1");
  EXPECT_EQ(levels->topLevelItem(0)->text(1), "2");
  EXPECT_EQ(levels->topLevelItem(1)->text(0), "3");
  EXPECT_EQ(levels->topLevelItem(1)->text(1), "1");
  ASSERT_TRUE(View().Layer());
  EXPECT_EQ(View().Layer()->grid, TileGrid::WebMercator);
  const convert::PlaneRect northWest = convert::TilePlaneRect(TileGrid::WebMercator, 1, 0, 0);
  const convert::ViewPoint centre{(northWest.left + northWest.right) / 2, (northWest.top + northWest.bottom) / 2};
  ShowAt(centre, NativeScale(TileGrid::WebMercator, 1) * 0.75);
  EXPECT_EQ(View().grab().toImage().pixel(View().ToPixel(centre).toPoint()), QColor(Qt::red).rgb());
}

}  // namespace
}  // namespace app_test
