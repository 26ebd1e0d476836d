// MBTiles files: telling them by content, reading them without leaving a
// trace, the key they give a tile, and writing them as the format asks.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "store/map_file.h"
#include "store/mbtiles.h"
#include "store/mbtiles_reader.h"
#include "store/mbtiles_writer.h"
#include "tests/platform/temp_dir.h"
#include "tests/store/store_test_support.h"
#include "tests/support/mbtiles_fixture.h"

namespace {

using store::MbtilesOpenStatus;
using testing_support::QueryRows;
using testing_support::QueryValue;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// The names in `folder`, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// MBT-1: what each kind of file opens as; the content decides, not the name.
TEST(MbtilesRead, KindsOfFile) {
  TempDir dir;
  test_support::WriteMbtiles(dir / "table.dat", {{1, 0, 1, "a"}});
  test_support::WriteMbtiles(dir / "view.mbtiles", {{1, 0, 1, "a"}}, test_support::MbtilesSchema::View);
  {
    SQLite::Database db;
    ASSERT_TRUE(store::CreateMapFileNative(db, dir / "map.mbtiles"));
  }
  {
    sqlite3* db = nullptr;
    sqlite3_open((dir / "nometa.mbtiles").c_str(), &db);
    test_support::ExecOrThrow(db, "CREATE TABLE tiles (zoom_level, tile_column, tile_row, tile_data)");
    sqlite3_close(db);
  }
  WriteFile(dir / "text.mbtiles", std::string(200, 'x'));
  WriteFile(dir / "empty.mbtiles", "");
  std::filesystem::create_directory(dir / "folder.mbtiles");
  struct Case {
    const char* name;
    MbtilesOpenStatus status;
    const char* detail;  // a piece of the reason
  };
  const Case cases[] = {
      {"table.dat", MbtilesOpenStatus::Ready, ""},
      {"view.mbtiles", MbtilesOpenStatus::Ready, ""},
      {"map.mbtiles", MbtilesOpenStatus::NotMbtiles, "no such column: zoom_level"},
      {"nometa.mbtiles", MbtilesOpenStatus::NotMbtiles, "no table metadata"},
      {"text.mbtiles", MbtilesOpenStatus::NotMbtiles, "no SQLite database"},
      {"empty.mbtiles", MbtilesOpenStatus::NotMbtiles, "empty"},
      {"folder.mbtiles", MbtilesOpenStatus::IsFolder, ""},
      {"missing.mbtiles", MbtilesOpenStatus::Missing, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SQLite::Database db;
    const store::MbtilesOpenResult result = store::OpenMbtilesForReading(db, dir / c.name);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.detail.find(c.detail), std::string::npos) << result.detail;
    EXPECT_EQ(db.handle != nullptr, c.status == MbtilesOpenStatus::Ready);
    EXPECT_EQ(store::IsMbtilesFile(dir / c.name), c.status == MbtilesOpenStatus::Ready);
  }
  EXPECT_EQ(ReadFile(dir / "text.mbtiles"), std::string(200, 'x'));
}

// MBT-2: reading changes nothing and leaves nothing beside the file, in
// rollback-journal and in WAL mode, and gives the rows in key order with
// NULL data as a null pointer.
TEST(MbtilesRead, LeavesNoTraceAndGivesRowsInKeyOrder) {
  for (const bool wal : {false, true}) {
    SCOPED_TRACE(wal ? "WAL" : "rollback journal");
    TempDir dir;
    const std::string path = dir / "t.mbtiles";
    test_support::WriteMbtiles(path, {{2, 3, 0, "c"}, {0, 0, 0, "a"}, {2, 1, 3, "b"}, {5, 1, 1, "", true}},
                               test_support::MbtilesSchema::Table, wal);
    const std::string before = ReadFile(path);
    struct stat was {};
    ASSERT_EQ(::stat(path.c_str(), &was), 0);
    {
      SQLite::Database db;
      ASSERT_EQ(store::OpenMbtilesForReading(db, path).status, MbtilesOpenStatus::Ready);
      store::MbtilesReader reader(db);
      EXPECT_EQ(reader.CountRows(), 4);
      std::vector<std::string> rows;
      while (reader.Next() == store::MbtilesReader::Step::Row) {
        const store::MbtilesKey& key = reader.Key();
        rows.push_back(std::to_string(key.zoom) + "/" + std::to_string(key.column) + "/" + std::to_string(key.row) +
                       "=" +
                       (reader.Data() ? std::string(reinterpret_cast<const char*>(reader.Data()), reader.Size())
                                      : std::string("NULL")));
      }
      EXPECT_EQ(rows, (std::vector<std::string>{"0/0/0=a", "2/1/3=b", "2/3/0=c", "5/1/1=NULL"}));
    }
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"t.mbtiles"});
    EXPECT_EQ(ReadFile(path), before);
    struct stat is {};
    ASSERT_EQ(::stat(path.c_str(), &is), 0);
    EXPECT_EQ(is.st_mtim.tv_nsec, was.st_mtim.tv_nsec);
    EXPECT_EQ(is.st_mtim.tv_sec, was.st_mtim.tv_sec);
  }
}

