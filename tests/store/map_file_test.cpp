#include "store/map_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "store/tile_inserter.h"
#include "tests/platform/temp_dir.h"
#include "tests/store/store_test_support.h"

namespace {

using platform::MessageStyle;
using platform::RecordingMessageBox;
using SQLite::Database;
using testing_support::QueryRows;
using testing_support::QueryValue;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using Rows = std::vector<std::vector<std::string>>;
using Outcome = store::TileInserter::Outcome;

struct TileRow {
  store::TileKey key;  // x, y, z, s
  std::string image;   // the bytes to store
};

TileRow Tile(int x, int y, int zoom, int, const std::string& image) {
  TileRow row;
  row.key.x = x;
  row.key.y = y;
  row.key.z = store::ZoomToZ(zoom);
  row.image = image;
  return row;
}

TileRow Tile(int x, int y, int zoom, std::u16string_view source, const std::string& image) {
  TileRow row = Tile(x, y, zoom, 0, image);
  row.key.sourceIsText = true;
  row.key.source = source;
  return row;
}

// Stores one row with a fresh inserter, as a single use of the insert.
Outcome StoreTile(Database& db, const TileRow& row) {
  store::TileInserter inserter(db);
  return inserter.Insert(row.key, reinterpret_cast<const unsigned char*>(row.image.data()), row.image.size());
}

// MAP-1: a new map file holds exactly the two tables with their statement
// texts, both empty, in UTF-8, and passes recognition without a message.
TEST(MapFile, CreateMakesExactSchema) {
  TempDir dir;
  RecordingMessageBox boxes;
  Database db(&boxes);
  const std::string file = dir / "new.cvmap";
  ASSERT_TRUE(store::CreateMapFileNative(db, file));
  EXPECT_EQ(QueryRows(db, u"SELECT type, name FROM sqlite_master ORDER BY name"),
            (Rows{{"table", "info"}, {"index", "sqlite_autoindex_tiles_1"}, {"table", "tiles"}}));
  EXPECT_EQ(QueryRows(db, u"SELECT name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY name"),
            (Rows{{"info", "CREATE TABLE info(minzoom,maxzoom)"},
                  {"tiles", "CREATE TABLE tiles(x int, y int, z int, s int, image blob, PRIMARY KEY (x,y,z,s))"}}));
  EXPECT_EQ(QueryValue(db, u"PRAGMA encoding"), "UTF-8");
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM info"), "0");
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM tiles"), "0");
  EXPECT_TRUE(store::RecogniseMapFileNative(db, file, boxes));
  EXPECT_TRUE(boxes.Messages().empty());
}

// MAP-2: creating on an existing map file keeps every tile.
TEST(MapFile, CreateOnMapKeepsTiles) {
  TempDir dir;
  RecordingMessageBox boxes;
  Database db(&boxes);
  const std::string file = dir / "m.cvmap";
  ASSERT_TRUE(store::CreateMapFileNative(db, file));
  EXPECT_EQ(StoreTile(db, Tile(1, 2, 15, u"base_n", "PNG1")), Outcome::Stored);
  EXPECT_EQ(StoreTile(db, Tile(1, 3, 15, 0, "PNG2")), Outcome::Stored);
  ASSERT_TRUE(store::CreateMapFileNative(db, file));
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM tiles"), "2");
  EXPECT_TRUE(boxes.Messages().empty());
}

// MAP-3: on a file that is not a database every statement that reads the
// file shows SQLite's error (the encoding pragma only sets the connection's
// encoding and does not read the file, so it succeeds), the bytes stay as
// they were, and the recognition that follows shows SQLite's message once
// more and marks the file not open.
TEST(MapFile, CreateOnNonDatabaseChangesNothing) {
  TempDir dir;
  const std::string file = dir / "notes.txt";
  std::string content;
  for (int i = 0; i < 300; ++i) content += "these are not the tiles you are looking for\n";
  WriteFile(file, content);

  RecordingMessageBox boxes;
  Database db(&boxes);
  EXPECT_FALSE(store::CreateMapFileNative(db, file));
  auto messages = boxes.Messages();
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& m : messages) {
    EXPECT_EQ(m.text, u"SQLite error: file is not a database");
    EXPECT_EQ(m.style, MessageStyle::Exclamation);
  }
  boxes.Clear();
  EXPECT_FALSE(store::RecogniseMapFileNative(db, file, boxes));
  EXPECT_EQ(db.isOpen, 0);
  messages = boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"file is not a database");
  EXPECT_EQ(messages[0].style, MessageStyle::Plain);
  db.close();
  EXPECT_EQ(ReadFile(file), content);
}

// MAP-4: a 0-byte file counts as an empty database and becomes a map file.
TEST(MapFile, EmptyFileBecomesMap) {
  TempDir dir;
  const std::string file = dir / "zero.cvmap";
  WriteFile(file, "");
  RecordingMessageBox boxes;
  Database db(&boxes);
  EXPECT_TRUE(store::CreateMapFileNative(db, file));
  EXPECT_TRUE(store::RecogniseMapFileNative(db, file, boxes));
  EXPECT_TRUE(boxes.Messages().empty());
}

