#include "convert/extract_job.h"

#include <sqlite3.h>

#include <algorithm>
#include <cassert>
#include <map>
#include <optional>
#include <utility>

#include "convert/commit_batch.h"
#include "convert/tile_selection.h"
#include "platform/file_writeback.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"
#include "store/tile_inserter.h"
#include "store/write_failure.h"
#include "store/tile_rows.h"

namespace convert {

namespace {

using store::RowKey;
using store::TileBlock;

// The rows of one z and one grid that the selection takes: their bounds.
using BlockKey = std::pair<long long, TileBlock::Grid>;  // z, grid
using Bounds = store::TileRange;

// True when the selection takes the row. Its grid is told by its `s`
// (store/tile_key.h); a row on no grid is taken only when nothing but a
// source list decides, and a source list takes no row without a name.
bool Selected(const SelectionFilter* filter, const RowKey& key, std::u16string* source) {
  if (filter == nullptr) return true;
  const TileSelection& selection = filter->selection();
  const bool named = key.source == store::StoredSource::GeoKukName;
  if (named && selection.sources) {
    *source = platform::Utf8ToUtf16(key.sourceName);
  } else {
    source->clear();
  }
  if (key.source == store::StoredSource::None) {
    return !selection.zooms && !selection.area && !selection.sources;
  }
  if (!key.placeable) {
    // No zoom level and no place: only a source list can decide.
    if (selection.zooms || selection.area) return false;
    return !named || filter->Selects(store::TileGrid::GeoKuk, 0, 0, 0, source);
  }
  // z = 17 - zoom, kept from overflowing for any stored z.
  const long long level = std::clamp(17LL - std::clamp(key.z, -1000LL, 1000LL), -1LL,
                                     static_cast<long long>(kMaxSelectableZoom) + 1);
  const int zoom = static_cast<int>(level);
  if (named) return filter->Selects(store::TileGrid::GeoKuk, zoom, key.x, key.y, source);
  return filter->Selects(store::TileGrid::WebMercator, zoom, key.x, key.y, nullptr);
}

// The rows the counting pass reads: the zoom levels and the area's
// candidate ranges when levels are given, the source names always.
store::RowQuery CountingQuery(const SelectionFilter* filter) {
  store::RowQuery query;
  if (filter == nullptr) return query;
  const TileSelection& selection = filter->selection();
  if (selection.sources) {
    query.sources.emplace();
    for (const std::u16string& name : *selection.sources) query.sources->push_back(platform::Utf16ToUtf8(name));
  }
  if (!selection.zooms) return query;  // an area alone is decided row by row
  query.everything = false;
  for (int zoom = 0; zoom <= kMaxSelectableZoom; ++zoom) {
    if (!selection.zooms->test(static_cast<std::size_t>(zoom))) continue;
    TileBlock block;
    block.z = 17 - zoom;
    const store::AreaOverlap* area = filter->Area();
    if (area == nullptr) {
      query.blocks.push_back(block);
      continue;
    }
    store::TileRange range;
    block.grid = TileBlock::Grid::GeoKuk;
    if (area->GeoKukCandidates(zoom, &range)) {
      block.bounded = true;
      block.x0 = range.x0, block.y0 = range.y0, block.x1 = range.x1, block.y1 = range.y1;
      query.blocks.push_back(block);
    }
    block.grid = TileBlock::Grid::WebMercator;
    block.bounded = false;
    if (zoom > 60) {
      query.blocks.push_back(block);  // no candidate range so fine: decided row by row
    } else if (area->WebMercatorCandidates(zoom, &range)) {
      block.bounded = true;
      block.x0 = range.x0, block.y0 = range.y0, block.x1 = range.x1, block.y1 = range.y1;
      query.blocks.push_back(block);
    }
  }
  return query;
}

class Extraction {
 public:
  explicit Extraction(ExtractJob& job) : job_(job), stats_(job.stats) {}

  void Run() {
    try {
      stats_.rowsInMap = store::CountTileRows(*job_.map);
    } catch (const SQLite::Error& error) {
      NoteFailure(ExtractEnd::ReadFailed, error.code, error.message);
      return;
    }
    stats_.phase = static_cast<int>(ExtractPhase::Counting);
    std::map<BlockKey, Bounds> blocks;
    if (!Count(&blocks)) return;
    if (stats_.selected.load() == 0) {
      job_.end = ExtractEnd::NothingSelected;
      return;
    }
    job_.newMapOpen = store::OpenMapFileForWriting(*job_.newMap, job_.newMapPath);
    if (job_.newMapOpen.status != store::MapOpenStatus::Ready) {
      job_.end = job_.stopRequested.load() != 0 ? ExtractEnd::Stopped : ExtractEnd::NewMapRefused;
      return;
    }
    stats_.phase = static_cast<int>(ExtractPhase::Copying);
    Copy(blocks);
  }

