// The writer's turn on a map file: a conversion holds it while it writes a
// map, so that a second conversion into the same map waits until the first
// has ended and then does its work, instead of meeting the first one's
// write lock after every commit and giving up after the busy timeout.
//
// The turn is a platform::ProcessLock named after the map file's resolved
// path, so two spellings of one path share it. It binds the conversions of
// this program on one machine (cvmap and the window alike); any other writer
// is still met by SQLite's locks and the busy timeout.
//
// Thread-safety: the functions use the given lock, which belongs to one
// thread.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/process_lock.h"

namespace convert {

// How often a waiting conversion looks whether the turn is free.
inline constexpr int kTurnPollMilliseconds = 100;

// The lock name of the map file `mapPath` (which need not exist yet).
std::string MapWriterTurnName(const std::string& mapPath);

// Takes the turn for `mapPath` on `lock`. While another conversion holds
// it, calls `waiting` once (when set) and waits, looking every
// kTurnPollMilliseconds. Returns false, without the turn, as soon as `stop`
// is not 0; true when the turn is taken, or when the system offers no such
// lock (the conversion then goes on without one).
bool TakeMapWriterTurn(platform::ProcessLock& lock, const std::string& mapPath, const std::atomic<int>& stop,
                       const std::function<void()>& waiting);

}  // namespace convert
