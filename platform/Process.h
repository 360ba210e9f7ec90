// What the operating system keeps for the whole process and the tool reads or
// sets once: the current directory, the user it acts as, and the permission
// mask applied to the files and directories the process creates. Stand-ins for the system's
// GetCurrentDirectoryA and the runtime library's _umask.
//
// Both are process-wide: call them from one thread, before other threads
// create files (the mask) or change directory.
#pragma once

#include "platform/LastError.h"

namespace platform {

// Writes the current directory, an absolute path in the system code page
// (UTF-8 here), zero-terminated, into buffer (size bytes). Returns its length
// without the terminator; when it does not fit (or buffer is null), the size
// it needs, terminator included, and writes nothing; 0 when it cannot be read
// (the reason in GetLastError()).
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);

// The user the process acts as (its effective user id): the owner of the
// files it creates.
DWORD GetCurrentUserId();

// Sets the permission bits that newly created files and directories do not
// get (07777 bits; 077: nobody but the owner) and returns the previous mask.
int _umask(int mask);

}  // namespace platform
