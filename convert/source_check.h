// SourceCheck: what the command line settles about a source before a job
// reads it: that it is a folder that can be listed, and which layout its
// tiles have (the one asked for, or the probe's); or that it is a file that
// opens as an MBTiles file (its content decides, not its name).
//
// A folder that the probe refuses, or in which it finds no file to tell the
// layout by, is described well enough to say what to do: the file that
// decided, and the subfolders one or two levels down that hold a tree of a
// known layout (the root of an atlas with one folder per map source).
//
// Thread-safety: no shared state; may run on any thread.
#pragma once

#include <string>
#include <vector>

#include "convert/probe.h"

namespace convert {

// The layout value that asks for the probe's layout.
inline constexpr int kDetectLayout = -1;

enum class SourceStatus {
  Ready,        // a folder, listed, with a layout; or an MBTiles file (LayoutMbtiles)
  NotAFolder,   // missing, or not a folder (a file, for a folder layout asked for)
  NotMbtiles,   // a file, or --layout mbtiles, that is no MBTiles file; `reason` says why
  Busy,         // an MBTiles file that another program held locked for longer than the busy timeout
  Unreadable,   // a folder that cannot be listed; `reason` says why
  Refused,      // the probe's deciding file is no tile of either layout
  Empty,        // layout detection asked for, but the folder holds nothing
  NoLayout,     // layout detection asked for, but the probe met no file
};

// A subfolder that holds a tree of a known layout.
using SourceHint = SourceSuggestion;

struct SourceCheck {
  SourceStatus status = SourceStatus::Ready;
  int layout = kDetectLayout;   // Ready: the layout to use
  std::string reason;           // Unreadable: the system's reason; NotMbtiles, Busy: why the file cannot be read
  ProbeOutcome probe;           // what the probe met (detection only)
  std::vector<SourceHint> hints;  // Refused, NoLayout: folders to give instead
};

// The number of subfolders a check names at most.
inline constexpr std::size_t kMaxSourceHints = 5;

// Checks `source`; `layout` is a Layout or kDetectLayout.
SourceCheck CheckSource(const std::string& source, int layout);

// The layout a job reads `source` with when `chosen` was chosen for it (the
// window's radio buttons): a source that is a file can only be an MBTiles
// file, a folder is read in the chosen layout.
int SourceLayoutFor(const std::string& source, int chosen);

}  // namespace convert
