#include "platform/Process.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/FileApiDetail.h"

namespace platform {

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  // getcwd says only that a buffer is too small, not what it needs: read it
  // into one that grows, then hand over what fits.
  std::vector<char> path(4096);
  while (getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE || path.size() >= (1u << 24)) {
      detail::failErrno();
      return 0;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t length = std::strlen(path.data());
  if (buffer == nullptr || length + 1 > size) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, path.data(), length + 1);
  return static_cast<DWORD>(length);
}

DWORD GetCurrentUserId() { return static_cast<DWORD>(geteuid()); }

int _umask(int mask) { return static_cast<int>(::umask(static_cast<mode_t>(mask & 07777))); }

}  // namespace platform
