#include "dialog_fixture.h"

#include <QFile>
#include <algorithm>

#include "store/map_file.h"

namespace app_test {

QString DialogTest::MakeMapFile(const QString& name) {
  const QString path = Path(name);
  platform::RecordingMessageBox boxes;
  SQLite::Database database(&boxes);
  EXPECT_TRUE(store::CreateMapFileNative(database, QFile::encodeName(path).toStdString()));
  EXPECT_TRUE(boxes.Messages().empty());
  return path;
}

std::vector<StoredTile> DialogTest::StoredTiles(const QString& mapFile) {
  std::vector<StoredTile> tiles;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(QFile::encodeName(mapFile).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << mapFile.toStdString();
    sqlite3_close(db);
    return tiles;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT x, y, z, s FROM tiles", -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const auto* s = reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
      tiles.push_back({sqlite3_column_int(statement, 0), sqlite3_column_int(statement, 1),
                       sqlite3_column_int(statement, 2), s != nullptr ? s : ""});
    }
  } else {
    ADD_FAILURE() << sqlite3_errmsg(db);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  std::sort(tiles.begin(), tiles.end(), [](const StoredTile& a, const StoredTile& b) {
    return std::tie(a.x, a.y, a.z, a.s) < std::tie(b.x, b.y, b.z, b.s);
  });
  return tiles;
}

}  // namespace app_test
