// The directory search of FileApi.h on the system's FindFirstFileW /
// FindNextFileW / FindClose; the search handle is the system's. Records are
// copied field by field from the system's find record into ours.
#include <cstring>

#include "platform/Win32.h"

namespace platform {

namespace {

static_assert(sizeof(WIN32_FIND_DATAW::cFileName) == sizeof(::WIN32_FIND_DATAW::cFileName),
              "names fit the same room");
static_assert(sizeof(WIN32_FIND_DATAW::cAlternateFileName) ==
                  sizeof(::WIN32_FIND_DATAW::cAlternateFileName),
              "short names fit the same room");

void copyRecord(const ::WIN32_FIND_DATAW& in, WIN32_FIND_DATAW* out) {
  out->dwFileAttributes = in.dwFileAttributes;
  out->ftCreationTime = win32::toOurs(in.ftCreationTime);
  out->ftLastAccessTime = win32::toOurs(in.ftLastAccessTime);
  out->ftLastWriteTime = win32::toOurs(in.ftLastWriteTime);
  out->nFileSizeHigh = in.nFileSizeHigh;
  out->nFileSizeLow = in.nFileSizeLow;
  out->dwReserved0 = in.dwReserved0;
  out->dwReserved1 = in.dwReserved1;
  std::memcpy(out->cFileName, in.cFileName, sizeof out->cFileName);
  std::memcpy(out->cAlternateFileName, in.cAlternateFileName, sizeof out->cAlternateFileName);
}

}  // namespace

HANDLE FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data) {
  if (pattern == nullptr || data == nullptr) {
    win32::fail(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  ::WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(win32::wide(pattern), &found);
  if (search != INVALID_HANDLE_VALUE) copyRecord(found, data);
  return search;
}

BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data) {
  if (data == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  ::WIN32_FIND_DATAW found;
  if (!::FindNextFileW(search, &found)) return FALSE;
  copyRecord(found, data);
  return TRUE;
}

BOOL FindClose(HANDLE search) { return ::FindClose(search); }

}  // namespace platform
