// The source folder probe: decides cheaply whether a folder holds tiles of a
// known layout, and which layout, from the first file met on a depth-first
// descent that always takes the first subfolder (in the order the file system
// returns entries).
//
// The window calls it when it refreshes the source folder state; `cvmap probe`
// and `cvmap convert --layout auto` call it too.
//
// Thread-safety: no shared state; may run on any thread.
//
// Invariants:
//  1. At most one file is tested and at most one folder per level is opened;
//     each level's search is closed before the probe descends or tests.
//  2. *layoutChoice is written only when autoDetect is true and a file was
//     recognised; it is left unchanged otherwise.
//  3. A folder that cannot be read, an empty folder, and a folder already on
//     the descent (a folder symlink that leads back up) are accepted.
#pragma once

#include <string>

namespace convert {

struct ProbeOutcome {
  bool accepted = true;      // false: the deciding file is no tile of either layout
  std::string decidingFile;  // native path of the file that decided, or empty when none was met
};

// Probes `path`. `sourcePath` is the source folder as the user gave it (the
// relative paths are formed against it). When autoDetect is true and the
// deciding file is a GeoKuk tile, *layoutChoice becomes LayoutGeoKuk; when it
// is an OSM Tracker Storage tile (probe pattern), LayoutOsmTrackerStorage.
// Returns true when the folder is acceptable as a source. When decidingFile is
// not null it receives the native path of the file tested, or "" if none.
// REQUIRES: layoutChoice != nullptr.
bool ProbeSourceFolder(const std::string& path, const std::string& sourcePath, bool autoDetect,
                       int* layoutChoice, std::string* decidingFile = nullptr);

// The same probe with autoDetect on, starting at sourcePath itself; the
// detected layout goes to *layoutChoice. REQUIRES: layoutChoice != nullptr.
ProbeOutcome ProbeSource(const std::string& sourcePath, int* layoutChoice);

}  // namespace convert
