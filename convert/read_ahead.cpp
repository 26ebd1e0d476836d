#include "convert/read_ahead.h"

#include <limits.h>

#include <chrono>
#include <deque>
#include <optional>
#include <thread>

#include "convert/source_paths.h"
#include "convert/tile_recognizer.h"
#include "convert/tile_selection.h"
#include "platform/folder_search.h"
#include "platform/walk_guard.h"

namespace convert {

namespace {
// How long the helper sleeps while it is a window ahead of the worker. The
// worker never wakes it: polling keeps every cost on the helper's side.
constexpr std::chrono::microseconds kWindowPoll{500};
}  // namespace

struct ReadAhead::Walk {
  explicit Walk(int layout) : recognizer(layout) {}
  TileRecognizer recognizer;       // the converting pass's tile rules
  platform::WalkGuard guard;       // folders on the helper's current path
  std::deque<std::uint64_t> sizes; // sizes of the tiles passed but not yet reached, oldest first
  long long passed = 0;            // tiles the helper has passed
  std::uint64_t aheadBytes = 0;    // the sum of `sizes`
  int cachedRun = 0;               // tiles in a row found in memory
  bool done = false;               // stop walking: quit asked, or the tree is in memory
};

ReadAhead::ReadAhead(std::string sourceFolder, int layout, std::uint64_t windowBytes,
                     const SelectionFilter* selection)
    : sourceFolder_(std::move(sourceFolder)), layout_(layout), windowBytes_(windowBytes), selection_(selection) {}

ReadAhead::~ReadAhead() { Stop(); }

bool ReadAhead::Start() {
  quit_ = false;
  return thread_.Start([this] { Run(); });
}

void ReadAhead::Stop() {
  quit_ = true;
  thread_.Join();
}

void ReadAhead::Run() {
  std::optional<Walk> walk;
  try {
    walk.emplace(layout_);
  } catch (...) {
    return;  // the pattern does not compile: the worker reports that itself
  }
  if (!walk->recognizer.KnowsLayout()) return;

  WalkFolder(*walk, sourceFolder_, nullptr, nullptr, 0);
}

void ReadAhead::WalkFolder(Walk& w, const std::string& path, const platform::FolderSearch* parent,
                           const std::string* name, int depth) {
  platform::FolderSearch search;
  if (!OpenWalkedFolder(search, path, parent, name)) return;
  platform::WalkGuard::Scope scope(w.guard, search.FolderDevice(), search.FolderInode());
  if (!scope.Entered()) return;
  platform::FolderEntry entry;
  std::string filePath;
  while (!w.done && search.Next(&entry)) {
    if (quit_.load(std::memory_order_relaxed)) {
      w.done = true;
      break;
    }
    if (entry.isDirectory) {
      // Deeper folders are left to the worker; their tiles are not counted,
      // so the helper runs that many tiles further ahead, no more.
      if (entry.name != "." && entry.name != ".." && depth < kReadAheadMaxDepth) {
        WalkFolder(w, JoinPath(path, entry.name), &search, &entry.name, depth + 1);
      }
      continue;
    }
    JoinPathInto(path, entry.name, &filePath);
    const std::optional<TileKey> key = w.recognizer.Recognize(RelativePath(filePath, sourceFolder_), entry.name);
    if (key && (selection_ == nullptr || selection_->Selects(*key))) Prefetch(w, search, entry, filePath);
  }
}

void ReadAhead::Prefetch(Walk& w, const platform::FolderSearch& search, const platform::FolderEntry& entry,
                         const std::string& filePath) {
  // Forget the tiles the worker has reached, then wait while a window ahead.
  for (;;) {
    const long long reached = reached_.load(std::memory_order_relaxed);
    while (!w.sizes.empty() && w.passed - static_cast<long long>(w.sizes.size()) < reached) {
      w.aheadBytes -= w.sizes.front();
      w.sizes.pop_front();
    }
    if (w.aheadBytes <= windowBytes_ || quit_.load(std::memory_order_relaxed)) break;
    std::this_thread::sleep_for(kWindowPoll);
  }
  if (quit_.load(std::memory_order_relaxed)) {
    w.done = true;
    return;
  }
  std::uint64_t size = 0;
  platform::PrefetchStatus status = platform::PrefetchStatus::Skipped;
  if (entry.kind == platform::EntryKind::Regular && filePath.size() < PATH_MAX) {
    status = search.PrefetchEntry(entry.name, windowBytes_, &size);
  }
  // A file left alone (too large, not regular) takes no room in the window.
  if (status == platform::PrefetchStatus::Skipped) size = 0;
  ++w.passed;
  w.sizes.push_back(size);
  w.aheadBytes += size;
  if (status == platform::PrefetchStatus::Started) {
    started_.fetch_add(1, std::memory_order_relaxed);
    w.cachedRun = 0;
  } else if (status == platform::PrefetchStatus::Cached) {
    cached_.fetch_add(1, std::memory_order_relaxed);
    if (++w.cachedRun >= kWarmRun) w.done = true;  // the tree is in memory: nothing left to gain
  }
}

}  // namespace convert
