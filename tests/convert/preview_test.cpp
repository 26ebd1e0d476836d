// The preview's reading side: where tiles of both grids lie on the preview
// plane, what a drawn rectangle means in degrees, the quick index and the
// count of trees and map files, reads that touch only the tiles asked for,
// and the rate of a job.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "convert/layouts.h"
#include "convert/preview_grid.h"
#include "convert/preview_source.h"
#include "convert/preview_tree_sources.h"
#include "convert/rate_meter.h"
#include "convert/tile_selection.h"
#include "tests/support/mbtiles_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

using convert::PlaneRect;
using convert::PreviewLayer;
using convert::PreviewTile;
using store::TileGrid;
using test_support::TempTree;

std::string Hex(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", value);
  return text;
}

// A GeoKuk tile file at its folder.
std::string GeoKukFile(const std::string& source, int zoom, long long x, long long y) {
  return convert::GeoKukLeafFolder(x, y) + "/" + source + "_" + std::to_string(zoom) + "_" + Hex(x) + "_" + Hex(y) +
         ".kachle";
}

PreviewLayer GeoKukLayer(const std::u16string& source) {
  PreviewLayer layer;
  layer.grid = TileGrid::GeoKuk;
  layer.sourceIsText = true;
  layer.source = source;
  return layer;
}

// PREV-1: a tile's square on the plane, for both grids at three zoom levels:
// the corners are where its degrees put them, north is up, and the tile at
// the square's centre is the tile itself.
TEST(PreviewGrid, TilesLieWhereTheirDegreesPutThem) {
  struct Case {
    TileGrid grid;
    int zoom;
    long long x, y;
  };
  const Case cases[] = {
      {TileGrid::WebMercator, 0, 0, 0},          {TileGrid::WebMercator, 9, 280, 175},
      {TileGrid::WebMercator, 16, 35330, 22200}, {TileGrid::GeoKuk, 12, 0x7900000, 0x8200000},
      {TileGrid::GeoKuk, 14, 0x79d4000, 0x8250000}, {TileGrid::GeoKuk, 17, 0x79d8000, 0x8250800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.grid)) + " zoom " + std::to_string(c.zoom));
    const PlaneRect rect = convert::TilePlaneRect(c.grid, c.zoom, c.x, c.y);
    ASSERT_GT(rect.Width(), 0);
    EXPECT_NEAR(rect.Width(), rect.Height(), rect.Width() * 1e-12) << "tiles are squares on the plane";
    if (c.grid == TileGrid::WebMercator) {
      const store::GeoArea area = store::WebMercatorTileArea(c.zoom, c.x, c.y);
      const convert::ViewPoint nw = convert::GeoToPlane(c.grid, {area.north, area.west});
      const convert::ViewPoint se = convert::GeoToPlane(c.grid, {area.south, area.east});
      EXPECT_NEAR(nw.x, rect.left, 1e-12);
      EXPECT_NEAR(nw.y, rect.top, 1e-12);
      EXPECT_NEAR(se.x, rect.right, 1e-12);
      EXPECT_NEAR(se.y, rect.bottom, 1e-12);
      EXPECT_NEAR(rect.Width(), std::ldexp(1.0, -c.zoom), 1e-15);
    } else {
      // The square's south-west corner, through degrees, is the key's corner
      // in GeoKuk's units; its side is 2^(28 - zoom) units.
      const store::GeoPoint southWest = convert::PlaneToGeo(c.grid, {rect.left, rect.bottom});
      const store::GeoPoint northWest = convert::PlaneToGeo(c.grid, {rect.left, rect.top});
      double ux = 0, uy = 0;
      store::Utm33ToGeoKukUnits(store::GeoToUtm33(southWest), &ux, &uy);
      EXPECT_NEAR(ux, static_cast<double>(c.x), 1e-3);
      EXPECT_NEAR(uy, static_cast<double>(c.y), 1e-3);
      EXPECT_GT(northWest.latitude, southWest.latitude) << "north is up";
      EXPECT_DOUBLE_EQ(rect.Width(), std::ldexp(1.0, 28 - c.zoom));
    }
    long long x = -1, y = -1;
    convert::TileAt(c.grid, c.zoom, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, &x, &y);
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
  }
}

