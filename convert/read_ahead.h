// ReadAhead: starts reading the tiles of a converting pass from disk before
// the pass reaches them, so that on a cold cache the worker finds them in
// memory instead of waiting for each one in turn.
//
// A helper thread walks the source tree ahead of the worker, in the same
// order (name order, subfolders where they come, the same cycle guard and
// tile rules), and asks the kernel to start reading every tile it meets
// (platform::PrefetchFileAt: no wait for the disk, nothing copied into
// process memory). Many reads are then in flight at once, which a disk
// serves far faster than one read after the other. The worker still reads
// and stores every file itself, exactly as without the read-ahead: insert
// order, transactions and stored rows never depend on it, and a file that
// changes or vanishes is handled as always.
//
// The helper stays at most `windowBytes` of tile data ahead of the worker
// (the worker reports each tile it reaches with Reached()), so what it reads
// is still in memory when the worker comes to it. It ends by itself when the
// tree turns out to be in memory already (a run of kWarmRun tiles found
// cached): a warm tree pays for a few hundred extra opens, no more.
//
// Thread-safety: Start(), Stop() and the destructor belong to the worker's
// thread; Reached() is called by the worker only and costs one relaxed
// atomic add, no system call and no lock. The helper touches nothing of the
// job but its own copy of the source folder and layout.
//
// Invariants:
//  1. The helper never opens a file that is not a regular file or that the
//     selection leaves out, and never reads file content into process memory.
//  2. After Stop() returns, the helper thread has ended.
//  3. The tiles the helper has passed but the worker has not reached hold at
//     most windowBytes, but for the one tile that crossed the bound.
//  4. The helper holds at most kReadAheadMaxDepth + 2 descriptors at once,
//     and never asks for a file larger than windowBytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include "platform/worker_thread.h"

namespace platform {
class FolderSearch;
struct FolderEntry;
}  // namespace platform

namespace convert {

class SelectionFilter;

// The default of ConversionJob::readAheadWindow: tile data the read-ahead
// may be ahead of the worker.
inline constexpr std::uint64_t kReadAheadWindow = 64u << 20;

// Below this many files a tree is read without read-ahead: its helper
// thread would cost more than it could win (ConversionJob::readAheadMinFiles).
inline constexpr long long kReadAheadMinFiles = 2000;

// Folder levels below the source folder the helper goes into. Each level
// it walks keeps one folder open, as the worker's walk does; a tree deeper
// than real caches (a few levels) would otherwise make the two together use
// up the process's descriptors and the worker fail to open a folder. Tiles
// deeper down are read by the worker as they come.
inline constexpr int kReadAheadMaxDepth = 32;

// Tiles in a row found in memory after which the read-ahead ends.
inline constexpr int kWarmRun = 256;

class ReadAhead {
 public:
  // Prepares a read-ahead of the tiles of `layout` below `sourceFolder`;
  // with a selection (not owned, may be null; it must outlive the helper)
  // only of the tiles it takes, which are the ones the worker reaches.
  ReadAhead(std::string sourceFolder, int layout, std::uint64_t windowBytes,
            const SelectionFilter* selection = nullptr);
  ~ReadAhead();  // stops the helper
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts the helper thread. Returns false (and the pass simply runs
  // without read-ahead) when it cannot be started.
  bool Start();

  // The worker has reached one more tile (recognised and selected, about to
  // be read or given up), in walk order.
  void Reached() { reached_.fetch_add(1, std::memory_order_relaxed); }

  // Asks the helper to end and waits for it; it ends after the file it is
  // handling. Safe to call more than once, and without Start().
  void Stop();

  // For tests and benchmarks: tiles whose reading the helper started, and
  // tiles it found in memory already.
  long long Started() const { return started_.load(std::memory_order_relaxed); }
  long long FoundCached() const { return cached_.load(std::memory_order_relaxed); }

 private:
  struct Walk;  // the helper's walk state (read_ahead.cpp)
  void Run();   // the helper thread's routine
  // Walks one folder and those below it; `parent` and `name`, when given,
  // open it relative to its parent's open folder, as the job does.
  void WalkFolder(Walk& walk, const std::string& path, const platform::FolderSearch* parent, const std::string* name,
                  int depth);
  // Waits while the helper is a window ahead, then starts reading one tile.
  void Prefetch(Walk& walk, const platform::FolderSearch& search, const platform::FolderEntry& entry,
                const std::string& filePath);

  const std::string sourceFolder_;     // the job's source folder, copied
  const int layout_;                   // the job's layout
  const std::uint64_t windowBytes_;    // how far ahead the helper may be
  const SelectionFilter* selection_;   // not owned, may be null: the tiles the job takes
  std::atomic<long long> reached_{0};  // tiles the worker has reached
  std::atomic<bool> quit_{false};      // set by Stop()
  std::atomic<long long> started_{0};  // tiles whose reading the helper started
  std::atomic<long long> cached_{0};   // tiles the helper found in memory
  platform::WorkerThread thread_;      // the helper
};

}  // namespace convert
