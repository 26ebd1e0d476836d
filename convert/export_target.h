// ExportTarget: where an export (export_job.h) writes the tiles of a map
// file. Two targets exist: a tile tree (tile_tree_target.h) and an MBTiles
// file (mbtiles_target.h); the export job hands each of them every row it
// read, and they decide where the row goes or why it cannot.
//
// Thread-safety: a target is used by the thread that runs the export.
#pragma once

#include <string>

#include "store/map_tile_reader.h"

namespace convert {

// Why a row is not written.
enum class ExportSkip {
  NotOfTarget,  // the target takes no tile of its grid (an MBTiles file: only Web Mercator tiles; --layout)
  NoName,       // no name of its layout reads back to its key (a '_' in its source name, a zoom beyond 99, ...)
  OffGrid,      // MBTiles: not a tile of the Web Mercator grid, or a zoom level above 31
  NoKey,        // x, y or z holds no int, or s holds no name (NULL, a blob)
  NoImage,      // image is NULL
  NotWritten,   // writing this one file failed (no permission in its folder, ...); the export goes on
  OutsideSelection,  // the job's selection leaves the row out (never a target's answer)
};

class ExportTarget {
 public:
  enum class Put {
    Written,         // the tile is in the target now
    AlreadyPresent,  // the target held it already; nothing was changed
    Skipped,         // not written; *skip says why
    Stop,            // a failure that ends the export (a full disk, a database error); *failure says it
  };

  virtual ~ExportTarget() = default;

  // Writes one tile: a row whose key fits (StoredTile::keyFits), whose
  // source is named or Web Mercator, and whose image is not NULL. On Skipped
  // *skip (and for NotWritten *failure, the system's reason) is set; on Stop
  // *failure holds the reason and *code SQLite's result code or the system's
  // error number.
  virtual Put Write(const store::StoredTile& tile, ExportSkip* skip, std::string* failure, int* code) = 0;

  // Called after every row: a target that writes in batches commits the
  // open one when it is due. Returns false when that failed (*failure,
  // *code set); the export then stops.
  virtual bool BatchPoint(std::string* failure, int* code) = 0;

  // Ends the export, stopped or not: commits and describes what was
  // written, or writes it to the disk. Returns false when that failed.
  virtual bool Finish(std::string* failure, int* code) = 0;

  // Tiles reported Written that a failure took back (a rolled-back batch)
  // since the last call; 0 for a target that never takes a tile back.
  virtual long long TakeRolledBack() { return 0; }
};

}  // namespace convert
