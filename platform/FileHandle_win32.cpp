// The handle calls of FileApi.h (CreateFileW and what works on its handles)
// on the system's own functions; handles are the system's. ReplaceFileW is
// built here on MoveFileExW, which swaps the name in one step, so that it
// keeps the contract of FileApi.h (the system's ReplaceFileW has no
// flush-only mode and refuses what that contract allows).
#include "platform/Win32.h"

namespace platform {

namespace {

BY_HANDLE_FILE_INFORMATION toOurs(const ::BY_HANDLE_FILE_INFORMATION& in) {
  BY_HANDLE_FILE_INFORMATION out;
  out.dwFileAttributes = in.dwFileAttributes;
  out.ftCreationTime = win32::toOurs(in.ftCreationTime);
  out.ftLastAccessTime = win32::toOurs(in.ftLastAccessTime);
  out.ftLastWriteTime = win32::toOurs(in.ftLastWriteTime);
  out.dwVolumeSerialNumber = in.dwVolumeSerialNumber;
  out.nFileSizeHigh = in.nFileSizeHigh;
  out.nFileSizeLow = in.nFileSizeLow;
  out.nNumberOfLinks = in.nNumberOfLinks;
  out.nFileIndexHigh = in.nFileIndexHigh;
  out.nFileIndexLow = in.nFileIndexLow;
  return out;
}

// Forces path's data to the disk. FALSE, with the last error, when it cannot.
BOOL flushFile(const char16_t* path) {
  const HANDLE file =
      ::CreateFileW(win32::wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  const BOOL flushed = ::FlushFileBuffers(file);
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!flushed) return win32::fail(error);
  return TRUE;
}

}  // namespace

HANDLE CreateFileW(const char16_t* path, DWORD access, DWORD share, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  // Security attributes are not part of this layer's calls (see FileApi.h).
  if (path == nullptr || security != nullptr) {
    win32::fail(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(win32::wide(path), access, share, nullptr, disposition, flags, templateFile);
}

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  ::FILETIME c{}, a{}, w{};
  if (!::GetFileTime(file, &c, &a, &w)) return FALSE;
  if (creation != nullptr) *creation = win32::toOurs(c);
  if (lastAccess != nullptr) *lastAccess = win32::toOurs(a);
  if (lastWrite != nullptr) *lastWrite = win32::toOurs(w);
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
  ::FILETIME c{}, a{}, w{};
  if (creation != nullptr) c = win32::toSystem(*creation);
  if (lastAccess != nullptr) a = win32::toSystem(*lastAccess);
  if (lastWrite != nullptr) w = win32::toSystem(*lastWrite);
  return ::SetFileTime(file, creation != nullptr ? &c : nullptr,
                       lastAccess != nullptr ? &a : nullptr, lastWrite != nullptr ? &w : nullptr);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
  ::DWORD high = 0;
  const ::DWORD low = ::GetFileSize(file, &high);
  if (sizeHigh != nullptr) *sizeHigh = high;
  return low;
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  if (info == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  ::BY_HANDLE_FILE_INFORMATION found;
  if (!::GetFileInformationByHandle(file, &found)) return FALSE;
  *info = toOurs(found);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  if (::FlushFileBuffers(file)) return TRUE;
  // A directory opened for reading cannot be flushed here, and needs not be:
  // the file system journals its names, and the name changes of this layer
  // (ReplaceFileW) are written through before they return.
  const DWORD error = ::GetLastError();
  ::BY_HANDLE_FILE_INFORMATION info;
  if (error == ERROR_ACCESS_DENIED && ::GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return TRUE;
  return win32::fail(error);
}

BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

BOOL ReplaceFileW(const char16_t* replaced, const char16_t* replacement, const char16_t* backup,
                  DWORD flags, void* exclude, void* reserved) {
  if (replaced == nullptr || replacement == nullptr || backup != nullptr || exclude != nullptr ||
      reserved != nullptr)
    return win32::fail(ERROR_INVALID_PARAMETER);
  const DWORD attributes = ::GetFileAttributesW(win32::wide(replaced));
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return win32::fail(ERROR_ACCESS_DENIED);
  const bool flushes = (flags & (REPLACEFILE_WRITE_THROUGH | REPLACEFILE_FLUSH_REPLACEMENT)) != 0;
  if (flushes && !flushFile(replacement)) return FALSE;
  // The replacement takes the replaced file's attributes, except read-only.
  constexpr DWORD kCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD carried = attributes & kCarried;
  if (!::SetFileAttributesW(win32::wide(replacement),
                            carried != 0 ? carried : FILE_ATTRIBUTE_NORMAL))
    return FALSE;
  // The system refuses to replace a read-only file: its attribute is taken
  // away for the move and given back when the move fails.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly &&
      !::SetFileAttributesW(win32::wide(replaced), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
    return FALSE;
  // Either flag asks for the name change on the disk before the call returns
  // (there is no directory to flush later, see FlushFileBuffers).
  const DWORD how = MOVEFILE_REPLACE_EXISTING | (flushes ? MOVEFILE_WRITE_THROUGH : 0);
  if (!::MoveFileExW(win32::wide(replacement), win32::wide(replaced), how)) {
    const DWORD error = ::GetLastError();
    if (readOnly) ::SetFileAttributesW(win32::wide(replaced), attributes);
    return win32::fail(error);
  }
  return TRUE;
}

}  // namespace platform