// PREV-2: the tiles a rectangle shows: partly covered tiles are in, a tile
// whose edge the rectangle only touches is out, nothing off the grid.
TEST(PreviewGrid, VisibleTiles) {
  struct Case {
    TileGrid grid;
    int zoom;
    PlaneRect rect;
    bool any;
    store::TileRange range;
  };
  const double s14 = 16384;  // GeoKuk zoom 14 side, units
  const Case cases[] = {
      {TileGrid::WebMercator, 2, {0.1, 0.3, 0.6, 0.5}, true, {0, 1, 2, 1}},    // right edge 0.6 lies in column 2
      {TileGrid::WebMercator, 2, {0.25, 0.25, 0.5, 0.5}, true, {1, 1, 1, 1}},  // edges on tile edges
      {TileGrid::WebMercator, 2, {-3, -3, 0.1, 5}, true, {0, 0, 0, 3}},        // clipped to the grid
      {TileGrid::WebMercator, 2, {1.0, 0, 2, 1}, false, {}},                   // east of the grid
      {TileGrid::GeoKuk, 14, {10 * s14 + 1, -(20 * s14) + 1, 10 * s14 + 2, -(20 * s14) + 2}, true,
       {static_cast<long long>(10 * s14), static_cast<long long>(19 * s14), static_cast<long long>(10 * s14),
        static_cast<long long>(19 * s14)}},  // inside the square whose corner is (10, 19) sides
      {TileGrid::GeoKuk, 14, {0, -3 * s14, 2 * s14, 0}, true,
       {0, 0, static_cast<long long>(s14), static_cast<long long>(2 * s14)}},
      {TileGrid::GeoKuk, 14, {-5 * s14, 1, -s14, 5 * s14}, false, {}},  // west of and below the origin
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    store::TileRange range;
    ASSERT_EQ(convert::VisibleTiles(c.grid, c.zoom, c.rect, &range), c.any);
    if (!c.any) continue;
    EXPECT_EQ(range.x0, c.range.x0);
    EXPECT_EQ(range.y0, c.range.y0);
    EXPECT_EQ(range.x1, c.range.x1);
    EXPECT_EQ(range.y1, c.range.y1);
  }
}

// PREV-3: a rectangle drawn on the plane becomes an area that holds it: on
// Web Mercator its own corners, on GeoKuk's grid the smallest area in
// degrees around it; the area's outline drawn back holds the rectangle, and
// the selection made of that area takes the tiles inside the rectangle.
TEST(PreviewGrid, DrawnRectangleAsArea) {
  const PlaneRect mercator{0.5488, 0.3426, 0.5512, 0.3441};
  const store::GeoArea a = convert::PlaneRectArea(TileGrid::WebMercator, mercator);
  EXPECT_NEAR(store::WebMercatorU(a.west), mercator.left, 1e-12);
  EXPECT_NEAR(store::WebMercatorU(a.east), mercator.right, 1e-12);
  EXPECT_NEAR(store::WebMercatorV(a.north), mercator.top, 1e-12);
  EXPECT_NEAR(store::WebMercatorV(a.south), mercator.bottom, 1e-12);
  const std::vector<convert::ViewPoint> outline = convert::AreaOutline(TileGrid::WebMercator, a);
  ASSERT_EQ(outline.size(), 5u);
  EXPECT_NEAR(outline[0].x, mercator.left, 1e-12);
  EXPECT_NEAR(outline[2].y, mercator.bottom, 1e-12);

  const double side = 16384;  // zoom 14
  const PlaneRect geokuk{0x79d0000 + 0.3 * side, -(0x8250000 + 2.6 * side), 0x79d0000 + 3.2 * side,
                         -(0x8250000 + 0.4 * side)};
  const store::GeoArea b = convert::PlaneRectArea(TileGrid::GeoKuk, geokuk);
  const store::AreaOverlap overlap(b);
  for (const convert::ViewPoint corner : {convert::ViewPoint{geokuk.left, geokuk.top},
                                          convert::ViewPoint{geokuk.right, geokuk.bottom}}) {
    const store::GeoPoint p = convert::PlaneToGeo(TileGrid::GeoKuk, corner);
    EXPECT_TRUE(p.latitude >= b.south - 1e-9 && p.latitude <= b.north + 1e-9);
    EXPECT_TRUE(p.longitude >= b.west - 1e-9 && p.longitude <= b.east + 1e-9);
  }
  convert::TileSelection selection;
  selection.area = b;
  const convert::SelectionFilter filter(selection);
  const std::u16string turist = u"turist";
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 3; ++row) {
      EXPECT_TRUE(filter.Selects(TileGrid::GeoKuk, 14, 0x79d0000 + column * 16384LL, 0x8250000 + row * 16384LL, &turist))
          << column << "," << row;
    }
  }
  EXPECT_FALSE(filter.Selects(TileGrid::GeoKuk, 14, 0x79d0000 + 8 * 16384LL, 0x8250000, &turist));
}

