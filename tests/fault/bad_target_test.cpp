// cvmap convert on map paths that are not a writable map file: folders and
// special files, files that are no database, a read-only file, a file another
// connection holds locked, and `tiles` tables of foreign shapes. Each must
// end with a clear message and a non-zero exit, never hang, and never lose or
// change what the file held.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "fault_support.h"
#include "tests/support/map_file_faults.h"

namespace fault_test {
namespace {

using test_support::LeaveHotJournal;

// A small OSM Tracker Storage source tree of 3 tiles.
Tiles SmallSource(const Scratch& scratch) { return WriteOsmTree(scratch, "src", 1, 3, 100); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// FAULT-1: a folder, a FIFO and a device as the map path are refused at once
// (a FIFO used to make cvmap wait for a writer forever), and nothing is
// created or changed.
TEST(BadTargetTest, FolderFifoAndDeviceAreRefused) {
  Scratch scratch;
  SmallSource(scratch);
  const std::string folder = scratch.Folder("maps.cvmap");
  scratch.Fifo("fifo.cvmap");
  scratch.Link("/dev/null", "null.cvmap");
  RunOptions quick;
  quick.timeout = std::chrono::seconds(20);

  Outcome r = RunCvmap({"convert", scratch.Path("src"), folder}, quick);
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_TRUE(Contains(r.err, folder + " is a folder")) << r.err;
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  for (const std::string name : {"fifo.cvmap", "null.cvmap"}) {
    r = RunCvmap({"convert", scratch.Path("src"), scratch.Path(name)}, quick);
    EXPECT_FALSE(r.timedOut) << name;
    EXPECT_EQ(r.exitCode, 2) << name << ": " << r.err;
    EXPECT_TRUE(Contains(r.err, "not a regular file")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(scratch.Path(name + "-journal")));
  }
  r = RunCvmap({"info", scratch.Path("fifo.cvmap")}, quick);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 2) << r.err;
}

// FAULT-6: a new map file in a folder that is missing, or that an
// unprivileged user cannot write: the message says why, nothing is created.
TEST(BadTargetTest, MapFolderMissingOrNotWritable) {
  Scratch scratch;
  SmallSource(scratch);
  Outcome r = RunCvmap({"convert", scratch.Path("src"), scratch.Path("none/m.cvmap")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "cannot create the map file " + scratch.Path("none/m.cvmap") + ": " +
                                  scratch.Path("none") + ": No such file or directory"))
      << r.err;
  if (!UnprivilegedChildWorks()) GTEST_SKIP() << "cannot run cvmap as an unprivileged user here";
  const std::string closed = scratch.Folder("closed");
  ::chmod(closed.c_str(), 0555);
  RunOptions unprivileged;
  unprivileged.asNobody = true;
  r = RunCvmap({"convert", scratch.Path("src"), closed + "/m.cvmap"}, unprivileged);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, closed + ": Permission denied")) << r.err;
  EXPECT_TRUE(std::filesystem::is_empty(closed));
}

// FAULT-7: a map file whose last writer died mid-transaction (a hot journal).
// info explains instead of calling it no map file (after waiting a moment
// for a writer to roll it back, which a writer that is still there does);
// convert rolls the dead write back and completes the map (it used to refuse
// the file, since it recognised it read-only first).
TEST(BadTargetTest, MapLeftByADeadWriter) {
  Scratch scratch;
  const Tiles first = WriteOsmTree(scratch, "first", 1, 5, 100);
  const Tiles second = WriteOsmTree(scratch, "second", 2, 5, 100);
  const std::string map = scratch.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"convert", scratch.Path("first"), map, "--quiet"}).exitCode, 0);
  ASSERT_TRUE(LeaveHotJournal(map));

  Outcome r = RunCvmap({"info", map});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Contains(r.err, "unfinished write of an interrupted run")) << r.err;
  EXPECT_TRUE(std::filesystem::exists(map + "-journal"));

  // A writer that rolls the journal back while info waits: info then reads.
  CvmapProcess info({"info", map});
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(IntegrityCheck(map), "ok");  // a read-write open rolls the journal back
  r = info.Finish();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "tiles: 5\n")) << r.out;
  ASSERT_TRUE(LeaveHotJournal(map));

  r = RunCvmap({"convert", scratch.Path("second"), map});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "10 files seen, 5 tiles stored, 5 already present")) << r.out;
  Tiles all = first;
  all.insert(second.begin(), second.end());
  EXPECT_EQ(Differences(all, ReadTiles(map)), "");
  EXPECT_EQ(IntegrityCheck(map), "ok");
}

