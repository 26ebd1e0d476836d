// ConvertingPassScope: the converting pass of a conversion job as every tile
// source runs it (tile_source.h). While the scope lives, the source hands it
// its items in order; the scope stores the tiles exactly as the folder walk
// does (the same insert, batch rule, writeback, skip reports and database
// error path, conversion_job.h), so that no source has rules of its own.
//
//   Met()       an item of the source (a file, a row): raises the count
//   Store()     a tile: its key and bytes, inserted in the open batch
//   Skipped()   an item that is no tile to store, and why
//   GroupEnd()  a place where a batch may be committed and the progress
//               posted (a folder's end, a run of rows); `last` at the end
//               of the source, which always commits
// The scope's end commits what is still open: a stopped pass keeps what it
// stored.
//
// Thread-safety: made, used and destroyed on the worker's thread.
//
// Invariants:
//  1. While the scope lives, job.walkState is its state; afterwards null.
//  2. A stop of the job ends every wait for another program's lock at once,
//     but for the last commit, which waits as any statement would.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "convert/conversion_job.h"
#include "convert/skip_listener.h"
#include "store/tile_key.h"

namespace convert {

class ConvertingPassScope {
 public:
  // Prepares the pass for `job` (not owned). REQUIRES: job.database != nullptr,
  // no walk of the job is running.
  explicit ConvertingPassScope(ConversionJob& job);
  ~ConvertingPassScope();
  ConvertingPassScope(const ConvertingPassScope&) = delete;
  ConvertingPassScope& operator=(const ConvertingPassScope&) = delete;

  void Met();
  // `where` names the item for the skip listener (valid for the call).
  void Store(const store::TileKey& key, const unsigned char* image, std::size_t size, std::string_view where);
  void Skipped(std::string_view where, SkipReason reason);
  // Returns false when a failed commit stopped the job.
  bool GroupEnd(bool last);

  // SQLite's limit on a value's bytes: a longer image can never be stored.
  std::uint64_t LongestValue() const;

 private:
  ConversionJob& job_;                      // not owned
  std::unique_ptr<WalkState> state_;        // the pass's state (conversion_job.cpp)
  const std::atomic<int>* busyStop_;        // the database's stop flag before the pass, restored at its end
};

// The error path of a source that cannot be read (an MBTiles file that
// vanished or is damaged): the job stops, SQLite's text is shown once
// (through the job's messageBoxes) and kept as the stop reason, and
// stats.sourceErrors and databaseErrors count it. What was stored stays.
void StopOnSourceError(ConversionJob& job, int code, const std::u16string& message);

}  // namespace convert