// PREV-4: an OSM Tracker Storage tree: the quick index from its zoom and a
// few column folders, the count by the conversion's rules (a row in .png and
// .jpg is one tile; other files and one-digit zooms of another form are
// not), the coverage with its hole.
TEST(PreviewSource, OsmTreeIndexAndCount) {
  TempTree tree;
  for (int x = 100; x < 104; ++x) {
    for (int y = 200; y < 203; ++y) {
      if (x == 102 && y == 201) continue;  // a hole
      tree.File("12/" + std::to_string(x) + "/" + std::to_string(y) + ".png");
    }
  }
  tree.File("12/100/200.jpg");         // the same key again
  tree.File("12/100/notes.txt");       // no tile
  tree.File("12/100/203.png.part");    // no tile
  tree.File("5/17/11.png");
  tree.File("readme/1/2.png");         // not a zoom folder
  std::unique_ptr<convert::PreviewSource> source = convert::OpenTreePreview(tree.Root(), 1);
  ASSERT_NE(source, nullptr);

  const convert::PreviewIndex quick = source->QuickIndex();
  ASSERT_EQ(quick.layers.size(), 1u);
  EXPECT_EQ(quick.layers[0].layer.grid, TileGrid::WebMercator);
  ASSERT_EQ(quick.layers[0].levels.size(), 2u);
  EXPECT_EQ(quick.layers[0].levels[0].zoom, 5);
  const convert::PreviewLevel& level12 = quick.layers[0].levels[1];
  EXPECT_EQ(level12.zoom, 12);
  EXPECT_EQ(level12.tiles, 11);
  EXPECT_EQ(level12.extent.x0, 100);
  EXPECT_EQ(level12.extent.x1, 103);
  EXPECT_EQ(level12.extent.y0, 200);
  EXPECT_EQ(level12.extent.y1, 202);
  EXPECT_TRUE(quick.counted) << "every column of so small a tree was listed";

  convert::PreviewCount count;
  ASSERT_TRUE(source->Count({}, &count));
  ASSERT_EQ(count.coverage.size(), 2u);
  const convert::LevelCoverage& coverage = count.coverage[1];
  EXPECT_EQ(coverage.zoom, 12);
  EXPECT_EQ(coverage.cells, 11);
  EXPECT_EQ(coverage.CellsInExtent(), 12);
  EXPECT_TRUE(coverage.HoldsTile(101, 201));
  EXPECT_FALSE(coverage.HoldsTile(102, 201));
  EXPECT_EQ(count.index.layers[0].levels[1].tiles, 11);
  EXPECT_EQ(count.index.layers[0].levels[0].tiles, 1);
}

