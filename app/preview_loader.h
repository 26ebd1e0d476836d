// PreviewLoader: reads what the preview draws, on two worker threads, and
// reports by queued signals, so the window thread never waits for the disk.
//
//   index thread  opens the target and sends its quick index (indexReady);
//   count thread  then counts every tile in the background (countProgress,
//                 countReady) unless paused, at a lower priority than the
//                 other two, so that it never holds up what the view shows;
//   tile thread   reads and decodes the tiles the view wants now, most
//                 wanted first (tileLoaded, tileMissing); a new wish
//                 replaces the old one, so a tile that scrolled out of view
//                 is never read.
// Each thread has its own convert::PreviewSource on the target. Every
// signal carries the generation of the target it is about; Open() starts a
// new generation and stops what the old one was doing.
//
// Paused (during a conversion): the count waits, and a map file is not read
// at all, so the preview never holds a lock the job waits for.
//
// Thread-safety: every member function runs on the window thread; the
// signals are emitted on the workers and delivered queued to receivers on
// the window thread.
//
// Invariants:
//  1. The threads are joined before the loader is destroyed; no signal is
//     emitted after.
//  2. A tile is read at most once per wish that names it.
#pragma once

#include <QImage>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/preview_grid.h"
#include "convert/preview_source.h"

namespace app {

// What a preview reads.
struct PreviewTarget {
  enum Kind {
    None,     // nothing
    Tree,     // the source of `layout`: a folder tree, or an MBTiles file
    MapFile,  // a map file
  };
  Kind kind = None;
  std::string path;  // native path
  int layout = -1;   // Tree: LayoutGeoKuk, LayoutOsmTrackerStorage, LayoutTms or LayoutMbtiles
  bool operator==(const PreviewTarget&) const = default;
};

using IndexPtr = std::shared_ptr<const convert::PreviewIndex>;
using CountPtr = std::shared_ptr<const convert::PreviewCount>;

class PreviewLoader : public QObject {
  Q_OBJECT

 public:
  explicit PreviewLoader(QObject* parent = nullptr);
  ~PreviewLoader() override;

  // Starts reading `target` as a new generation, which it returns.
  int Open(const PreviewTarget& target);
  int Generation() const { return generation_; }
  const PreviewTarget& Target() const { return target_; }

  // The tiles the view wants now, most wanted first, and the size it draws
  // them at: a larger image is decoded down to `pixels` on a side.
  void Want(std::vector<convert::PreviewTile> tiles, int pixels);

  void SetPaused(bool paused);

  // For tests and benchmarks: what the tile thread's source has read in the
  // current generation (files of a tree, rows of a map file).
  long long TileReads() const { return tileReads_.load(); }

 signals:
  void indexReady(int generation, app::IndexPtr index, bool opened, QString why);
  void countProgress(int generation, qlonglong tiles);
  void countReady(int generation, app::CountPtr count);
  // `whole`: the image at its own size, not decoded down.
  void tileLoaded(int generation, convert::PreviewTile tile, QImage image, bool whole);
  void tileMissing(int generation, convert::PreviewTile tile);

 private:
  void IndexThread();
  void CountThread();
  void TileThread();
  // A source on the target, or null (with *why) when it cannot be opened.
  static std::unique_ptr<convert::PreviewSource> OpenSource(const PreviewTarget& target, std::string* why);

  PreviewTarget target_;  // window thread: the target of the current generation
  int generation_ = 0;    // window thread: the current generation

  // Shared with the workers, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;                 // a new target, wish, pause change or the end
  PreviewTarget pendingTarget_;                  // the newest target
  int pendingGeneration_ = 0;                    // its generation
  std::vector<convert::PreviewTile> wanted_;     // the newest wish, most wanted last (popped from the back)
  int wishGeneration_ = 0;                       // the generation the wish belongs to
  int wishPixels_ = convert::kPreviewTilePixels; // the wish's drawn size of a tile
  int countGeneration_ = 0;                      // the generation whose index is out: the count thread's work
  bool paused_ = false;                          // a conversion runs
  bool ending_ = false;                          // the loader is being destroyed

  std::atomic<int> indexStop_{0};   // stops the index thread's source (a new target or the end)
  std::atomic<int> countStop_{0};   // stops the count thread's source (a new target or the end)
  std::atomic<int> tileStop_{0};    // stops the tile thread's source's waits for a lock
  std::atomic<long long> tileReads_{0};  // see TileReads()

  std::thread indexThread_;  // joined by the destructor
  std::thread countThread_;  // joined by the destructor
  std::thread tileThread_;   // joined by the destructor
};

}  // namespace app
