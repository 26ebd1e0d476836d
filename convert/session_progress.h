// ProgressObserver: how a command-line session reports how far its job has
// got, for a progress line. The session calls it on its own thread (the one
// that called Run), a few times a second and once more when the walk ends;
// never from the worker.
//
// Thread-safety: called on the session's thread only.
#pragma once

namespace convert {

enum class SessionPhase {
  Counting,  // the counting pass: only files (or rows) are counted
  Working,   // the pass that stores (or checks) the tiles
};

struct ProgressSnapshot {
  SessionPhase phase = SessionPhase::Counting;
  const char* unit = "files"; // what filesDone counts: "files" of a tree, "rows" of a map or an MBTiles file
  bool countGrows = true;     // Counting: filesDone grows as the pass goes; false while one query counts
                              // every item at once (filesDone is 0 until it is done)
  long long filesDone = 0;    // files (rows) met so far in this phase
  long long filesTotal = 0;   // Working: files (rows) the counting pass found; 0 when not counted
  long long tilesDone = 0;    // Working: tiles stored or found present (conversion), checked (verify)
  double phaseSeconds = 0;    // time since this phase began
};

class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  // `last` is true for the call made when the walk has ended.
  virtual void Progress(const ProgressSnapshot& snapshot, bool last) = 0;
  // Called once, before anything is opened, when another conversion is
  // writing the same map file and the session waits for it to end.
  virtual void WaitingForOtherWriter() {}
};

}  // namespace convert