// PREV-5: a GeoKuk cache: sources and levels from a few descents, the exact
// count from the walk, and a tile read from the folder its corner names only
// (a file with the key elsewhere is not the preview's).
TEST(PreviewSource, GeoKukTreeIndexCountAndReads) {
  TempTree tree;
  const long long x0 = 0x79d0000, y0 = 0x8250000;
  for (int i = 0; i < 6; ++i) {
    tree.File(GeoKukFile("turist", 14, x0 + i * 16384LL, y0), "t14-" + std::to_string(i));
    tree.File(GeoKukFile("letecka", 14, x0 + i * 16384LL, y0), "l14-" + std::to_string(i));
  }
  tree.File(GeoKukFile("turist", 12, x0, y0), "t12");
  tree.File("00/00/00/00/turist_14_" + Hex(x0 + 10 * 16384LL) + "_" + Hex(y0) + ".kachle", "misplaced");
  std::unique_ptr<convert::PreviewSource> source = convert::OpenTreePreview(tree.Root(), 0);
  ASSERT_NE(source, nullptr);

  const convert::PreviewIndex quick = source->QuickIndex();
  std::set<std::u16string> sources;
  for (const convert::PreviewLayerIndex& layer : quick.layers) sources.insert(layer.layer.source);
  EXPECT_EQ(sources, (std::set<std::u16string>{u"letecka", u"turist"}));
  EXPECT_FALSE(quick.counted);

  convert::PreviewCount count;
  ASSERT_TRUE(source->Count({}, &count));
  ASSERT_EQ(count.index.layers.size(), 2u);
  EXPECT_EQ(count.index.layers[0].layer.source, u"letecka");
  ASSERT_EQ(count.index.layers[1].levels.size(), 2u);
  EXPECT_EQ(count.index.layers[1].levels[0].zoom, 12);
  EXPECT_EQ(count.index.layers[1].levels[1].tiles, 7) << "the walk counts the misplaced file too, as conversion does";

  std::vector<unsigned char> bytes;
  ASSERT_EQ(source->Read({GeoKukLayer(u"letecka"), 14, x0 + 3 * 16384LL, y0}, &bytes), convert::PreviewRead::Found);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "l14-3");
  EXPECT_EQ(source->Read({GeoKukLayer(u"letecka"), 12, x0, y0}, &bytes), convert::PreviewRead::Missing);
  EXPECT_EQ(source->Read({GeoKukLayer(u"turist"), 14, x0 + 10 * 16384LL, y0}, &bytes), convert::PreviewRead::Missing);
  EXPECT_EQ(source->Stats().filesRead.load(), 1);
}

// PREV-6: reads touch only the tiles asked for: on a tree of 10,000 tiles, a
// block of 3 x 2 tiles costs 6 file reads and no listing beyond the root's;
// a tile the tree lacks costs none.
TEST(PreviewSource, ReadsOnlyWhatIsAsked) {
  TempTree tree;
  for (int x = 0; x < 100; ++x) {
    for (int y = 0; y < 100; ++y) tree.File("14/" + std::to_string(8800 + x) + "/" + std::to_string(5500 + y) + ".png", "p");
  }
  std::unique_ptr<convert::PreviewSource> source = convert::OpenTreePreview(tree.Root(), 1);
  std::vector<unsigned char> bytes;
  for (long long x = 8850; x < 8853; ++x) {
    for (long long y = 5550; y < 5552; ++y) {
      EXPECT_EQ(source->Read({PreviewLayer{}, 14, x, y}, &bytes), convert::PreviewRead::Found);
    }
  }
  EXPECT_EQ(source->Read({PreviewLayer{}, 14, 9000, 5550}, &bytes), convert::PreviewRead::Missing);
  EXPECT_EQ(source->Read({PreviewLayer{}, 13, 4400, 2750}, &bytes), convert::PreviewRead::Missing);
  EXPECT_EQ(source->Stats().filesRead.load(), 6);
  EXPECT_EQ(source->Stats().folderListings.load(), 1);
}

// Sources whose rows are numbered from the south: a TMS tree and MBTiles
// files. The tiles, by TMS row: zoom 1 holds the north-west and the
// south-east quarter, zoom 14 a block of 8 x 10 tiles (few enough columns
// for the quick index of the tree to list them all); one file or row of
// each lies beyond its zoom level's rows and is no tile.
struct SouthTile {
  int zoom;
  long long column;
  long long southRow;
  std::string bytes;
};

// The bytes of the block's tile of column x and TMS row r.
std::string BlockBytes(long long x, long long r) {
  char text[48];
  std::snprintf(text, sizeof text, "t%lld-%lld", x, r);
  return text;
}