 private:
  // Decides every row from its key; false when reading failed or a stop came.
  bool Count(std::map<BlockKey, Bounds>* blocks) {
    if (job_.selection == nullptr) {
      stats_.selected = stats_.rowsInMap.load();
      stats_.rowsCounted = stats_.rowsInMap.load();
      return true;
    }
    std::optional<store::TileRowReader> reader;
    try {
      reader.emplace(*job_.map, CountingQuery(job_.selection), false);
    } catch (const SQLite::Error& error) {
      NoteFailure(ExtractEnd::ReadFailed, error.code, error.message);
      return false;
    }
    long long decided = 0;
    long long selected = 0;
    for (;;) {
      const store::TileRowReader::Step step = reader->Next();
      if (step == store::TileRowReader::Step::Failed) {
        NoteFailure(ExtractEnd::ReadFailed, reader->ErrorCode(), reader->ErrorMessage());
        return false;
      }
      if (step == store::TileRowReader::Step::Done) break;
      const RowKey key = reader->Key();
      if (Selected(job_.selection, key, &source_)) {
        ++selected;
        if (key.placeable) {
          const BlockKey where{key.z, key.source == store::StoredSource::GeoKukName ? TileBlock::Grid::GeoKuk
                                                                                     : TileBlock::Grid::WebMercator};
          const auto [at, added] = blocks->try_emplace(where, Bounds{key.x, key.y, key.x, key.y});
          if (!added) {
            Bounds& b = at->second;
            b.x0 = std::min(b.x0, key.x), b.x1 = std::max(b.x1, key.x);
            b.y0 = std::min(b.y0, key.y), b.y1 = std::max(b.y1, key.y);
          }
        }
      }
      if ((++decided & 1023) == 0) {
        stats_.rowsCounted = decided;
        stats_.selected = selected;
        if (job_.stopRequested.load() != 0) {
          job_.end = ExtractEnd::Stopped;
          return false;
        }
      }
    }
    stats_.rowsCounted = decided;
    stats_.selected = selected;
    return true;
  }

  // The rows the copying pass reads: within the bounds of the selected rows.
  store::RowQuery CopyingQuery(const std::map<BlockKey, Bounds>& blocks) const {
    store::RowQuery query = CountingQuery(job_.selection);
    const TileSelection* selection = job_.selection != nullptr ? &job_.selection->selection() : nullptr;
    if (selection == nullptr || (!selection->zooms && !selection->area)) return query;
    query.everything = false;
    query.blocks.clear();
    for (const auto& [where, b] : blocks) {
      TileBlock block;
      block.z = where.first;
      block.grid = where.second;
      block.bounded = true;
      block.x0 = b.x0, block.y0 = b.y0, block.x1 = b.x1, block.y1 = b.y1;
      query.blocks.push_back(block);
    }
    return query;
  }

  void Copy(const std::map<BlockKey, Bounds>& blocks) {
    SQLite::Database& out = *job_.newMap;
    std::optional<store::TileRowReader> reader;
    try {
      reader.emplace(*job_.map, CopyingQuery(blocks), true);
    } catch (const SQLite::Error& error) {
      NoteFailure(ExtractEnd::ReadFailed, error.code, error.message);
      return;
    }
    CommitBatch batch(out, job_.commitBatch, job_.commitInterval);
    store::TileInserter inserter(out);
    platform::FileWriteback writeback;
    if (const char* file = sqlite3_db_filename(out.handle, "main")) writeback.Attach(file);
    std::uint64_t bytesSinceWriteback = 0;
    // A stop ends a wait for another program's lock at once.
    const std::atomic<int>* busyStop = out.busyStop();
    out.setBusyStop(&job_.stopRequested);

    bool failed = false;
    while (!failed) {
      if (job_.stopRequested.load() != 0) {
        job_.end = ExtractEnd::Stopped;
        break;
      }
      const store::TileRowReader::Step step = reader->Next();
      if (step == store::TileRowReader::Step::Done) break;
      if (step == store::TileRowReader::Step::Failed) {
        // What was copied so far stays: the commit below keeps it.
        NoteFailure(ExtractEnd::ReadFailed, reader->ErrorCode(), reader->ErrorMessage());
        break;
      }
      if (!Selected(job_.selection, reader->Key(), &source_)) continue;
      batch.BeginIfNone();
      store::TileInserter::Outcome outcome;
      try {
        outcome = inserter.InsertRow(reader->Handle());
      } catch (const SQLite::Error& error) {
        failed = WriteError(batch, error.code, error.message, true);
        continue;
      }
      stats_.rowsDone.fetch_add(1, std::memory_order_relaxed);
      switch (outcome) {
        case store::TileInserter::Outcome::Stored:
          stats_.copied.fetch_add(1, std::memory_order_relaxed);
        {
          const auto bytes = static_cast<std::uint64_t>(sqlite3_column_bytes(reader->Handle(), 4));
          batch.Stored(bytes);
          bytesSinceWriteback += bytes;
        }
          if (bytesSinceWriteback >= job_.writebackStep) {
            writeback.Start();
            bytesSinceWriteback = 0;
          }
          break;
        case store::TileInserter::Outcome::Duplicate:
          stats_.alreadyPresent.fetch_add(1, std::memory_order_relaxed);
          break;
        case store::TileInserter::Outcome::TooBig:
          failed = WriteError(batch, SQLITE_TOOBIG, platform::Utf8ToUtf16(sqlite3_errstr(SQLITE_TOOBIG)), false);
          continue;
        case store::TileInserter::Outcome::Failed:
          failed = WriteError(batch, inserter.ErrorCode(), inserter.ErrorMessage(), false);
          continue;
      }
      if (batch.Due() && !CommitBatchOf(batch)) failed = true;
    }
    reader.reset();
    // The last commit keeps what a stopped job copied, so it waits for a
    // lock as long as any statement would, stop or not.
    out.setBusyStop(busyStop);
    if (!failed) CommitBatchOf(batch);
    // After a full disk or an I/O error SQLite leaves the rollback of the
    // failed batch to the next connection: NEWMAP is opened anew at once so
    // that readers do not meet its journal.
    if (job_.end == ExtractEnd::WriteFailed) job_.rollbackLeft = store::ReopenAfterWriteError(out);
    writeback.Detach();
  }