// MBT-3: the key of a row, and back: rows numbered from the south, each
// zoom level's range, zoom levels that do not fit.
TEST(MbtilesKeys, RowsAndKeys) {
  struct Case {
    store::MbtilesKey row;
    store::MbtilesRowFate fate;
    int x, y, z;
  };
  const Case cases[] = {
      {{true, true, 0, 0, 0}, store::MbtilesRowFate::Tile, 0, 0, 17},
      {{true, true, 1, 0, 0}, store::MbtilesRowFate::Tile, 0, 1, 16},  // the south row
      {{true, true, 1, 1, 1}, store::MbtilesRowFate::Tile, 1, 0, 16},
      {{true, true, 16, 35210, 65535 - 22900}, store::MbtilesRowFate::Tile, 35210, 22900, 1},
      {{true, true, 31, 0, 0}, store::MbtilesRowFate::Tile, 0, 2147483647, -14},
      {{true, true, 1, 2, 0}, store::MbtilesRowFate::OutsideRange, 0, 0, 0},
      {{true, true, 1, 0, 2}, store::MbtilesRowFate::OutsideRange, 0, 0, 0},
      {{true, true, 3, -1, 0}, store::MbtilesRowFate::OutsideRange, 0, 0, 0},
      {{true, false, 3, 0, 0}, store::MbtilesRowFate::OutsideRange, 0, 0, 0},
      {{true, true, 32, 0, 0}, store::MbtilesRowFate::ZoomDoesNotFit, 0, 0, 0},
      {{true, true, -1, 0, 0}, store::MbtilesRowFate::ZoomDoesNotFit, 0, 0, 0},
      {{false, true, 3, 0, 0}, store::MbtilesRowFate::ZoomDoesNotFit, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row.zoom) + "/" + std::to_string(c.row.column) + "/" + std::to_string(c.row.row));
    store::TileKey key;
    ASSERT_EQ(store::MbtilesRowToKey(c.row, &key), c.fate);
    if (c.fate != store::MbtilesRowFate::Tile) continue;
    EXPECT_EQ(key.x, c.x);
    EXPECT_EQ(key.y, c.y);
    EXPECT_EQ(key.z, c.z);
    EXPECT_FALSE(key.sourceIsText);
  }
  // Key to row and back, over the whole range of zoom levels.
  std::mt19937_64 random(22);
  for (int i = 0; i < 2000; ++i) {
    const int zoom = static_cast<int>(random() % (store::kMbtilesMaxZoom + 1));
    const long long side = 1LL << zoom;
    store::TileKey key{static_cast<int>(random() % side), static_cast<int>(random() % side), 17 - zoom, false, u""};
    store::MbtilesKey row;
    ASSERT_TRUE(store::KeyToMbtilesRow(key, &row));
    store::TileKey back;
    ASSERT_EQ(store::MbtilesRowToKey(row, &back), store::MbtilesRowFate::Tile);
    EXPECT_EQ(back.x, key.x);
    EXPECT_EQ(back.y, key.y);
    EXPECT_EQ(back.z, key.z);
  }
  store::MbtilesKey row;
  EXPECT_FALSE(store::KeyToMbtilesRow(store::TileKey{2, 0, 16, false, u""}, &row));   // x beyond zoom 1
  EXPECT_FALSE(store::KeyToMbtilesRow(store::TileKey{0, 0, -15, false, u""}, &row));  // zoom 32
  EXPECT_FALSE(store::KeyToMbtilesRow(store::TileKey{0, 0, 17, true, u"t"}, &row));   // GeoKuk's grid
}

