// TileRowReader: the rows a query takes, in key order, without a sort; and
// TileInserter::InsertRow, which copies a row with the types it has.
#include "store/tile_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/map_file.h"
#include "store/sqlite_database.h"
#include "store/tile_inserter.h"
#include "tests/store/store_test_support.h"

namespace {

using store::RowQuery;
using store::TileBlock;

// A map of a few hundred rows of both grids at three z values, and some
// foreign rows, in a private temporary database.
void Fill(SQLite::Database& db) {
  ASSERT_TRUE(store::CreateMapFileNative(db, ""));
  ASSERT_EQ(db.exec(u"BEGIN"), SQLITE_OK);
  for (int z = 1; z <= 3; ++z) {
    for (int x = 0; x < 12; ++x) {
      for (int y = 0; y < 6; ++y) {
        const std::string values = std::to_string(x * 1000) + ", " + std::to_string(y * 1000) + ", " +
                                   std::to_string(z);
        db.exec(platform::Utf8ToUtf16("INSERT INTO tiles VALUES (" + values + ", 'turist', randomblob(3000))"));
        db.exec(platform::Utf8ToUtf16("INSERT INTO tiles VALUES (" + std::to_string(x) + ", " + std::to_string(y) +
                                      ", " + std::to_string(z) + ", 0, x'0102')"));
      }
    }
  }
  db.exec(u"INSERT INTO tiles VALUES (1.5, 2, 1, 0, 'text image'), (3, 4, 1, x'00', NULL)");
  // A GeoKuk source named "12", which the column's affinity stores as the
  // integer 12: a row of GeoKuk's grid all the same.
  db.exec(u"INSERT INTO tiles VALUES (2500, 1500, 2, '12', x'01'), (3, 3, 5, 12, x'02')");
  ASSERT_EQ(db.exec(u"COMMIT"), SQLITE_OK);
}

// ROWS-1: each query yields exactly the rows its terms take, in key order,
// and never sorts; a source name stored as a number is on GeoKuk's grid.
TEST(TileRowReaderTest, TakesTheRowsInKeyOrderWithoutSorting) {
  SQLite::Database db;
  Fill(db);
  TileBlock geoKuk{2, TileBlock::Grid::GeoKuk, true, 2000, 1000, 5000, 3000};
  TileBlock webMercator{1, TileBlock::Grid::WebMercator, true, 3, 0, 4, 5};
  TileBlock anyZ3{3, TileBlock::Grid::Any, false};
  struct Case {
    const char* what;
    RowQuery query;
    const char16_t* reference;  // the same rows by a plain WHERE
  };
  const Case cases[] = {
      {"everything", {}, u"1"},
      {"one bounded block", {false, {geoKuk}, std::nullopt},
       u"z = 2 AND (typeof(s) = 'text' OR s = 12) AND x BETWEEN 2000 AND 5000 AND y BETWEEN 1000 AND 3000"},
      {"two bounded blocks",
       {false, {geoKuk, webMercator}, std::nullopt},
       u"(z = 2 AND (typeof(s) = 'text' OR s = 12) AND x BETWEEN 2000 AND 5000 AND y BETWEEN 1000 AND 3000) OR "
       u"(z = 1 AND typeof(s) = 'integer' AND s = 0 AND x BETWEEN 3 AND 4 AND y BETWEEN 0 AND 5)"},
      {"an unbounded block", {false, {webMercator, anyZ3}, std::nullopt},
       u"(z = 1 AND typeof(s) = 'integer' AND s = 0 AND x BETWEEN 3 AND 4 AND y BETWEEN 0 AND 5) OR z = 3"},
      {"no block", {false, {}, std::nullopt}, u"0"},
      {"sources", {true, {}, std::vector<std::string>{"relief", "12"}}, u"typeof(s) NOT IN ('text', 'integer') OR (typeof(s) = 'integer' AND s = 0) OR s = 12"},
  };
  for (const Case& c : cases) {
    for (bool images : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (images ? ", with images" : ""));
      store::TileRowReader reader(db, c.query, images);
      std::vector<std::vector<std::string>> rows;
      while (reader.Next() == store::TileRowReader::Step::Row) {
        std::vector<std::string> row;
        for (int column = 0; column < 4; ++column) {
          const unsigned char* text = sqlite3_column_text(reader.Handle(), column);
          row.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "<null>");
        }
        rows.push_back(row);
      }
      EXPECT_EQ(sqlite3_stmt_status(reader.Handle(), SQLITE_STMTSTATUS_SORT, 0), 0);
      EXPECT_EQ(rows, testing_support::QueryRows(db, std::u16string(u"SELECT x, y, z, s FROM tiles WHERE ") +
                                                         c.reference + u" ORDER BY x, y, z, s"));
    }
  }
  EXPECT_EQ(store::CountTileRows(db), 3 * 12 * 6 * 2 + 4);
  const std::vector<long long> z2{2};
  const std::vector<long long> z5{5};  // only the source named "12"
  const std::vector<long long> none;
  EXPECT_TRUE(store::HoldsWebMercatorRows(db, nullptr));
  EXPECT_TRUE(store::HoldsWebMercatorRows(db, &z2));
  EXPECT_FALSE(store::HoldsWebMercatorRows(db, &none));
  EXPECT_FALSE(store::HoldsWebMercatorRows(db, &z5));
}

// ROWS-2: a copied row keeps every value's type, and a key already held
// keeps its row.
TEST(TileRowReaderTest, InsertRowCopiesTheValuesAsTheyAre) {
  SQLite::Database from;
  Fill(from);
  SQLite::Database to;
  ASSERT_TRUE(store::CreateMapFileNative(to, ""));
  store::TileInserter inserter(to);
  store::TileRowReader reader(from, {}, true);
  long long stored = 0;
  while (reader.Next() == store::TileRowReader::Step::Row) {
    stored += inserter.InsertRow(reader.Handle()) == store::TileInserter::Outcome::Stored;
  }
  EXPECT_EQ(stored, store::CountTileRows(from));
  const std::u16string all = u"SELECT typeof(x), x, typeof(s), s, typeof(image), hex(image) FROM tiles ORDER BY x, y, z, s";
  EXPECT_EQ(testing_support::QueryRows(to, all), testing_support::QueryRows(from, all));
  store::TileRowReader again(from, {}, true);
  ASSERT_EQ(again.Next(), store::TileRowReader::Step::Row);
  EXPECT_EQ(inserter.InsertRow(again.Handle()), store::TileInserter::Outcome::Duplicate);
}

}  // namespace