  bool CommitBatchOf(CommitBatch& batch) {
    int code = 0;
    std::u16string text;
    if (batch.Commit(&code, &text)) return true;
    NoteSizeLimit(batch, code);
    Lose(batch.Pending());
    NoteFailure(ExtractEnd::WriteFailed, code, text);
    return false;
  }

  // A failed insert: the open batch is rolled back with the row (counted as
  // handled here when `countRow`, else already). A wait for another
  // program's lock that a stop cut short is the stop itself. Returns true:
  // the copy ends.
  bool WriteError(CommitBatch& batch, int code, const std::u16string& text, bool countRow) {
    if (countRow) stats_.rowsDone.fetch_add(1, std::memory_order_relaxed);
    stats_.rolledBack.fetch_add(1, std::memory_order_relaxed);
    const bool stopWhileWaiting = job_.stopRequested.load() != 0 && (code & 0xff) == SQLITE_BUSY;
    if (!stopWhileWaiting) NoteSizeLimit(batch, code);
    Lose(batch.RollBack());
    if (stopWhileWaiting) {
      job_.end = ExtractEnd::Stopped;
    } else {
      NoteFailure(ExtractEnd::WriteFailed, code, text);
    }
    return true;
  }

  // Whether the first write failure met NEWMAP's size limit; taken while the
  // failed batch's bytes are still known.
  void NoteSizeLimit(const CommitBatch& batch, int code) {
    if (job_.end == ExtractEnd::ReadFailed || job_.end == ExtractEnd::WriteFailed) return;
    job_.fileSizeLimit = batch.FailedAtSizeLimit(code);
  }

  // Rows stored in a batch that is gone count as rolled back, not copied.
  void Lose(long long rows) {
    stats_.copied.fetch_sub(rows, std::memory_order_relaxed);
    stats_.rolledBack.fetch_add(rows, std::memory_order_relaxed);
  }

  // Keeps the first failure for the outcome.
  void NoteFailure(ExtractEnd end, int code, const std::u16string& text) {
    if (job_.end == ExtractEnd::ReadFailed || job_.end == ExtractEnd::WriteFailed) return;
    job_.end = end;
    job_.errorCode = code;
    job_.errorText = text;
  }


  ExtractJob& job_;         // not owned
  ExtractStats& stats_;     // job_.stats
  std::u16string source_;   // a row's source name, reused
};

}  // namespace

void RunExtract(ExtractJob& job) {
  assert(job.map != nullptr && job.newMap != nullptr);
  job.end = ExtractEnd::Done;
  job.errorCode = 0;
  job.errorText.clear();
  job.fileSizeLimit = false;
  job.rollbackLeft.clear();
  // Both passes read one snapshot of MAP: one read transaction holds them.
  const bool snapshot = job.map->exec(SQLite::kBeginTransactionSql) == SQLITE_OK;
  Extraction(job).Run();
  if (snapshot) job.map->exec(SQLite::kCommitSql);
}

}  // namespace convert