// FAULT-2: files that are no map file keep every byte: text, an SQLite
// header over garbage, and a real map file cut short after its first page.
TEST(BadTargetTest, FilesThatAreNoMapFileKeepTheirBytes) {
  Scratch scratch;
  SmallSource(scratch);
  std::string garbage = std::string("SQLite format 3") + '\0';
  for (int i = 0; i < 6000; ++i) garbage.push_back(static_cast<char>((i * 7919) >> 3));
  const std::string text = scratch.File("notes.cvmap", std::string(5000, 'q'));
  const std::string corrupt = scratch.File("corrupt.cvmap", garbage);

  // A map file of 400 rows, cut after its first page: the schema reads, the
  // table's pages are gone.
  const std::string full = scratch.Path("full.cvmap");
  WriteOsmTree(scratch, "big", 4, 100, 300);
  ASSERT_EQ(RunCvmap({"convert", scratch.Path("big"), full, "--quiet"}).exitCode, 0);
  const std::string cut = scratch.File("cut.cvmap", Slurp(full).substr(0, 4096));

  for (const std::string& path : {text, corrupt, cut}) {
    const std::string before = Slurp(path);
    const Outcome r = RunCvmap({"convert", scratch.Path("src"), path, "--layout", "osm"});
    EXPECT_NE(r.exitCode, 0) << path;
    EXPECT_TRUE(Contains(r.err, "not a database") || Contains(r.err, "malformed")) << path << ": " << r.err;
    EXPECT_EQ(Slurp(path), before) << path;
    EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << path;
  }
}

// FAULT-3: a map file that cannot be written (checked as an unprivileged
// user, since root may write anyway): the file itself read-only, or only its
// folder (SQLite keeps its journal there). Refused before the walk with a
// clear message, exit 1, no byte changed. verify still reads it.
TEST(BadTargetTest, ReadOnlyMapFile) {
  if (!UnprivilegedChildWorks()) GTEST_SKIP() << "cannot run cvmap as an unprivileged user here";
  Scratch scratch;
  WriteOsmTree(scratch, "first", 1, 5, 100);
  const Tiles second = WriteOsmTree(scratch, "second", 2, 5, 100);
  struct Case {
    const char* name;
    mode_t fileMode;
    const char* message;
  };
  const Case cases[] = {
      {"ro", 0444, "cannot write to the map file MAP: it is read-only (attempt to write a readonly database)"},
      {"folder", 0666, "cannot write to the map file MAP: its folder FOLDER cannot be written (Permission denied)"},
  };
  RunOptions unprivileged;
  unprivileged.asNobody = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = scratch.Folder(c.name);
    const std::string map = folder + "/m.cvmap";
    ASSERT_EQ(RunCvmap({"convert", scratch.Path("first"), map, "--quiet"}).exitCode, 0);
    ::chmod(map.c_str(), c.fileMode);
    ::chmod(folder.c_str(), 0555);
    const std::string before = Slurp(map);

    const Outcome r = RunCvmap({"convert", scratch.Path("second"), map}, unprivileged);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    std::string message = c.message;
    message.replace(message.find("MAP"), 3, map);
    if (message.find("FOLDER") != std::string::npos) message.replace(message.find("FOLDER"), 6, folder);
    EXPECT_TRUE(Contains(r.err, message)) << r.err;
    EXPECT_TRUE(Contains(r.err, "readonly database") || Contains(r.err, "Permission denied")) << r.err;
    EXPECT_EQ(r.out, "") << "refused after the walk";
    EXPECT_EQ(Slurp(map), before);

    const Outcome checked = RunCvmap({"verify", scratch.Path("first"), map}, unprivileged);
    EXPECT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_EQ(Slurp(map), before);
    ::chmod(folder.c_str(), 0755);
  }
}

