// Helpers shared by the POSIX file calls of FileApi.h; not for other callers.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <string>

#include "platform/FileApi.h"

namespace platform {
namespace detail {

// What a HANDLE of CreateFileW (and CreateFileAtW) points to.
struct File {
  int fd = -1;
  bool pathOnly = false;  // opened for its attributes without read permission
  std::string path;       // for setting times through a path-only descriptor, and messages
};

// The file of a handle; null, with ERROR_INVALID_HANDLE, for a null or
// invalid handle.
inline File* fileOf(HANDLE h) {
  if (h == nullptr || h == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return static_cast<File*>(h);
}

// The handle of a file just opened (file.fd the result of open, -1 with errno
// set on failure): INVALID_HANDLE_VALUE with the last error set when the
// open failed, or when it opened a directory without
// FILE_FLAG_BACKUP_SEMANTICS in flags (then closed again).
HANDLE handleOfOpened(const File& file, DWORD flags);
// The last-error code for an errno value.
DWORD errorFromErrno(int err);
// Sets the last error from errno; returns FALSE.
BOOL failErrno();
// The narrow (UTF-8) form of a zero-terminated wide path. false, with the
// last error set, for a null or empty path or a failed conversion.
bool toNarrow(const char16_t* path, std::string* out);
// The wide form of a narrow path. false, with the last error set, on failure.
bool toWide(const char* path, std::u16string* out);
// A narrow name into a zero-terminated wide buffer of capacity units; false
// when it does not fit or cannot be converted.
bool toWideName(const std::string& name, char16_t* dst, int capacity);
// POSIX time to file time (100 ns since 1601; times before 1601 become 0),
// and back.
FILETIME toFileTime(const struct timespec& t);
struct timespec fromFileTime(const FILETIME& t);
// The attribute word of a stat record (of a link's target when isLink).
DWORD attributesOf(const struct stat& st, bool isLink);
// Fills the fields that a find record and a by-handle record share from a
// stat record: attributes, the three times (POSIX keeps no creation time: the
// last write stands in) and the size (0 for a directory).
template <typename Record>
void fillFromStat(const struct stat& st, bool isLink, Record* r) {
  r->dwFileAttributes = attributesOf(st, isLink);
  r->ftCreationTime = toFileTime(st.st_mtim);
  r->ftLastAccessTime = toFileTime(st.st_atim);
  r->ftLastWriteTime = toFileTime(st.st_mtim);
  const unsigned long long size =
      S_ISDIR(st.st_mode) ? 0 : static_cast<unsigned long long>(st.st_size);
  r->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  r->nFileSizeLow = static_cast<DWORD>(size);
}
// Copies everything from in to out; 0 or the errno of the failure.
int copyBytes(int in, int out);

}  // namespace detail
}  // namespace platform
