// The system's own declarations for the *_win32.cpp files of this layer, and
// the helpers they share; not for other callers.
//
// windows.h defines its constants as macros (ERROR_FILE_NOT_FOUND, TRUE,
// MAX_PATH, ...), which would rewrite the same names in this layer's headers.
// So this header includes ours first; past it, such a name is the system's
// macro, and the checks below prove every one equal to our constant of the
// same name. The system's types and functions are named with "::"
// (::WIN32_FIND_DATAW, ::FindFirstFileW); unqualified names inside namespace
// platform are ours.
#pragma once

#include "platform/CodePage.h"
#include "platform/CriticalSection.h"
#include "platform/FileApi.h"
#include "platform/FileAt.h"
#include "platform/LastError.h"

// Every constant that this layer's headers share with the system's.
// clang-format off
#define XMD_WIN32_SHARED_CONSTANTS(X) \
  X(ERROR_SUCCESS)                    \
  X(ERROR_INVALID_PARAMETER)          \
  X(ERROR_INSUFFICIENT_BUFFER)        \
  X(ERROR_INVALID_FLAGS)              \
  X(ERROR_NO_UNICODE_TRANSLATION)     \
  X(CP_ACP)                           \
  X(MB_ERR_INVALID_CHARS)             \
  X(WC_NO_BEST_FIT_CHARS)             \
  X(WC_ERR_INVALID_CHARS)             \
  X(TRUE)                             \
  X(FALSE)                            \
  X(INVALID_FILE_ATTRIBUTES)          \
  X(INVALID_FILE_SIZE)                \
  X(MAX_PATH)                         \
  X(ERROR_FILE_NOT_FOUND)             \
  X(ERROR_PATH_NOT_FOUND)             \
  X(ERROR_ACCESS_DENIED)              \
  X(ERROR_INVALID_HANDLE)             \
  X(ERROR_NOT_SAME_DEVICE)            \
  X(ERROR_NO_MORE_FILES)              \
  X(ERROR_WRITE_FAULT)                \
  X(ERROR_SHARING_VIOLATION)          \
  X(ERROR_DISK_FULL)                  \
  X(ERROR_INVALID_NAME)               \
  X(ERROR_DIR_NOT_EMPTY)              \
  X(ERROR_ALREADY_EXISTS)             \
  X(ERROR_FILENAME_EXCED_RANGE)       \
  X(ERROR_DIRECTORY)                  \
  X(ERROR_UNABLE_TO_MOVE_REPLACEMENT) \
  X(ERROR_GEN_FAILURE)                \
  X(ERROR_INVALID_FUNCTION)           \
  X(ERROR_LOCK_VIOLATION)             \
  X(ERROR_NOT_SUPPORTED)              \
  X(ERROR_NEGATIVE_SEEK)              \
  X(ERROR_CANT_ACCESS_FILE)           \
  X(FILE_ATTRIBUTE_READONLY)          \
  X(FILE_ATTRIBUTE_DIRECTORY)         \
  X(FILE_ATTRIBUTE_ARCHIVE)           \
  X(FILE_ATTRIBUTE_REPARSE_POINT)     \
  X(GENERIC_READ)                     \
  X(GENERIC_WRITE)                    \
  X(FILE_READ_ATTRIBUTES)             \
  X(FILE_WRITE_ATTRIBUTES)            \
  X(FILE_SHARE_READ)                  \
  X(FILE_SHARE_WRITE)                 \
  X(FILE_SHARE_DELETE)                \
  X(CREATE_NEW)                       \
  X(CREATE_ALWAYS)                    \
  X(OPEN_EXISTING)                    \
  X(OPEN_ALWAYS)                      \
  X(TRUNCATE_EXISTING)                \
  X(FILE_FLAG_BACKUP_SEMANTICS)       \
  X(REPLACEFILE_WRITE_THROUGH)        \
  X(FILE_TYPE_UNKNOWN)                \
  X(FILE_TYPE_DISK)                   \
  X(FILE_TYPE_CHAR)                   \
  X(FILE_TYPE_PIPE)                   \
  X(LOCKFILE_FAIL_IMMEDIATELY)        \
  X(LOCKFILE_EXCLUSIVE_LOCK)          \
  X(FILE_BEGIN)                       \
  X(FILE_CURRENT)                     \
  X(FILE_END)
// clang-format on

namespace platform {
namespace kept {
// Our values, kept under other names before the macros exist.
#define XMD_KEEP_OURS(name) constexpr auto name##_value = platform::name;
XMD_WIN32_SHARED_CONSTANTS(XMD_KEEP_OURS)
#undef XMD_KEEP_OURS
}  // namespace kept
}  // namespace platform

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#define XMD_CHECK_SHARED(name)                                                \
  static_assert(static_cast<platform::DWORD>(platform::kept::name##_value) == \
                    static_cast<platform::DWORD>(name),                       \
                #name " differs from the system's");
XMD_WIN32_SHARED_CONSTANTS(XMD_CHECK_SHARED)
#undef XMD_CHECK_SHARED

namespace platform {
namespace win32 {

// Wide text is UTF-16 on both sides; only the unit's type differs.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide characters are UTF-16 units");
inline const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* wide(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

inline FILETIME toOurs(const ::FILETIME& t) {
  return FILETIME{static_cast<DWORD>(t.dwLowDateTime), static_cast<DWORD>(t.dwHighDateTime)};
}
inline ::FILETIME toSystem(const FILETIME& t) {
  ::FILETIME out;
  out.dwLowDateTime = t.dwLowDateTime;
  out.dwHighDateTime = t.dwHighDateTime;
  return out;
}

// The console control handler of Signals_win32.cpp, which catchStopSignals
// installs: TRUE when it took the event (its tests call it as the system
// would). stopSignalOf: the signal number it records for a console event
// (SIGINT 2, SIGTERM 15), 0 for an event that is not a stop request.
::BOOL WINAPI onConsoleControl(::DWORD event);
int stopSignalOf(::DWORD event);

// A security descriptor whose access list lets the process's user alone in
// (protected from what a directory hands down), for a new file; built from
// the process's token (FileAccess_win32.cpp). attributes() is null, with the
// last error set, when it could not be built.
class OwnerOnly {
 public:
  OwnerOnly();
  ~OwnerOnly();
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;
  ::SECURITY_ATTRIBUTES* attributes() { return m_descriptor != nullptr ? &m_attributes : nullptr; }

 private:
  ::PSECURITY_DESCRIPTOR m_descriptor = nullptr;  // LocalAlloc'ed by the system
  ::SECURITY_ATTRIBUTES m_attributes{};
};

// Sets the last error and returns FALSE.
inline BOOL fail(DWORD error) {
  ::SetLastError(error);
  return FALSE;
}

}  // namespace win32
}  // namespace platform
