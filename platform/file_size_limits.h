// How large a file may grow: the file system's own limit (FAT holds no file
// of 4 GiB or more, and memory cards are mostly FAT) and the process's file
// size limit (RLIMIT_FSIZE, `ulimit -f`), and the signal that limit sends.
//
// The file system of a path is looked up in a mount table (the text of
// /proc/self/mounts), which the caller passes in, so that the lookup can be
// tried on any table without mounting anything.
//
// Thread-safety: pure functions, except IgnoreFileSizeSignal() (process-wide,
// call it at start-up before any thread is started).
//
// Invariants:
//  1. FileSystemTypeOf() picks the mount whose mount point is the longest
//     whole-folder prefix of the path; of equal mount points the last one
//     listed (the one mounted on top) wins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The largest file a FAT file system holds: 4 GiB less one byte.
inline constexpr std::uint64_t kFatLargestFile = 0xFFFFFFFFull;

// A write past the process's file size limit raises SIGXFSZ, whose default
// action ends the process at once: no rollback, no summary. Ignoring it makes
// such a write fail with EFBIG instead, which SQLite reports as an error the
// program can handle.
void IgnoreFileSizeSignal();

// The process's file size limit in bytes (the soft RLIMIT_FSIZE), or
// UINT64_MAX when there is none.
std::uint64_t ProcessFileSizeLimit();

// The text of the system's mount table (/proc/self/mounts); "" when it
// cannot be read.
std::string ReadMountTable();

// The type of the file system (the mount table's third field, e.g. "ext4",
// "vfat", "fuse.fusefat") that holds `path`, a file or folder that need not
// exist yet: its folder is resolved (links followed) and the mount with the
// longest mount point above it is taken. "" when the table names none.
std::string FileSystemTypeOf(const std::string& path, std::string_view mountTable);

// True for the types of FAT file systems: "vfat", "msdos", "fuse.fusefat".
bool IsFatFileSystemType(std::string_view type);

}  // namespace platform
