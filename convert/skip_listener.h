// SkipListener: hears of every file (or MBTiles row) the converting pass
// does not store, and of every folder it cannot list, so that a user can
// learn which and why.
//
// Thread-safety: called on the worker thread, in walk order, while the job's
// converting pass runs; the listener must not block for long (it delays the
// job) and must not touch the job's database.
#pragma once

#include <string_view>

namespace convert {

enum class SkipReason {
  NotTile,           // the file is no tile of the job's layout
  AlreadyPresent,    // a tile whose key the map file already holds; the stored image stays
  Unreadable,        // a tile that could not be opened or read
  FolderUnreadable,  // a folder that could not be listed (or no longer exists); its files are not in the map
  RowOutsideRange,   // an MBTiles row whose column or row lies outside its zoom level
  RowWithoutData,    // an MBTiles row whose tile_data is NULL
  RowZoomDoesNotFit, // an MBTiles row whose zoom level is no integer of 0 .. 31
  OutsideSelection,  // a tile the job's selection leaves out; never opened
  TooLarge,          // a tile larger than the longest value the map file's SQLite stores
};

class SkipListener {
 public:
  virtual ~SkipListener() = default;

  // `relativePath`: the file's (or folder's) path below the source folder,
  // native bytes, '/'-separated, without a leading '/'; for a row of an
  // MBTiles file its key ("zoom 5, column 3, row 40"). Valid for the call
  // only.
  virtual void Skipped(std::string_view relativePath, SkipReason reason) = 0;
};

}  // namespace convert
