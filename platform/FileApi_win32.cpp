// The path calls of FileApi.h (attributes, copy, move, delete, directories)
// on the system's own functions of the same names. Wide paths go to the
// system as they are; the narrow forms take paths in the ANSI code page, as
// the system's narrow functions do.
#include "platform/Win32.h"

namespace platform {

DWORD GetFileAttributesW(const char16_t* path) {
  if (path == nullptr) {
    win32::fail(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ::GetFileAttributesW(win32::wide(path));
}

DWORD GetFileAttributesA(const char* path) {
  if (path == nullptr) {
    win32::fail(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ::GetFileAttributesA(path);
}

BOOL SetFileAttributesW(const char16_t* path, DWORD attributes) {
  if (path == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::SetFileAttributesW(win32::wide(path), attributes);
}

BOOL CopyFileW(const char16_t* from, const char16_t* to, BOOL failIfExists) {
  if (from == nullptr || to == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::CopyFileW(win32::wide(from), win32::wide(to), failIfExists);
}

BOOL MoveFileW(const char16_t* from, const char16_t* to) {
  if (from == nullptr || to == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::MoveFileW(win32::wide(from), win32::wide(to));
}

BOOL MoveFileA(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::MoveFileA(from, to);
}

BOOL DeleteFileW(const char16_t* path) {
  if (path == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::DeleteFileW(win32::wide(path));
}

BOOL DeleteFileA(const char* path) {
  if (path == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::DeleteFileA(path);
}

BOOL CreateDirectoryW(const char16_t* path, void* security) {
  // Security attributes are not part of this layer's calls (see FileApi.h).
  if (path == nullptr || security != nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::CreateDirectoryW(win32::wide(path), nullptr);
}

BOOL RemoveDirectoryW(const char16_t* path) {
  if (path == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  return ::RemoveDirectoryW(win32::wide(path));
}

}  // namespace platform
