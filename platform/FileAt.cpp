// The calls of FileAt.h over POSIX descriptors: openat, fstatat, renameat
// and unlinkat relative to a directory's descriptor, flock for the lock, and
// the descriptor's link under /proc for the final path.
#include "platform/FileAt.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/CodePage.h"
#include "platform/FileApiDetail.h"

namespace platform {

using namespace detail;

namespace {

// The narrow form of a name of one component; false (ERROR_INVALID_NAME)
// for a name with "/", ".", ".." or an empty name.
bool toEntryName(const char16_t* name, std::string* out) {
  if (!toNarrow(name, out)) return false;
  if (out->find('/') != std::string::npos || *out == "." || *out == "..") {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return true;
}

std::int64_t nanosecondsOf(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void fillStatus(const struct stat& st, FILE_STATUS* status) {
  status->kind = S_ISREG(st.st_mode)   ? FILE_KIND_REGULAR
                 : S_ISDIR(st.st_mode) ? FILE_KIND_DIRECTORY
                 : S_ISLNK(st.st_mode) ? FILE_KIND_LINK
                                       : FILE_KIND_OTHER;
  status->device = static_cast<std::uint64_t>(st.st_dev);
  status->inode = static_cast<std::uint64_t>(st.st_ino);
  status->size = static_cast<std::uint64_t>(st.st_size);
  status->lastWriteNs = nanosecondsOf(st.st_mtim);
  status->changeNs = nanosecondsOf(st.st_ctim);
  status->permissions = static_cast<DWORD>(st.st_mode & 07777);
  status->owner = static_cast<DWORD>(st.st_uid);
  status->group = static_cast<DWORD>(st.st_gid);
  status->links = static_cast<DWORD>(st.st_nlink);
}

// The path the kernel keeps for an open descriptor, or failing that the
// canonical form of the path it was opened by.
bool finalPathOf(const File& f, std::string* out) {
  const std::string link = "/proc/self/fd/" + std::to_string(f.fd);
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink(link.c_str(), &buffer[0], buffer.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      // A name the kernel marks as gone has no path any more.
      static const std::string kDeleted = " (deleted)";
      if (buffer.empty() || buffer[0] != '/' ||
          (buffer.size() > kDeleted.size() &&
           buffer.compare(buffer.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
      }
      *out = buffer;
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
  std::unique_ptr<char, decltype(&free)> real(realpath(f.path.c_str(), nullptr), &free);
  if (real == nullptr) return failErrno();
  *out = real.get();
  return true;
}

}  // namespace

DWORD GetFileType(HANDLE h) {
  File* f = fileOf(h);
  if (f == nullptr) return FILE_TYPE_UNKNOWN;
  struct stat st;
  if (fstat(f->fd, &st) != 0) {
    failErrno();
    return FILE_TYPE_UNKNOWN;
  }
  SetLastError(ERROR_SUCCESS);
  if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

BOOL ReadFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read, void* overlapped) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (read == nullptr || overlapped != nullptr || (buffer == nullptr && toRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *read = 0;
  for (;;) {
    const ssize_t n = ::read(f->fd, buffer, toRead);
    if (n >= 0) {
      *read = static_cast<DWORD>(n);
      return TRUE;
    }
    if (errno != EINTR) return failErrno();
  }
}

BOOL WriteFile(HANDLE h, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (written == nullptr || overlapped != nullptr || (buffer == nullptr && toWrite > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *written = 0;
  const char* bytes = static_cast<const char*>(buffer);
  while (*written < toWrite) {
    const ssize_t n = ::write(f->fd, bytes + *written, toWrite - *written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failErrno();
    }
    *written += static_cast<DWORD>(n);
  }
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE h, std::int64_t distance, std::int64_t* position, DWORD origin) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (origin > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int whence = origin == FILE_BEGIN ? SEEK_SET : origin == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  const off_t at = lseek(f->fd, static_cast<off_t>(distance), whence);
  if (at < 0) {
    if (errno == EINVAL) {
      SetLastError(ERROR_NEGATIVE_SEEK);
      return FALSE;
    }
    return failErrno();
  }
  if (position != nullptr) *position = static_cast<std::int64_t>(at);
  return TRUE;
}

BOOL LockFileEx(HANDLE h, DWORD flags, DWORD /*reserved*/, DWORD /*bytesLow*/, DWORD /*bytesHigh*/,
                void* overlapped) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (overlapped != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int operation = (flags & LOCKFILE_EXCLUSIVE_LOCK) ? LOCK_EX : LOCK_SH;
  if (flags & LOCKFILE_FAIL_IMMEDIATELY) operation |= LOCK_NB;
  while (flock(f->fd, operation) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) {
      SetLastError(ERROR_LOCK_VIOLATION);
      return FALSE;
    }
    return failErrno();
  }
  return TRUE;
}

DWORD GetFinalPathNameByHandleW(HANDLE h, char16_t* buffer, DWORD size, DWORD flags) {
  File* f = fileOf(h);
  if (f == nullptr) return 0;
  if (flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string path;
  std::u16string wide;
  if (!finalPathOf(*f, &path) || !toWide(path.c_str(), &wide)) return 0;
  if (buffer == nullptr || wide.size() + 1 > size) return static_cast<DWORD>(wide.size() + 1);
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = u'\0';
  return static_cast<DWORD>(wide.size());
}

HANDLE CreateFileAtW(HANDLE directory, const char16_t* name, DWORD access, DWORD disposition,
                     DWORD flags) {
  File* dir = fileOf(directory);
  if (dir == nullptr) return INVALID_HANDLE_VALUE;
  std::string n;
  if (!toEntryName(name, &n)) return INVALID_HANDLE_VALUE;
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  if ((!read && !write) || (disposition != OPEN_EXISTING && disposition != CREATE_NEW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Non-blocking, so that opening a FIFO cannot wait for its other end.
  int oflags = O_CLOEXEC | O_NONBLOCK | (write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY);
  if ((flags & FILE_FLAG_FOLLOW_LINK) == 0) oflags |= O_NOFOLLOW;
  if (disposition == CREATE_NEW) oflags |= O_CREAT | O_EXCL;  // never through a link
  File file;
  file.fd = openat(dir->fd, n.c_str(), oflags, 0600);
  file.path = dir->path == "/" ? "/" + n : dir->path + "/" + n;
  return handleOfOpened(file, flags);
}

BOOL GetFileStatus(HANDLE h, FILE_STATUS* status) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (status == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat st;
  if (fstat(f->fd, &st) != 0) return failErrno();
  fillStatus(st, status);
  return TRUE;
}

BOOL GetFileStatusAtW(HANDLE directory, const char16_t* name, FILE_STATUS* status) {
  File* dir = fileOf(directory);
  if (dir == nullptr) return FALSE;
  std::string n;
  if (!toEntryName(name, &n)) return FALSE;
  if (status == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat st;
  if (fstatat(dir->fd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return failErrno();
  fillStatus(st, status);
  return TRUE;
}

BOOL MoveFileAtW(HANDLE directory, const char16_t* from, const char16_t* to) {
  File* dir = fileOf(directory);
  if (dir == nullptr) return FALSE;
  std::string f;
  std::string t;
  if (!toEntryName(from, &f) || !toEntryName(to, &t)) return FALSE;
  if (renameat(dir->fd, f.c_str(), dir->fd, t.c_str()) != 0) return failErrno();
  return TRUE;
}

BOOL DeleteFileAtW(HANDLE directory, const char16_t* name) {
  File* dir = fileOf(directory);
  if (dir == nullptr) return FALSE;
  std::string n;
  if (!toEntryName(name, &n)) return FALSE;
  if (unlinkat(dir->fd, n.c_str(), 0) != 0) return failErrno();
  return TRUE;
}

BOOL SetFileOwner(HANDLE h, DWORD owner, DWORD group) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (fchown(f->fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) return failErrno();
  return TRUE;
}

BOOL CopyFileAccess(HANDLE from, HANDLE to) {
  // The permission bits are all there is (SetFilePermissions).
  return fileOf(from) != nullptr && fileOf(to) != nullptr ? TRUE : FALSE;
}

BOOL SetFilePermissions(HANDLE h, DWORD permissions) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (fchmod(f->fd, static_cast<mode_t>(permissions & 07777)) != 0) return failErrno();
  return TRUE;
}

BOOL WriteOutFileData(HANDLE h) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  // Only a head start for the volume's flush: a file system that cannot
  // start a write-out alone (EINVAL, ENOSYS) leaves it all to that flush.
  if (sync_file_range(f->fd, 0, 0, SYNC_FILE_RANGE_WRITE) != 0 && errno != EINVAL &&
      errno != ENOSYS && errno != ESPIPE)
    return failErrno();
  return TRUE;
}

BOOL FlushVolumeOfFile(HANDLE h) {
  File* f = fileOf(h);
  if (f == nullptr) return FALSE;
  if (syncfs(f->fd) != 0) return failErrno();
  return TRUE;
}

}  // namespace platform
