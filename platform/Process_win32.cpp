// The process calls of Process.h on Windows: the system's own
// GetCurrentDirectoryA (the path in the ANSI code page, with the system's
// backslashes) and the runtime library's _umask. Windows keeps a file's
// owner as a security identifier, which this layer does not carry: every
// file reads as owned by user 0 (FileAt.h), and so does the process.
#include <io.h>
#include <sys/stat.h>

#include "platform/Process.h"
#include "platform/Win32.h"

namespace platform {

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  // The system writes nothing into a null buffer only when size is 0 too.
  if (buffer == nullptr) size = 0;
  return ::GetCurrentDirectoryA(size, buffer);
}

DWORD GetCurrentUserId() { return 0; }

int _umask(int mask) {
  // The runtime knows only the owner's read and write bits, and applies them
  // to the files it opens itself (the system's CreateFileW is not masked:
  // a new file takes the access rules its directory hands down).
  return ::_umask(mask & (_S_IREAD | _S_IWRITE));
}

}  // namespace platform
