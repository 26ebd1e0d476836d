#include "convert/verify_walk.h"

#include <sqlite3.h>

#include <cassert>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "convert/layouts.h"
#include "convert/read_ahead.h"
#include "convert/source_paths.h"
#include "convert/tile_recognizer.h"
#include "convert/tile_selection.h"
#include "convert/tile_source.h"
#include "platform/folder_search.h"
#include "platform/utf.h"
#include "platform/walk_guard.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"
#include "store/tile_lookup.h"

namespace convert {

namespace {

// What one pass keeps from file to file.
struct Walk {
  explicit Walk(VerifyJob& j) : job(j) {}
  VerifyJob& job;                          // not owned
  bool checking = false;                   // the checking pass (else: counting)
  std::unique_ptr<TileRecognizer> recognizer;  // checking: the layout's tile rules; null finds no tile
  std::optional<TileChecker> checker;      // checking: compares each tile with the map
  std::vector<unsigned char> buffer;       // the tile being checked; its capacity is reused
  std::string filePath;                    // its full path; the capacity is reused
  platform::WalkGuard guard;               // folders on the current path (cycle guard)
  ReadAhead* readAhead = nullptr;          // checking: reads the next tiles early; not owned, may be null
};

void Report(Walk& walk, std::string_view path, VerifyFinding finding) {
  walk.checker->Found(NativeRelativePath(path, walk.job.sourceFolder), finding);
}

// Checks one file of the checking pass: recognise, decode, read, compare.
void CheckFile(Walk& walk, const std::string& folderPath, const platform::FolderSearch& search,
               const platform::FolderEntry& entry) {
  std::string& fullPath = walk.filePath;
  JoinPathInto(folderPath, entry.name, &fullPath);
  std::optional<TileKey> key;
  if (walk.recognizer) key = walk.recognizer->Recognize(RelativePath(fullPath, walk.job.sourceFolder), entry.name);
  if (!key) {
    Report(walk, fullPath, VerifyFinding::NotTile);
    return;
  }
  if (walk.job.selection != nullptr && !walk.job.selection->Selects(*key)) {
    Report(walk, fullPath, VerifyFinding::OutsideSelection);
    return;
  }
  if (walk.readAhead != nullptr) walk.readAhead->Reached();
  // The conversion's rules decide which files are read.
  const platform::ReadStatus read = ReadTileFile(search, entry, fullPath, &walk.buffer, walk.checker->LongestValue());
  if (read != platform::ReadStatus::Ok) {
    Report(walk, fullPath, read == platform::ReadStatus::TooLarge ? VerifyFinding::TooLarge : VerifyFinding::Unreadable);
    return;
  }
  walk.checker->Check(*key, walk.buffer.data(), walk.buffer.size(),
                      walk.job.listener != nullptr ? NativeRelativePath(fullPath, walk.job.sourceFolder)
                                                   : std::string_view());
}

// Walks one folder and everything below it, as the conversion does: a
// subfolder is opened relative to its parent's open folder (`parent` and
// `name`), within the system's path limit; a folder already on the path is
// walked as an empty one. Returns false once a stop was requested.
bool WalkFolder(Walk& walk, const std::string& folderPath, const platform::FolderSearch* parent,
                const std::string* name) {
  platform::FolderSearch search;
  bool searching = OpenWalkedFolder(search, folderPath, parent, name);
  // A folder whose listing broke off is checked with the names it gave, but
  // counted as unreadable: the check must not pass on a part of it.
  if ((!searching || search.ListingFailed()) && walk.checking) Report(walk, folderPath, VerifyFinding::FolderUnreadable);
  std::optional<platform::WalkGuard::Scope> scope;  // keeps this folder on the path while it is walked
  if (searching) {
    scope.emplace(walk.guard, search.FolderDevice(), search.FolderInode());
    searching = scope->Entered();
  }
  if (!searching) return walk.job.stopRequested.load() == 0;

  VerifyStats& stats = walk.job.stats;
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    if (entry.isDirectory) {
      if (entry.name != "." && entry.name != "..") WalkFolder(walk, JoinPath(folderPath, entry.name), &search, &entry.name);
    } else if (walk.checking) {
      stats.filesSeen.fetch_add(1, std::memory_order_relaxed);
      CheckFile(walk, folderPath, search, entry);
    } else {
      stats.filesCounted.fetch_add(1, std::memory_order_relaxed);
    }
    if (walk.job.stopRequested.load() != 0) return false;
  }
  return true;
}

}  // namespace