// MBT-4: a new file has the format's schema, application id and metadata;
// adding to it keeps every row and widens the metadata; a tile already
// there is refused, never replaced.
TEST(MbtilesWrite, CreatesAndAddsAsTheFormatAsks) {
  TempDir dir;
  const std::string path = dir / "out.mbtiles";
  {
    SQLite::Database db;
    const store::MapOpenResult opened = store::OpenMbtilesForWriting(db, path);
    ASSERT_EQ(opened.status, store::MapOpenStatus::Ready) << opened.detail;
    EXPECT_TRUE(opened.created);
    store::MbtilesWriter writer(db);
    ASSERT_EQ(db.exec(u"BEGIN"), SQLITE_OK);
    EXPECT_EQ(writer.Insert({true, true, 1, 0, 1, }, reinterpret_cast<const unsigned char*>("a"), 1),
              store::MbtilesWriter::Outcome::Stored);
    store::MbtilesMetadata metadata{"trip", "png", {true, 1, 1, -180, 0, 0, 85.0511287798066}, false};
    ASSERT_TRUE(writer.WriteMetadata(metadata));
    ASSERT_EQ(db.exec(u"COMMIT"), SQLITE_OK);
    EXPECT_EQ(QueryValue(db, u"PRAGMA application_id"), "1297105496");
    EXPECT_EQ(QueryRows(db, u"SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"),
              (std::vector<std::vector<std::string>>{{"name"}, {"tile_index"}}));
  }
  EXPECT_EQ(test_support::MetadataValue(path, "name"), "trip");
  EXPECT_EQ(test_support::MetadataValue(path, "format"), "png");
  EXPECT_EQ(test_support::MetadataValue(path, "bounds"), "-180,0,0,85.0511287798066");
  EXPECT_EQ(test_support::MetadataValue(path, "minzoom"), "1");
  EXPECT_EQ(test_support::MetadataValue(path, "maxzoom"), "1");
  {
    SQLite::Database db;
    const store::MapOpenResult opened = store::OpenMbtilesForWriting(db, path);
    ASSERT_EQ(opened.status, store::MapOpenStatus::Ready) << opened.detail;
    EXPECT_FALSE(opened.created);
    store::MbtilesWriter writer(db);
    ASSERT_EQ(db.exec(u"BEGIN"), SQLITE_OK);
    EXPECT_EQ(writer.Insert({true, true, 1, 0, 1}, reinterpret_cast<const unsigned char*>("b"), 1),
              store::MbtilesWriter::Outcome::Duplicate);
    EXPECT_EQ(writer.Insert({true, true, 3, 7, 0}, reinterpret_cast<const unsigned char*>("c"), 1),
              store::MbtilesWriter::Outcome::Stored);
    store::MbtilesMetadata metadata{"other", "jpg", {true, 3, 3, 135, -85.0511287798066, 180, -79.17133464081945}};
    ASSERT_TRUE(writer.WriteMetadata(metadata));
    ASSERT_EQ(db.exec(u"COMMIT"), SQLITE_OK);
  }
  const std::vector<test_support::MbtilesRow> rows = test_support::ReadMbtiles(path);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].data, "a");
  EXPECT_EQ(rows[1].data, "c");
  EXPECT_EQ(test_support::MetadataValue(path, "name"), "trip");  // the file's own name and format stay
  EXPECT_EQ(test_support::MetadataValue(path, "format"), "png");
  EXPECT_EQ(test_support::MetadataValue(path, "bounds"), "-180,-85.0511287798066,180,85.0511287798066");
  EXPECT_EQ(test_support::MetadataValue(path, "minzoom"), "1");
  EXPECT_EQ(test_support::MetadataValue(path, "maxzoom"), "3");
}

// MBT-5: a target that is no MBTiles file, or one that cannot take rows, is
// refused with its bytes unchanged; a file without the unique index gets it.
TEST(MbtilesWrite, RefusesWhatItCannotAddTo) {
  TempDir dir;
  WriteFile(dir / "text.mbtiles", std::string(300, 't'));
  test_support::WriteMbtiles(dir / "view.mbtiles", {{0, 0, 0, "a"}}, test_support::MbtilesSchema::View);
  {
    SQLite::Database db;
    ASSERT_TRUE(store::CreateMapFileNative(db, dir / "map.cvmap"));
  }
  {
    sqlite3* db = nullptr;
    sqlite3_open((dir / "plain.mbtiles").c_str(), &db);
    test_support::ExecOrThrow(db,
                              "CREATE TABLE metadata (name text, value text);"
                              "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, "
                              "tile_data blob); INSERT INTO tiles VALUES (0, 0, 0, 'a')");
    sqlite3_close(db);
  }
  for (const char* name : {"text.mbtiles", "view.mbtiles", "map.cvmap"}) {
    SCOPED_TRACE(name);
    const std::string before = ReadFile(dir / name);
    SQLite::Database db;
    const store::MapOpenResult opened = store::OpenMbtilesForWriting(db, dir / name);
    EXPECT_EQ(opened.status, store::MapOpenStatus::NotAMap);
    EXPECT_FALSE(opened.detail.empty());
    db.close();
    EXPECT_EQ(ReadFile(dir / name), before);
  }
  SQLite::Database db;
  ASSERT_EQ(store::OpenMbtilesForWriting(db, dir / "plain.mbtiles").status, store::MapOpenStatus::Ready);
  store::MbtilesWriter writer(db);
  EXPECT_EQ(writer.Insert({true, true, 0, 0, 0}, reinterpret_cast<const unsigned char*>("b"), 1),
            store::MbtilesWriter::Outcome::Duplicate);
}

// MBT-6: bounds as text and back.
TEST(MbtilesWrite, BoundsText) {
  store::MbtilesExtent extent;
  EXPECT_TRUE(store::ParseMbtilesBounds(" -180.0, -85.05112878 ,180,85.05112878", &extent));
  EXPECT_EQ(extent.west, -180);
  EXPECT_EQ(extent.north, 85.05112878);
  const std::string text = store::FormatMbtilesBounds({true, 0, 0, 0.1, -0.3, 1e-9, 45});
  EXPECT_EQ(text, "0.1,-0.3,1e-09,45");
  EXPECT_TRUE(store::ParseMbtilesBounds(text, &extent));
  EXPECT_EQ(extent.east, 1e-9);
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,,3,4", "a,2,3,4", "1,2,3,4x"}) {
    EXPECT_FALSE(store::ParseMbtilesBounds(bad, &extent)) << bad;
  }
}

}  // namespace
