// The calling thread's last-error code: the stand-in functions of this layer
// report why they failed here, the way the operating system's calls do. A
// successful call leaves the code as it was, so read it only after a call
// has reported failure through its result.
#pragma once

#include <cstdint>

namespace platform {

using DWORD = std::uint32_t;
using UINT = unsigned int;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
// A byte sequence (or an unpaired surrogate) that the conversion was told
// to refuse instead of escaping or replacing.
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// The last error set on this thread; ERROR_SUCCESS when none has been set.
DWORD GetLastError();
void SetLastError(DWORD code);

}  // namespace platform