std::vector<SouthTile> SouthTiles() {
  std::vector<SouthTile> tiles = {{1, 0, 1, "nw"}, {1, 1, 0, "se"}};
  for (long long x = 8800; x < 8808; ++x) {
    for (long long r = 10880; r < 10890; ++r) tiles.push_back({14, x, r, BlockBytes(x, r)});
  }
  return tiles;
}

// The names in a folder.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

enum class SouthSource { TmsTree, MbtilesTable, MbtilesView, MbtilesWal };

// Writes the tiles as `kind` below `tree`; returns the source's path.
std::string MakeSouthSource(const TempTree& tree, SouthSource kind) {
  if (kind == SouthSource::TmsTree) {
    for (const SouthTile& t : SouthTiles()) {
      tree.File("tms/" + std::to_string(t.zoom) + "/" + std::to_string(t.column) + "/" + std::to_string(t.southRow) + ".png",
                t.bytes);
    }
    tree.File("tms/1/0/2.png", "beyond");
    return tree.Path("tms");
  }
  std::vector<test_support::MbtilesRow> rows;
  for (const SouthTile& t : SouthTiles()) rows.push_back({t.zoom, t.column, t.southRow, t.bytes});
  rows.push_back({1, 0, 2, "beyond"});
  rows.push_back({1, 0, 0, "", true});  // NULL tile_data, the south-west quarter
  const std::string path = tree.Path("atlas.mbtiles");
  test_support::WriteMbtiles(path, rows,
                             kind == SouthSource::MbtilesView ? test_support::MbtilesSchema::View
                                                              : test_support::MbtilesSchema::Table,
                             kind == SouthSource::MbtilesWal);
  return path;
}

