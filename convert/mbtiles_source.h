// MbtilesSource: an MBTiles file (store/mbtiles.h) as the source of a
// conversion or of a check (tile_source.h). The file at the job's
// sourceFolder is opened read-only (store/mbtiles_reader.h: it is never
// changed, and nothing is left beside it) and its rows are read in key order
// with one statement. Each row is one item of the job, counted as the
// folder walk counts files:
//
//   a tile     x = tile_column, y = 2^zoom - 1 - tile_row, z = 17 - zoom,
//              s = 0, the bytes of tile_data unchanged
//   no tile    tile_data NULL, a column or row outside its zoom level, or a
//              zoom level that is no integer of 0 .. 31: skipped, counted
//              (not tiles, and by reason) and told to the listener
// A tile the job's selection leaves out is counted as outside it.
//
// The counting pass is one count of the rows. The converting pass posts
// its progress every kRowsPerGroup rows, where the batch rule may commit.
// A file that cannot be opened or read any more stops the job through the
// source error path (StopOnSourceError, or a failed check).
//
// Thread-safety: used by the thread that runs the job.
#pragma once

#include "convert/tile_source.h"
#include "store/sqlite_database.h"

namespace convert {

// Rows between two progress notices of the converting pass.
inline constexpr long long kRowsPerGroup = 512;

class MbtilesSource : public TileSource {
 public:
  void Convert(ConversionJob& job, int pass) override;
  void Verify(VerifyJob& job) override;

 private:
  // Opens the file at `path` once (later calls return at once); on failure
  // *why holds the reason, as text for a message.
  bool Open(const std::string& path, const std::atomic<int>* stop, std::u16string* why);

  SQLite::Database db_;  // the MBTiles file, read-only
  bool open_ = false;    // db_ holds it
};

}  // namespace convert
