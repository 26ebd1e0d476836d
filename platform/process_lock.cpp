#include "platform/process_lock.h"

#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

namespace platform {

ProcessLock::Result ProcessLock::TryAcquire(const std::string& name) {
  Release();
  sockaddr_un address {};
  address.sun_family = AF_UNIX;
  // An abstract name begins with a zero byte; it lives in no folder.
  assert(name.size() + 1 <= sizeof address.sun_path);
  const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Result::Unavailable;
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EADDRINUSE ? Result::HeldElsewhere : Result::Unavailable;
  }
  fd_ = fd;
  return Result::Acquired;
}

void ProcessLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

}  // namespace platform