TileChecker::TileChecker(VerifyJob& job) : job_(job), lookup_(*job.database) {
  if (job.database->handle != nullptr) {
    longestValue_ = static_cast<std::uint64_t>(sqlite3_limit(job.database->handle, SQLITE_LIMIT_LENGTH, -1));
  }
}

void TileChecker::Fail(int code, const std::u16string& message) {
  job_.errorCode = code;
  job_.errorText = message;
  job_.stats.failed = true;
  job_.stopRequested = 1;
}

void TileChecker::Found(std::string_view where, VerifyFinding finding) {
  VerifyStats& stats = job_.stats;
  switch (finding) {
    case VerifyFinding::Missing:
      stats.missing.fetch_add(1, std::memory_order_relaxed);
      break;
    case VerifyFinding::Different:
      stats.different.fetch_add(1, std::memory_order_relaxed);
      break;
    case VerifyFinding::NotTile:
      stats.notTiles.fetch_add(1, std::memory_order_relaxed);
      break;
    case VerifyFinding::Unreadable:
      stats.unreadable.fetch_add(1, std::memory_order_relaxed);
      break;
    case VerifyFinding::FolderUnreadable:
      stats.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
      break;
    case VerifyFinding::OutsideSelection:
      stats.outsideSelection.fetch_add(1, std::memory_order_relaxed);
      break;
    case VerifyFinding::TooLarge:
      stats.tooLarge.fetch_add(1, std::memory_order_relaxed);
      break;
  }
  if (job_.listener != nullptr) job_.listener->Found(where, finding);
}

void TileChecker::Check(const TileKey& key, const unsigned char* image, std::size_t size, std::string_view where) {
  store::TileLookup::Outcome outcome;
  try {
    outcome = lookup_.Compare(key, image, size);
  } catch (const SQLite::Error& error) {
    Fail(error.code, error.message);
    return;
  }
  switch (outcome) {
    case store::TileLookup::Outcome::Same:
      job_.stats.identical.fetch_add(1, std::memory_order_relaxed);
      break;
    case store::TileLookup::Outcome::Missing:
      Found(where, VerifyFinding::Missing);
      break;
    case store::TileLookup::Outcome::Different:
      Found(where, VerifyFinding::Different);
      break;
    case store::TileLookup::Outcome::Failed:
      Fail(lookup_.ErrorCode(), lookup_.ErrorMessage());
      break;
  }
}

void VerifyFolderTree(VerifyJob& job) {
  assert(job.database != nullptr);
  if (job.countFirst) {
    Walk counting(job);
    if (!WalkFolder(counting, job.sourceFolder, nullptr, nullptr)) return;
  }
  Walk walk(job);
  walk.checking = true;
  job.stats.checking = true;
  walk.checker.emplace(job);
  if (IsFolderLayout(job.layout)) {
    try {
      walk.recognizer = std::make_unique<TileRecognizer>(job.layout);
    } catch (const std::exception& error) {
      // The patterns are fixed texts; only an engine that cannot compile
      // them gets here, and then no file could be recognised.
      walk.checker->Fail(0, platform::Utf8ToUtf16(error.what()));
      return;
    }
  }
  // A tree found in memory ends the read-ahead after a few hundred tiles;
  // one counted small is not worth its thread.
  ReadAhead readAhead(job.sourceFolder, job.layout, kReadAheadWindow, job.selection);
  const bool large = !job.countFirst || job.stats.filesCounted.load() >= kReadAheadMinFiles;
  if (job.readAhead && walk.recognizer && large && readAhead.Start()) walk.readAhead = &readAhead;
  WalkFolder(walk, job.sourceFolder, nullptr, nullptr);
  readAhead.Stop();
}

void RunVerify(VerifyJob& job) {
  assert(job.database != nullptr);
  MakeTileSource(job.layout)->Verify(job);
}

}  // namespace convert
