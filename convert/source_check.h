// SourceCheck: what the command line settles about a source folder before a
// job walks it: that it is a folder that can be listed, and which layout its
// tiles have (the one asked for, or the probe's).
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
  Ready,        // a folder, listed, with a layout
  NotAFolder,   // missing, or not a folder
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
  std::string reason;           // Unreadable: the system's reason
  ProbeOutcome probe;           // what the probe met (detection only)
  std::vector<SourceHint> hints;  // Refused, NoLayout: folders to give instead
};

// The number of subfolders a check names at most.
inline constexpr std::size_t kMaxSourceHints = 5;

// Checks `source`; `layout` is a Layout or kDetectLayout.
SourceCheck CheckSource(const std::string& source, int layout);

}  // namespace convert
