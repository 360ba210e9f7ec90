// The last-error code of LastError.h is the system's own: the calls of this
// layer and the system's functions they make share it.
#include "platform/Win32.h"

namespace platform {

DWORD GetLastError() { return ::GetLastError(); }

void SetLastError(DWORD code) { ::SetLastError(code); }

}  // namespace platform