// PREV-9: a TMS tree and MBTiles files (table, view, WAL mode) in the
// preview: keys are the map's (rows flipped as the conversion flips them),
// so the quarter a zoom-1 tile covers on the plane is the one it shows; the
// tiles a rectangle shows are read one read each, a key the source lacks
// costs none; an MBTiles file is left as it was, with nothing beside it. A
// row of NULL tile_data reads as missing; the count, which reads the key
// index alone, takes it for a tile.
TEST(PreviewSource, RowsFromTheSouth) {
  const struct {
    const char* id;
    SouthSource kind;
    int layout;
    long long zoom1Tiles;  // with the NULL row of an MBTiles file
  } cases[] = {{"tms", SouthSource::TmsTree, convert::LayoutTms, 2},
               {"mbtiles-table", SouthSource::MbtilesTable, convert::LayoutMbtiles, 3},
               {"mbtiles-view", SouthSource::MbtilesView, convert::LayoutMbtiles, 3},
               {"mbtiles-wal", SouthSource::MbtilesWal, convert::LayoutMbtiles, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    TempTree tree;
    const std::string path = MakeSouthSource(tree, c.kind);
    const std::set<std::string> before = Names(tree.Root());
    const auto modified = std::filesystem::last_write_time(path);

    std::unique_ptr<convert::PreviewSource> source = convert::OpenTreePreview(path, c.layout);
    ASSERT_NE(source, nullptr);
    const convert::PreviewIndex quick = source->QuickIndex();
    EXPECT_TRUE(quick.counted);
    ASSERT_EQ(quick.layers.size(), 1u);
    EXPECT_EQ(quick.layers[0].layer, PreviewLayer{});
    ASSERT_EQ(quick.layers[0].levels.size(), 2u);
    const convert::PreviewLevel& level14 = quick.layers[0].levels[1];
    EXPECT_EQ(level14.zoom, 14);
    EXPECT_EQ(level14.tiles, 80);
    EXPECT_EQ(level14.extent.x0, 8800);
    EXPECT_EQ(level14.extent.x1, 8807);
    EXPECT_EQ(level14.extent.y0, 16383 - 10889);
    EXPECT_EQ(level14.extent.y1, 16383 - 10880);
    EXPECT_EQ(quick.layers[0].levels[0].tiles, c.zoom1Tiles) << "the row beyond zoom 1 is no tile";
    convert::PreviewCount count;
    ASSERT_TRUE(source->Count({}, &count));
    ASSERT_EQ(count.coverage.size(), 2u);
    EXPECT_TRUE(count.coverage[0].HoldsTile(0, 0));
    EXPECT_TRUE(count.coverage[0].HoldsTile(1, 1));
    EXPECT_FALSE(count.coverage[0].HoldsTile(1, 0));
    EXPECT_TRUE(count.coverage[1].HoldsTile(8800, 16383 - 10880));

    // A fresh source, so that only the reads of the view are counted.
    source = convert::OpenTreePreview(path, c.layout);
    ASSERT_NE(source, nullptr);
    std::vector<unsigned char> bytes;
    const auto text = [&bytes] { return std::string(bytes.begin(), bytes.end()); };
    const struct {
      PlaneRect rect;
      const char* bytes;
    } quarters[] = {{{0.1, 0.1, 0.4, 0.4}, "nw"}, {{0.6, 0.6, 0.9, 0.9}, "se"}};
    for (const auto& quarter : quarters) {
      store::TileRange range;
      ASSERT_TRUE(convert::VisibleTiles(TileGrid::WebMercator, 1, quarter.rect, &range));
      ASSERT_EQ(range.x0, range.x1);
      ASSERT_EQ(range.y0, range.y1);
      ASSERT_EQ(source->Read({PreviewLayer{}, 1, range.x0, range.y0}, &bytes), convert::PreviewRead::Found);
      EXPECT_EQ(text(), quarter.bytes);
    }
    // 3 x 2 tiles of the block, by the rectangle they cover on the plane.
    const store::TileRange block{8802, 16383 - 10887, 8804, 16383 - 10886};
    PlaneRect rect = convert::TileRangePlaneRect(TileGrid::WebMercator, 14, block);
    const double inset = convert::TileSidePlane(TileGrid::WebMercator, 14) / 4;
    rect = {rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset};
    store::TileRange visible;
    ASSERT_TRUE(convert::VisibleTiles(TileGrid::WebMercator, 14, rect, &visible));
    EXPECT_EQ(visible.x0, block.x0);
    EXPECT_EQ(visible.y1, block.y1);
    for (long long x = visible.x0; x <= visible.x1; ++x) {
      for (long long y = visible.y0; y <= visible.y1; ++y) {
        ASSERT_EQ(source->Read({PreviewLayer{}, 14, x, y}, &bytes), convert::PreviewRead::Found);
        EXPECT_EQ(text(), BlockBytes(x, 16383 - y));
      }
    }
    EXPECT_EQ(source->Read({PreviewLayer{}, 1, 0, 1}, &bytes), convert::PreviewRead::Missing)
        << "a NULL tile_data, or no file";
    EXPECT_EQ(source->Read({PreviewLayer{}, 14, 8800, 16383 - 10879}, &bytes), convert::PreviewRead::Missing);
    EXPECT_EQ(source->Read({PreviewLayer{}, 2, 0, 0}, &bytes), convert::PreviewRead::Missing);
    EXPECT_EQ(source->Read({GeoKukLayer(u"turist"), 14, 8800, 5494}, &bytes), convert::PreviewRead::Missing);
    EXPECT_EQ(source->Stats().filesRead.load() + source->Stats().rowsRead.load(), 2 + 6);
    if (c.kind == SouthSource::TmsTree) {
      EXPECT_EQ(source->Stats().folderListings.load(), 1);
    }

    source.reset();
    EXPECT_EQ(Names(tree.Root()), before) << "nothing is left beside the source";
    EXPECT_EQ(std::filesystem::last_write_time(path), modified);
  }
}

// PREV-10: the quick index of a large MBTiles file: with a key index, a few
// seeks per level give its levels, extents and (for tiles spread evenly)
// its counts; without one, the file is counted instead of sought. A file
// that is no MBTiles file opens no source.
TEST(PreviewSource, LargeMbtilesIndex) {
  TempTree tree;
  std::vector<test_support::MbtilesRow> rows = {{3, 4, 2, "low"}};
  for (long long x = 0; x < 500; ++x) {
    for (long long r = 0; r < 420; ++r) rows.push_back({12, 2000 + x, 1500 + r, "x"});
  }
  for (const bool indexed : {true, false}) {
    SCOPED_TRACE(indexed ? "indexed" : "no index");
    const std::string path = tree.Path(indexed ? "indexed.mbtiles" : "plain.mbtiles");
    test_support::WriteMbtiles(path, rows);
    if (!indexed) {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
      test_support::ExecOrThrow(db, "DROP INDEX tile_index");
      sqlite3_close(db);
    }
    std::unique_ptr<convert::PreviewSource> source = convert::OpenTreePreview(path, convert::LayoutMbtiles);
    ASSERT_NE(source, nullptr);
    const convert::PreviewIndex index = source->QuickIndex();
    EXPECT_EQ(index.counted, !indexed);
    ASSERT_EQ(index.layers.size(), 1u);
    ASSERT_EQ(index.layers[0].levels.size(), 2u);
    EXPECT_EQ(index.layers[0].levels[0].zoom, 3);
    EXPECT_EQ(index.layers[0].levels[0].tiles, 1);
    EXPECT_EQ(index.layers[0].levels[0].extent.y0, 5);
    const convert::PreviewLevel& level = index.layers[0].levels[1];
    EXPECT_EQ(level.zoom, 12);
    EXPECT_EQ(level.tiles, 210000);
    EXPECT_EQ(level.extent.x0, 2000);
    EXPECT_EQ(level.extent.x1, 2499);
    EXPECT_EQ(level.extent.y0, 4095 - 1919);
    EXPECT_EQ(level.extent.y1, 4095 - 1500);
  }
  std::string why;
  EXPECT_EQ(convert::MakeMbtilesPreview(tree.File("no.mbtiles", std::string(3000, 'x')), &why), nullptr);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(convert::OpenTreePreview(tree.Folder("folder"), convert::LayoutMbtiles), nullptr);
}

// Writes a map file with the given rows (s as SQL text: 0, 'turist', 1.5).
void MakeMap(const std::string& path, const std::vector<std::string>& rows, int extraRows = 0) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE info(minzoom,maxzoom);"
                         "CREATE TABLE tiles(x int, y int, z int, s int, image blob, PRIMARY KEY (x,y,z,s));"
                         "BEGIN",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  for (const std::string& row : rows) {
    ASSERT_EQ(sqlite3_exec(db, ("INSERT INTO tiles VALUES(" + row + ")").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES(?, ?, 0, 0, x'00')", -1, &insert, nullptr);
  for (int i = 0; i < extraRows; ++i) {
    sqlite3_bind_int(insert, 1, 70000 + i / 500);
    sqlite3_bind_int(insert, 2, 44000 + i % 500);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

// PREV-7: a map file: the integer source 0 is the Web Mercator layer, text
// sources and names stored as numbers GeoKuk layers, other rows none; a tile is read by its key; a large map's
// quick index is a sample whose levels and shares hold what the count finds.
TEST(PreviewSource, MapFile) {
  TempTree tree;
  const std::string small = tree.Path("small.cvmap");
  MakeMap(small, {"353, 220, 1, 0, 'png-a'", "354, 220, 1, 0, 'png-b'", "0x79d8000, 0x8250000, 3, 'turist', 'k'",
                  "1, 1, 1, 1.5, 'float source'", "2, 2, 'z', 0, 'text zoom'"});
  std::string why;
  std::unique_ptr<convert::PreviewSource> source = convert::OpenMapPreview(small, &why);
  ASSERT_NE(source, nullptr) << why;
  const convert::PreviewIndex index = source->QuickIndex();
  EXPECT_TRUE(index.counted);
  ASSERT_EQ(index.layers.size(), 3u);
  EXPECT_EQ(index.layers[0].layer.grid, TileGrid::WebMercator);
  EXPECT_EQ(index.layers[0].levels.at(0).zoom, 16);
  EXPECT_EQ(index.layers[0].levels.at(0).tiles, 2);
  EXPECT_EQ(index.layers[1].layer, GeoKukLayer(u"1.5"));  // stored as the real 1.5
  EXPECT_EQ(index.layers[2].layer, GeoKukLayer(u"turist"));
  EXPECT_EQ(index.layers[2].levels.at(0).zoom, 14);
  std::vector<unsigned char> bytes;
  ASSERT_EQ(source->Read({PreviewLayer{}, 16, 354, 220}, &bytes), convert::PreviewRead::Found);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "png-b");
  ASSERT_EQ(source->Read({GeoKukLayer(u"turist"), 14, 0x79d8000, 0x8250000}, &bytes), convert::PreviewRead::Found);
  EXPECT_EQ(source->Read({GeoKukLayer(u"letecka"), 14, 0x79d8000, 0x8250000}, &bytes), convert::PreviewRead::Missing);
  EXPECT_EQ(source->Stats().rowsRead.load(), 2);

  EXPECT_EQ(convert::OpenMapPreview(tree.File("plain.txt", std::string(2000, 'x')), &why), nullptr);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(convert::OpenMapPreview(tree.Folder("folder"), &why), nullptr);

  const std::string large = tree.Path("large.cvmap");
  MakeMap(large, {"100, 100, 5, 'turist', 'k'"}, 250000);
  source = convert::OpenMapPreview(large, &why);
  ASSERT_NE(source, nullptr) << why;
  const convert::PreviewIndex sampled = source->QuickIndex();
  EXPECT_FALSE(sampled.counted);
  ASSERT_GE(sampled.layers.size(), 1u);
  const convert::PreviewLevel& level = sampled.layers[0].levels.at(0);
  EXPECT_EQ(level.zoom, 17);
  EXPECT_NEAR(static_cast<double>(level.tiles), 250000, 2500);
  EXPECT_GE(level.extent.x0, 70000);
  EXPECT_LE(level.extent.x1, 70499);
  EXPECT_GT(level.extent.x1 - level.extent.x0, 450) << "the sample spreads over the file";
  convert::PreviewCount count;
  ASSERT_TRUE(source->Count({}, &count));
  EXPECT_EQ(count.index.layers[0].levels[0].tiles, 250000);
  EXPECT_EQ(count.index.layers.size(), 2u) << "the count finds the one GeoKuk tile the sample may miss";
}

// PREV-8: the rate of a job: nothing in its first seconds, then the growth
// of the last seconds per second, falling while the job stalls; the time
// left at that rate; a count that goes back starts a new phase.
TEST(RateMeter, RateAndTimeLeft) {
  using Clock = convert::RateMeter::Clock;
  using std::chrono::milliseconds;
  const Clock::time_point t0{};
  convert::RateMeter meter;
  meter.StartJob(t0);
  for (int s = 0; s <= 2; ++s) meter.Add(t0 + std::chrono::seconds(s), s * 100);
  EXPECT_FALSE(meter.Rate(t0 + milliseconds(2900))) << "nothing before 3 s";
  for (int s = 3; s <= 20; ++s) meter.Add(t0 + std::chrono::seconds(s), 300 + (s - 3) * 50);
  const auto now = t0 + std::chrono::seconds(20);
  ASSERT_TRUE(meter.Rate(now));
  EXPECT_NEAR(*meter.Rate(now), 50, 1e-9) << "only the last ten seconds count";
  EXPECT_NEAR(*meter.SecondsLeft(300 + 17 * 50 + 500, now), 10, 1e-9);
  EXPECT_NEAR(*meter.Rate(now + std::chrono::seconds(10)), 25, 1e-9) << "a stall lowers the rate";
  EXPECT_EQ(*meter.SecondsLeft(100, now), 0);

  meter.Add(now + std::chrono::seconds(1), 10);  // a new pass starts from 0
  EXPECT_FALSE(meter.Rate(now + std::chrono::seconds(1)));
  meter.Add(now + std::chrono::seconds(3), 410);
  EXPECT_NEAR(*meter.Rate(now + std::chrono::seconds(3)), 200, 1e-9);
  EXPECT_NEAR(meter.Elapsed(now), 20, 1e-9);
}

}  // namespace
