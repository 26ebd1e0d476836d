// VerifyJob: checks that a map file holds every tile of a source tree (or
// of an MBTiles file), under its key and with the same bytes, without
// writing anything.
//
// The walk is the conversion's walk: the same folder search (entries in the
// same order), the same descent (each subfolder walked where it is met, depth
// first, never into a folder already on the path), and the same rules for
// what is a tile, what its key is and which files can be read. So a tile that
// the conversion stores is a tile that the check looks for, and two files of
// one key are met in the same order: the first is the one the map holds, a
// later one with other bytes is reported as different.
//
// The check reads each tile whole and compares it byte for byte with the
// image stored under its key, through one prepared SELECT that is reused.
// As the converting pass does, it reads ahead (read_ahead.h), so a cold
// tree is read from disk many tiles at a time.
// A counting pass that only counts files may run first, for a progress line.
// With a selection only the tiles it takes are checked: the others are
// counted as outside the selection, decided from the key, and never opened.
//
// Thread-safety: the caller fills the job, then runs RunVerify() on one
// thread (a worker); while it runs, other threads only set stopRequested and
// read `stats`. The listener is called on the thread that runs the walk.
//
// Invariants:
//  1. The database is only read: no statement but the SELECT runs on it.
//  2. Every file met in the checking pass is counted exactly once in
//     identical, missing, different, notTiles, unreadable, tooLarge or
//     outsideSelection, unless a read of
//     the map file failed (then `failed` is set and the walk stopped).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/tile_key.h"
#include "store/tile_lookup.h"

namespace SQLite {
class Database;
}

namespace convert {

using TileKey = store::TileKey;
class SelectionFilter;

enum class VerifyFinding {
  Missing,           // a tile whose key the map does not hold
  Different,         // a tile whose key the map holds with other bytes
  NotTile,           // a file that is no tile of the layout
  Unreadable,        // a tile that could not be read
  FolderUnreadable,  // a folder that could not be listed
  OutsideSelection,  // a tile the job's selection leaves out; not checked, never opened
  TooLarge,          // a tile larger than the longest value SQLite stores (so never in a map)
};

// Gets every file (and folder) that is not a tile found identical, in walk
// order. relativePath: native bytes relative to the source folder, '/'
// between names, no leading '/'.
class VerifyListener {
 public:
  virtual ~VerifyListener() = default;
  virtual void Found(std::string_view relativePath, VerifyFinding finding) = 0;
};

// Counters, written by the walk and readable from any thread at any time.
struct VerifyStats {
  std::atomic<bool> checking{false};          // the checking pass runs (after the counting pass)
  std::atomic<long long> filesCounted{0};     // counting pass: files met so far
  std::atomic<long long> filesSeen{0};        // checking pass: files met so far
  std::atomic<long long> identical{0};        // tiles held with the same bytes
  std::atomic<long long> missing{0};          // tiles whose key is not held
  std::atomic<long long> different{0};        // tiles held with other bytes
  std::atomic<long long> notTiles{0};         // files that are not tiles of the layout
  std::atomic<long long> unreadable{0};       // tiles that could not be read
  std::atomic<long long> tooLarge{0};         // tiles larger than the longest value SQLite stores
  std::atomic<long long> unreadableFolders{0};  // folders that could not be listed
  std::atomic<long long> outsideSelection{0};   // tiles the selection leaves out (not checked)
  std::atomic<bool> failed{false};            // a read of the map file failed; the walk stopped

  long long TilesChecked() const { return identical.load() + missing.load() + different.load(); }
};

struct VerifyJob {
  int layout = 0;                          // a Layout; any other value finds no tile
  std::string sourceFolder;                // native path, as the user gave it: the folder, or the MBTiles file
  SQLite::Database* database = nullptr;    // not owned; the map file, open (read-only is enough)
  VerifyListener* listener = nullptr;      // not owned, may be null
  const SelectionFilter* selection = nullptr;  // not owned; null takes every tile
  bool countFirst = false;                 // run the counting pass first
  bool readAhead = true;                   // read the next tiles from disk early (ReadAhead) while checking
  std::atomic<int> stopRequested{0};       // set by any thread; read after every entry
  VerifyStats stats;                       // what the walk found so far
  std::u16string errorText;                // when stats.failed: SQLite's text; read once the walk has ended
  int errorCode = 0;                       // when stats.failed: SQLite's result code
  bool sourceFailed = false;               // when stats.failed: reading the source failed (an MBTiles file), not the map
};

// Runs the job through the source its layout names (tile_source.h): the
// counting pass if asked for, then the checking pass.
// REQUIRES: job.database != nullptr.
void RunVerify(VerifyJob& job);

// The check of a folder tree of the job's layout: the walk described above.
// REQUIRES: job.database != nullptr.
void VerifyFolderTree(VerifyJob& job);

// TileChecker: the checking pass's handling of one item, as every source
// (tile_source.h) uses it: a tile is compared byte for byte with the image
// the map holds under its key, through one reused SELECT; every item is
// counted once in the job's stats and, when it is not found identical,
// told to the listener.
class TileChecker {
 public:
  explicit TileChecker(VerifyJob& job);  // not owned; REQUIRES: job.database != nullptr

  // Compares the tile. A read of the map that fails stops the check (Fail).
  // `where` names the tile for the listener (valid for the call).
  void Check(const TileKey& key, const unsigned char* image, std::size_t size, std::string_view where);
  // An item that is no tile found identical: counted by `finding` and told.
  void Found(std::string_view where, VerifyFinding finding);
  // Ends the check as failed, with SQLite's code and text.
  void Fail(int code, const std::u16string& message);

  // SQLite's limit on a value's bytes: a longer tile can never be stored.
  std::uint64_t LongestValue() const { return longestValue_; }

 private:
  VerifyJob& job_;                          // not owned
  store::TileLookup lookup_;                // the reused SELECT
  std::uint64_t longestValue_ = UINT64_MAX; // see LongestValue()
};

}  // namespace convert