// Holds a transaction on a map file from a connection of its own: `sql`
// begins it (a write that adds the row (1, 2, 3, 'locker'), or a read).
class Locker {
 public:
  Locker(const std::string& path, const std::string& sql) {
    sqlite3_open(path.c_str(), &db_);
    ok_ = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~Locker() { sqlite3_close(db_); }
  bool Ok() const { return ok_; }
  bool Commit() { return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK; }

 private:
  sqlite3* db_ = nullptr;  // owned
  bool ok_ = false;        // the transaction (and its row) is in place
};

// FAULT-4: a map file that another connection holds in a write transaction
// (IMMEDIATE, EXCLUSIVE) or in a read transaction: the job waits for the
// lock for the busy timeout, then refuses the file before it walks anything,
// with a message that names the file and says another program is using it;
// exit 1, nothing lost, and the other connection can still commit; a re-run
// then completes the map. A lock given up within the wait is only waited
// for. The runs are made at once, so the test waits only once.
TEST(BadTargetTest, MapLockedByAnotherWriter) {
  Scratch scratch;
  const Tiles first = WriteOsmTree(scratch, "first", 1, 5, 100);
  const Tiles second = WriteOsmTree(scratch, "second", 3, 5, 100);
  const std::string insert = "; INSERT INTO tiles VALUES(1, 2, 3, 'locker', x'00')";
  struct Case {
    std::string name;
    std::string sql;   // what the other connection holds
    bool writes;       // it adds the locker row
  };
  const std::vector<Case> cases = {{"IMMEDIATE", "BEGIN IMMEDIATE" + insert, true},
                                   {"EXCLUSIVE", "BEGIN EXCLUSIVE" + insert, true},
                                   {"reader", "BEGIN; SELECT count(*) FROM tiles", false},
                                   {"released", "BEGIN IMMEDIATE" + insert, true}};
  std::vector<std::unique_ptr<Locker>> lockers;
  std::vector<std::unique_ptr<CvmapProcess>> runs;
  for (const Case& c : cases) {
    const std::string map = scratch.Path(c.name + ".cvmap");
    ASSERT_EQ(RunCvmap({"convert", scratch.Path("first"), map, "--quiet"}).exitCode, 0);
    lockers.push_back(std::make_unique<Locker>(map, c.sql));
    ASSERT_TRUE(lockers.back()->Ok()) << c.name;
  }
  for (const Case& c : cases) {
    runs.push_back(std::make_unique<CvmapProcess>(
        std::vector<std::string>{"convert", scratch.Path("second"), scratch.Path(c.name + ".cvmap"), "--layout", "osm"}));
  }
  const auto held = std::chrono::milliseconds(1500);
  std::this_thread::sleep_for(held);
  ASSERT_TRUE(lockers.back()->Commit());  // "released" gives its lock up within the wait

  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const std::string map = scratch.Path(c.name + ".cvmap");
    const Outcome r = runs[i]->Finish();
    Tiles expected = first;
    if (c.writes) expected[{1, 2, 3, "locker"}] = std::string(1, '\0');
    if (c.name == "released") {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_GE(r.elapsed, held - std::chrono::milliseconds(100));
      expected.insert(second.begin(), second.end());
      EXPECT_EQ(Differences(expected, ReadTiles(map)), "");
      continue;
    }
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "database is locked")) << r.err;
    EXPECT_TRUE(Contains(r.err, "cannot use the map file " + map + ": another program is using it")) << r.err;
    EXPECT_GE(r.elapsed, std::chrono::milliseconds(9500)) << "it did not wait for the lock";
    EXPECT_EQ(r.out, "") << "the refusal came after the walk";
    ASSERT_TRUE(lockers[i]->Commit());
    EXPECT_EQ(Differences(expected, ReadTiles(map)), "");
    EXPECT_EQ(RunCvmap({"convert", scratch.Path("second"), map, "--quiet"}).exitCode, 0);
    expected.insert(second.begin(), second.end());
    EXPECT_EQ(Differences(expected, ReadTiles(map)), "");
    EXPECT_EQ(IntegrityCheck(map), "ok");
  }
}

// FAULT-5: `tiles` tables of other shapes. A row the table refuses for any
// reason but its key is an error with SQLite's text, never "already present"
// (a NOT NULL or CHECK refusal used to be counted as a duplicate, exit 0,
// with nothing stored). A key made by UNIQUE instead of PRIMARY KEY still
// tells duplicates apart.
TEST(BadTargetTest, TilesTablesOfOtherShapes) {
  Scratch scratch;
  const Tiles source = SmallSource(scratch);
  struct Shape {
    const char* name;
    const char* schema;
    const char* message;  // part of SQLite's text; null: the conversion succeeds
  };
  const Shape shapes[] = {
      {"columns", "CREATE TABLE tiles(a, b); INSERT INTO tiles VALUES(1, 2)", "has no column named x"},
      {"notnull",
       "CREATE TABLE tiles(x int, y int, z int, s int, image blob, extra NOT NULL, PRIMARY KEY (x,y,z,s))",
       "NOT NULL constraint failed"},
      {"check", "CREATE TABLE tiles(x int, y int, z int, s int, image blob CHECK (length(image) > 1000))",
       "CHECK constraint failed"},
      {"view", "CREATE TABLE t(x, y, z, s, image); CREATE VIEW tiles AS SELECT * FROM t",
       "cannot modify tiles because it is a view"},
      {"unique", "CREATE TABLE tiles(x int, y int, z int, s int, image blob, UNIQUE (x,y,z,s))", nullptr},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    const std::string map = scratch.Path(std::string(shape.name) + ".cvmap");
    ASSERT_TRUE(RunSql(map, shape.schema));
    const std::string before = Slurp(map);
    const Outcome r = RunCvmap({"convert", scratch.Path("src"), map});
    if (shape.message != nullptr) {
      EXPECT_EQ(r.exitCode, 1) << r.err;
      EXPECT_TRUE(Contains(r.err, shape.message)) << r.err;
      EXPECT_TRUE(Contains(r.out, " 0 tiles stored, 0 already present")) << r.out;
      EXPECT_EQ(Slurp(map), before);
    } else {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(Differences(source, ReadTiles(map)), "");
      const Outcome again = RunCvmap({"convert", scratch.Path("src"), map});
      EXPECT_EQ(again.exitCode, 0) << again.err;
      EXPECT_TRUE(Contains(again.out, "0 tiles stored, 3 already present")) << again.out;
    }
  }
}

}  // namespace
}  // namespace fault_test
