// MbtilesTarget: exports the Web Mercator tiles of a map file into an
// MBTiles file (store/mbtiles_writer.h); a tile of a named source (GeoKuk's
// grid) has no place there and is skipped (NotOfTarget).
//
// Rows go in in batches, one transaction each, committed on the conversion
// job's rule (CommitBatch: kCommitBatch tiles, or kCommitInterval open):
// every commit
// also brings the metadata up to date (name, format, bounds, minzoom,
// maxzoom of the tiles written), so that the file is a whole MBTiles file
// after any commit, also after a stop or a failure. A failure rolls the open
// batch back and ends the export. The file's writeback is started every
// kWritebackStep bytes, as the conversion does for its map file.
//
// Thread-safety: used by the thread that runs the export.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "convert/commit_batch.h"
#include "convert/export_target.h"
#include "convert/image_format.h"
#include "platform/file_writeback.h"
#include "store/mbtiles_writer.h"

namespace SQLite {
class Database;
}

namespace convert {

class MbtilesTarget : public ExportTarget {
 public:
  // `db`: the MBTiles file, open as store::OpenMbtilesForWriting leaves it
  // (not owned). `name` becomes its metadata "name"; `created` tells that
  // the export made the file, whose metadata is then wholly its own.
  MbtilesTarget(SQLite::Database& db, std::string name, bool created);
  ~MbtilesTarget() override;

  Put Write(const store::StoredTile& tile, ExportSkip* skip, std::string* failure, int* code) override;
  bool BatchPoint(std::string* failure, int* code) override;
  bool Finish(std::string* failure, int* code) override;
  long long TakeRolledBack() override;

  // The tiles written, by ImageFormat, for a word on a file of mixed
  // formats (its metadata can name one).
  const std::array<long long, kImageFormatCount>& FormatCounts() const { return formats_; }
  // The format the metadata names.
  ImageFormat MetadataFormat() const;

  // After a failure: whether the file reached the largest file its file
  // system (or the process) allows, and why the failed batch could not be
  // rolled back out of it yet ("" when it was).
  bool FileSizeLimit() const { return fileSizeLimit_; }
  const std::string& RollbackLeft() const { return rollbackLeft_; }

 private:
  bool Commit(std::string* failure, int* code);
  // Rolls the open batch back after a failure with SQLite's code `rc` and
  // text `text`.
  void RollBack(int rc, const std::string& text, std::string* failure, int* code);
  // Opens the file anew after a failed write, which completes its rollback.
  void FinishRollback();

  SQLite::Database& db_;                        // not owned
  store::MbtilesWriter writer_;                 // the prepared insert
  std::string name_;                            // the metadata "name"
  bool created_;                                // the export made the file
  CommitBatch batch_;                           // the open transaction and its tiles
  long long rolledBack_ = 0;                    // tiles taken back, not yet taken by TakeRolledBack()
  std::array<long long, kImageFormatCount> formats_{};  // tiles written by format
  store::MbtilesExtent extent_;                 // what they cover
  platform::FileWriteback writeback_;           // starts the file's writing to disk early
  std::uint64_t bytesSinceWriteback_ = 0;       // tile bytes written since it was last started
  bool fileSizeLimit_ = false;                  // a failure met the largest file allowed
  std::string rollbackLeft_;                    // why a failed batch is still in the file; "" when none
};

}  // namespace convert
