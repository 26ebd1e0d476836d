// TileLookup: the image stored under a key compared byte for byte.
#include "store/tile_lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "store/map_file.h"
#include "store/tile_inserter.h"
#include "tests/store/store_test_support.h"

namespace {

using Outcome = store::TileLookup::Outcome;

store::TileKey Key(int x, const char16_t* source) {
  store::TileKey key{x, 7, 2, source != nullptr, source != nullptr ? source : u""};
  return key;
}

// LOOKUP-1: same, different, missing and odd stored values; a source name
// that reads as a number is found as the integer it is stored as.
TEST(TileLookup, ComparesStoredImages) {
  SQLite::Database db;
  ASSERT_TRUE(store::CreateMapFileNative(db, ""));
  store::TileInserter inserter(db);
  const std::string png("\x89PNG\0\x01", 6);
  auto bytes = [](const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); };
  ASSERT_EQ(inserter.Insert(Key(1, u"base_n"), bytes(png)), store::TileInserter::Outcome::Stored);
  ASSERT_EQ(inserter.Insert(Key(2, u"12"), bytes("twelve")), store::TileInserter::Outcome::Stored);
  ASSERT_EQ(inserter.Insert(Key(3, nullptr), bytes("")), store::TileInserter::Outcome::Stored);
  ASSERT_EQ(db.exec(u"INSERT INTO tiles VALUES(4, 7, 2, 0, NULL), (5, 7, 2, 0, 55)"), SQLITE_OK);

  struct Case {
    store::TileKey key;
    std::string image;
    Outcome expected;
  };
  const Case cases[] = {
      {Key(1, u"base_n"), png, Outcome::Same},
      {Key(1, u"base_n"), png.substr(0, 5), Outcome::Different},  // shorter
      {Key(1, u"base_n"), png + "x", Outcome::Different},         // longer
      {Key(1, u"base_n"), "\x89PNG\0\x02", Outcome::Different},   // one byte after a NUL
      {Key(1, u"other"), png, Outcome::Missing},
      {Key(1, nullptr), png, Outcome::Missing},                    // s = 0 is another key
      {Key(2, u"12"), "twelve", Outcome::Same},                    // stored as the integer 12
      {Key(3, nullptr), "", Outcome::Same},                        // an empty blob
      {Key(3, nullptr), "x", Outcome::Different},
      {Key(4, nullptr), "", Outcome::Different},                   // NULL is no image
      {Key(5, nullptr), "55", Outcome::Different},                 // nor is a number
  };
  store::TileLookup lookup(db);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key.x);
    const auto* image = reinterpret_cast<const unsigned char*>(c.image.data());
    EXPECT_EQ(lookup.Compare(c.key, image, c.image.size()), c.expected) << c.image;
  }
  EXPECT_EQ(testing_support::PreparedCount(db), 2);  // the reused SELECT and the insert
}

// LOOKUP-2: a table without an image column cannot be read: SQLite's message.
TEST(TileLookup, ThrowsWhenTheTableCannotBeRead) {
  SQLite::Database db;
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  ASSERT_EQ(db.exec(u"CREATE TABLE tiles(x, y, z, s)"), SQLITE_OK);
  store::TileLookup lookup(db);
  try {
    lookup.Compare(Key(1, nullptr), nullptr, 0);
    FAIL() << "no exception";
  } catch (const SQLite::Error& error) {
    EXPECT_EQ(error.message, u"no such column: image");
  }
}

}  // namespace
