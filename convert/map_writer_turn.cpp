#include "convert/map_writer_turn.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "platform/file_io.h"

namespace convert {

std::string MapWriterTurnName(const std::string& mapPath) {
  // FNV-1a over the resolved path: a fixed-length name for any path.
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : platform::ResolvedAbsolutePath(mapPath)) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "cz.corvane.CorvaneMapCreator/map-writer/%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

bool TakeMapWriterTurn(platform::ProcessLock& lock, const std::string& mapPath, const std::atomic<int>& stop,
                       const std::function<void()>& waiting) {
  const std::string name = MapWriterTurnName(mapPath);
  bool told = false;
  for (;;) {
    if (stop.load() != 0) return false;
    if (lock.TryAcquire(name) != platform::ProcessLock::Result::HeldElsewhere) return true;
    if (!told && waiting) waiting();
    told = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(kTurnPollMilliseconds));
  }
}

}  // namespace convert
