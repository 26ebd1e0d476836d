// The source folder probe: decides cheaply whether a folder holds tiles of a
// known layout, and which layout, from the first file met on a depth-first
// descent that always takes the first subfolder (in the order the file system
// lists entries: name order, platform/folder_search.h). Names beginning with
// "." are passed over: they are hidden files and folders of other programs
// (".nomedia", ".DS_Store", ".thumbnails"), never tiles. A source that is a
// file is detected as an MBTiles file by its content (store/
// mbtiles_reader.h), not its name; any other file is accepted with no
// layout, as a folder that cannot be searched is. TMS is never detected (its
// names are OSM Tracker Storage's); a tree with a tilemapresource.xml is
// pointed out.
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

#include <cstddef>
#include <string>
#include <vector>

namespace convert {

struct ProbeOutcome {
  bool accepted = true;      // false: the deciding file is no tile of either layout
  std::string decidingFile;  // native path of the file that decided, or empty when none was met
  bool folderEmpty = false;  // the source folder itself holds no entry but hidden ones (see above)
  bool tileMapResource = false;  // the source folder holds a "tilemapresource.xml": its tree is most likely TMS
};

// The file a tile cutter writes beside a TMS tree (rows numbered from the
// south), which the names of the tiles cannot tell from OSM Tracker
// Storage's.
inline constexpr char kTileMapResourceName[] = "tilemapresource.xml";

// A folder below a refused source that would be accepted, with its layout.
struct SourceSuggestion {
  std::string folder;  // native path: the source folder joined with one or two entry names
  int layout = -1;     // the layout the probe detects there (LayoutGeoKuk, LayoutOsmTrackerStorage)
};

// True for a name the probe passes over: one that begins with ".".
inline bool IsHiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

// Probes `path`. `sourcePath` is the source folder as the user gave it (the
// relative paths are formed against it). When autoDetect is true and the
// deciding file is a GeoKuk tile, *layoutChoice becomes LayoutGeoKuk; when it
// is an OSM Tracker Storage tile (probe pattern), LayoutOsmTrackerStorage.
// When `path` itself is a file, it is accepted; when it is an MBTiles file
// it is the deciding file and its layout LayoutMbtiles.
// Returns true when the folder is acceptable as a source. When decidingFile is
// not null it receives the native path of the file tested, or "" if none.
// REQUIRES: layoutChoice != nullptr.
bool ProbeSourceFolder(const std::string& path, const std::string& sourcePath, bool autoDetect,
                       int* layoutChoice, std::string* decidingFile = nullptr);

// The same probe with autoDetect on, starting at sourcePath itself; the
// detected layout goes to *layoutChoice. REQUIRES: layoutChoice != nullptr.
ProbeOutcome ProbeSource(const std::string& sourcePath, int* layoutChoice);

// Folders one or two levels below `source` that the probe, started there,
// accepts with a detected layout: the folder to give instead when a user
// gave the root of a tree with one folder per map source. A subfolder that
// is accepted is suggested itself and not looked into; otherwise its own
// subfolders are tried. In walk order, at most maxCount; at most
// kSuggestionProbeLimit folders are probed, so a large unrelated tree costs
// little.
inline constexpr std::size_t kSuggestionProbeLimit = 1000;
std::vector<SourceSuggestion> SuggestSourceFolders(const std::string& source, std::size_t maxCount);

}  // namespace convert