// MAP-5: recognition only asks for a table named tiles, of any shape; a
// database without one is refused with SQLite's message in a plain box.
TEST(MapFile, RecognitionTestsOnlyTilesTable) {
  TempDir dir;
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_EQ(db.openNative(dir / "odd.db"), SQLITE_OK);
  ASSERT_EQ(db.exec(u"CREATE TABLE tiles(whatever)"), SQLITE_OK);
  ASSERT_EQ(db.openNative(dir / "other.db"), SQLITE_OK);
  ASSERT_EQ(db.exec(u"CREATE TABLE info(minzoom,maxzoom)"), SQLITE_OK);

  EXPECT_TRUE(store::RecogniseMapFileNative(db, dir / "odd.db", boxes));
  EXPECT_TRUE(boxes.Messages().empty());
  EXPECT_FALSE(store::RecogniseMapFileNative(db, dir / "other.db", boxes));
  auto messages = boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"no such table: tiles");
  EXPECT_EQ(messages[0].style, MessageStyle::Plain);
  // Recognising again starts from a closed, not-open database.
  EXPECT_TRUE(store::RecogniseMapFileNative(db, dir / "odd.db", boxes));
}

// MAP-6: a duplicate key is refused and the first row stays; a GeoKuk and an
// OSM tile with the same x, y and zoom are different rows.
TEST(MapFile, DuplicateKeyKeepsFirstRow) {
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_TRUE(store::CreateMapFileNative(db, ""));
  EXPECT_EQ(StoreTile(db, Tile(5, 6, 14, u"base_n", "first")), Outcome::Stored);
  EXPECT_EQ(StoreTile(db, Tile(5, 6, 14, u"base_n", "second")), Outcome::Duplicate);
  EXPECT_EQ(StoreTile(db, Tile(5, 6, 14, 0, "osm")), Outcome::Stored);
  EXPECT_EQ(QueryRows(db, u"SELECT s, CAST(image AS TEXT) FROM tiles ORDER BY image"),
            (Rows{{"base_n", "first"}, {"0", "osm"}}));
  EXPECT_TRUE(boxes.Messages().empty());
  EXPECT_EQ(testing_support::PreparedCount(db), 0);
}

// MAP-7: integer affinity of s: the name "12" is stored as the integer 12,
// "base_n" as text; zoom 18 is z = -1, zoom 0 is z = 17; images are stored
// byte for byte, an empty one as an empty blob.
TEST(MapFile, StoredValuesAndAffinity) {
  Database db;
  ASSERT_TRUE(store::CreateMapFileNative(db, ""));
  const std::string binary("\x89PNG\r\n\x1a\n\0\xff", 10);
  ASSERT_EQ(StoreTile(db, Tile(1, 1, 18, u"12", binary)), Outcome::Stored);
  ASSERT_EQ(StoreTile(db, Tile(2, 2, 0, u"base_n", "")), Outcome::Stored);
  EXPECT_EQ(QueryRows(db, u"SELECT x, z, s, typeof(s), typeof(image), length(image) FROM tiles ORDER BY x"),
            (Rows{{"1", "-1", "12", "integer", "blob", "10"}, {"2", "17", "base_n", "text", "blob", "0"}}));
  SQLite::Statement read = db.prepare(u"SELECT image FROM tiles WHERE x = 1");
  ASSERT_EQ(sqlite3_step(read.handle), SQLITE_ROW);
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(read.handle, 0));
  EXPECT_EQ(std::string(bytes, sqlite3_column_bytes(read.handle, 0)), binary);
}

// MAP-8: a failing open stops the creation silently; a read-only recognition
// of a missing path creates nothing.
TEST(MapFile, FailuresCreateNothing) {
  TempDir dir;
  RecordingMessageBox boxes;
  Database db(&boxes);
  EXPECT_FALSE(store::CreateMapFileNative(db, dir / "no-folder/m.cvmap"));
  EXPECT_TRUE(boxes.Messages().empty());
  EXPECT_FALSE(store::RecogniseMapFileReadOnly(db, dir / "missing.cvmap", boxes));
  EXPECT_EQ(boxes.Messages().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.cvmap"));
}

// MAP-9: the insert cannot be prepared without a tiles table: the insert
// throws SQLite's message and leaves no statement behind.
TEST(MapFile, StoreTileThrowsWhenNoTilesTable) {
  Database db;
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  try {
    StoreTile(db, Tile(0, 0, 0, 0, "x"));
    FAIL() << "no exception";
  } catch (const SQLite::Error& error) {
    EXPECT_EQ(error.message, u"no such table: tiles");
  }
  EXPECT_EQ(testing_support::PreparedCount(db), 0);
}

}  // namespace
