// The handle calls of FileApi.h (CreateFileW and what works on its handles)
// and ReplaceFileW, over POSIX file descriptors.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/FileApi.h"
#include "platform/FileApiDetail.h"

namespace platform {

using namespace detail;

namespace {

int openFlags(DWORD access, DWORD disposition) {
  // Non-blocking, so that opening a FIFO cannot wait for its other end.
  int flags = O_CLOEXEC | O_NONBLOCK;
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  flags |= write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      flags |= O_TRUNC;
      break;
    default:
      break;  // OPEN_EXISTING
  }
  return flags;
}

}  // namespace

HANDLE CreateFileW(const char16_t* path, DWORD access, DWORD /*share*/, void* security,
                   DWORD disposition, DWORD flags, HANDLE /*templateFile*/) {
  if (security != nullptr || disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string p;
  if (!toNarrow(path, &p)) return INVALID_HANDLE_VALUE;
  const bool attributesOnly = (access & (GENERIC_READ | GENERIC_WRITE)) == 0;
  const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  if (truncates && (access & GENERIC_WRITE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  File file;
  file.fd = open(p.c_str(), openFlags(access, disposition), 0666);
  if (file.fd < 0 && attributesOnly && errno == EACCES) {
    file.fd = open(p.c_str(), O_PATH | O_CLOEXEC);  // times need no read permission
    file.pathOnly = true;
  }
  file.path = p;
  return handleOfOpened(file, flags);
}

BOOL GetFileTime(HANDLE h, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  struct stat st;
  if (fstat(f->fd, &st) != 0) return failErrno();
  if (creation != nullptr) *creation = toFileTime(st.st_mtim);
  if (lastAccess != nullptr) *lastAccess = toFileTime(st.st_atim);
  if (lastWrite != nullptr) *lastWrite = toFileTime(st.st_mtim);
  return TRUE;
}

BOOL SetFileTime(HANDLE h, const FILETIME* /*creation*/, const FILETIME* lastAccess,
                 const FILETIME* lastWrite) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_nsec = UTIME_OMIT;
  if (lastAccess != nullptr) times[0] = fromFileTime(*lastAccess);
  if (lastWrite != nullptr) times[1] = fromFileTime(*lastWrite);
  const int rc =
      f->pathOnly ? utimensat(AT_FDCWD, f->path.c_str(), times, 0) : futimens(f->fd, times);
  if (rc != 0) return failErrno();
  return TRUE;
}

DWORD GetFileSize(HANDLE h, DWORD* sizeHigh) {
  File* f = fileOf(h);
  if (f == nullptr) return INVALID_FILE_SIZE;
  struct stat st;
  if (fstat(f->fd, &st) != 0) {
    failErrno();
    return INVALID_FILE_SIZE;
  }
  const std::uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
  if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL GetFileInformationByHandle(HANDLE h, BY_HANDLE_FILE_INFORMATION* info) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  struct stat st;
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (fstat(f->fd, &st) != 0) return failErrno();
  fillFromStat(st, false, info);
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  // The device number stands for the volume; it and the inode name the file.
  info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev ^ (std::uint64_t(st.st_dev) >> 32));
  info->nFileIndexHigh = static_cast<DWORD>(std::uint64_t(st.st_ino) >> 32);
  info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE h) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (f->pathOnly) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (fsync(f->fd) != 0) {
    // A file system that cannot flush this kind of file at all (some network
    // and FUSE file systems for directories) says so apart from a failure.
    if (errno == EINVAL || errno == ENOTSUP) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return FALSE;
    }
    return failErrno();
  }
  return TRUE;
}

BOOL CloseHandle(HANDLE h) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  const int rc = close(f->fd);
  delete f;
  if (rc != 0) return failErrno();
  return TRUE;
}

BOOL ReplaceFileW(const char16_t* replaced, const char16_t* replacement, const char16_t* backup,
                  DWORD flags, void* exclude, void* reserved) {
  std::string target;
  std::string source;
  if (backup != nullptr || exclude != nullptr || reserved != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!toNarrow(replaced, &target) || !toNarrow(replacement, &source)) return FALSE;
  struct stat st;
  if (stat(target.c_str(), &st) != 0) return failErrno();
  const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failErrno();
  // The owner keeps write permission: a read-only source is not carried over.
  int err = 0;
  if (fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0) err = errno;
  if (err == 0 && (flags & (REPLACEFILE_WRITE_THROUGH | REPLACEFILE_FLUSH_REPLACEMENT)) &&
      fsync(fd) != 0)
    err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(source.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    SetLastError(errorFromErrno(err));
    return FALSE;
  }
  if (flags & REPLACEFILE_WRITE_THROUGH) {
    // The new name reaches the disk with its directory.
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : target.substr(0, slash);
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0 || fsync(dirFd) != 0) err = errno;
    if (dirFd >= 0) close(dirFd);
    if (err != 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace platform
