#include "platform/FileApi.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/CodePage.h"
#include "platform/FileApiDetail.h"

namespace platform {

namespace detail {

DWORD errorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EIO:
      return ERROR_WRITE_FAULT;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EINVAL:
    case EILSEQ:
      return ERROR_INVALID_NAME;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    case ELOOP:
      return ERROR_CANT_ACCESS_FILE;
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

HANDLE handleOfOpened(const File& file, DWORD flags) {
  if (file.fd < 0) {
    SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : errorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (fstat(file.fd, &st) == 0 && S_ISDIR(st.st_mode) &&
      (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
    close(file.fd);  // a directory opens only for backup semantics
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return new File(file);
}

BOOL failErrno() {
  SetLastError(errorFromErrno(errno));
  return FALSE;
}

bool toNarrow(const char16_t* path, std::string* out) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const int needed = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;  // the conversion left its reason
  out->resize(static_cast<std::size_t>(needed));
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, &(*out)[0], needed, nullptr, nullptr) != needed)
    return false;
  out->pop_back();  // the terminator
  if (out->empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

bool toWide(const char* path, std::u16string* out) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const int needed = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (needed <= 0) return false;
  out->resize(static_cast<std::size_t>(needed));
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, &(*out)[0], needed) != needed) return false;
  out->pop_back();
  return true;
}

int copyBytes(int in, int out) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += w;
    }
  }
}

bool toWideName(const std::string& name, char16_t* dst, int capacity) {
  const int needed = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
  if (needed <= 0 || needed > capacity) return false;
  return MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, dst, capacity) == needed;
}

FILETIME toFileTime(const struct timespec& t) {
  // Seconds from 1601-01-01 to 1970-01-01: 369 years, 89 of them leap years.
  constexpr std::int64_t kEpochShift = 11644473600LL;
  static_assert(kEpochShift == (369LL * 365 + 89) * 86400, "1601 to 1970 in seconds");
  std::int64_t seconds = static_cast<std::int64_t>(t.tv_sec) + kEpochShift;
  std::uint64_t ticks = 0;
  if (seconds >= 0) ticks = static_cast<std::uint64_t>(seconds) * 10000000u + t.tv_nsec / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

struct timespec fromFileTime(const FILETIME& t) {
  constexpr std::int64_t kEpochShift = 11644473600LL;
  const std::uint64_t ticks = (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  struct timespec out;
  out.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / 10000000u) - kEpochShift);
  out.tv_nsec = static_cast<long>(ticks % 10000000u) * 100;
  return out;
}

DWORD attributesOf(const struct stat& st, bool isLink) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (isLink) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes;
}

}  // namespace detail

using namespace detail;

DWORD GetFileAttributesW(const char16_t* path) {
  std::string p;
  if (!toNarrow(path, &p)) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesA(p.c_str());
}

DWORD GetFileAttributesA(const char* path) {
  if (path == nullptr || *path == '\0') {
    SetLastError(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string p = path;
  struct stat st;
  struct stat lst;
  if (lstat(p.c_str(), &lst) != 0) {
    failErrno();
    return INVALID_FILE_ATTRIBUTES;
  }
  const bool isLink = S_ISLNK(lst.st_mode);
  if (!isLink || stat(p.c_str(), &st) != 0) st = lst;  // a dangling link is a plain file
  return attributesOf(st, isLink);
}

BOOL SetFileAttributesW(const char16_t* path, DWORD attributes) {
  std::string p;
  if (!toNarrow(path, &p)) return FALSE;
  struct stat st;
  if (stat(p.c_str(), &st) != 0) return failErrno();
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t(S_IWUSR)) : (mode | S_IWUSR);
  if (mode != (st.st_mode & 07777) && chmod(p.c_str(), mode) != 0) return failErrno();
  return TRUE;
}

BOOL CopyFileW(const char16_t* from, const char16_t* to, BOOL failIfExists) {
  std::string src;
  std::string dst;
  if (!toNarrow(from, &src) || !toNarrow(to, &dst)) return FALSE;
  // Non-blocking, so that a FIFO cannot hold the call; it is refused below.
  const int in = open(src.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return failErrno();
  struct stat st;
  const bool statted = fstat(in, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    // st is read only when fstat filled it; a directory or any other
    // non-regular file is refused as access denied.
    const int err = statted ? EACCES : errno;
    close(in);
    SetLastError(errorFromErrno(err));
    return FALSE;
  }
  struct stat target;
  if (stat(dst.c_str(), &target) == 0 && target.st_dev == st.st_dev && target.st_ino == st.st_ino) {
    close(in);  // copying a file onto itself would truncate it first
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  const int out = open(dst.c_str(), flags, st.st_mode & 07777);
  if (out < 0) {
    const int err = errno;
    close(in);
    SetLastError(err == EEXIST ? ERROR_FILE_EXISTS : errorFromErrno(err));
    return FALSE;
  }
  int err = copyBytes(in, out);
  if (err == 0 && fchmod(out, st.st_mode & 07777) != 0) err = errno;
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (err == 0 && futimens(out, times) != 0) err = errno;
  if (close(out) != 0 && err == 0) err = errno;
  close(in);
  if (err != 0) {
    unlink(dst.c_str());
    SetLastError(errorFromErrno(err));
    return FALSE;
  }
  return TRUE;
}

BOOL MoveFileW(const char16_t* from, const char16_t* to) {
  std::string src;
  std::string dst;
  if (!toNarrow(from, &src) || !toNarrow(to, &dst)) return FALSE;
  return MoveFileA(src.c_str(), dst.c_str());
}

BOOL MoveFileA(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return TRUE;
  if (errno == EINVAL || errno == ENOSYS) {
    // A file system without the no-replace rename: check, then rename.
    struct stat st;
    if (lstat(to, &st) == 0) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    if (rename(from, to) == 0) return TRUE;
  }
  if (errno != EXDEV) return failErrno();
  struct stat st;
  if (stat(from, &st) != 0) return failErrno();
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_NOT_SAME_DEVICE);
    return FALSE;
  }
  // Across file systems a file moves by copy and delete.
  std::u16string wideFrom;
  std::u16string wideTo;
  if (!toWide(from, &wideFrom) || !toWide(to, &wideTo)) return FALSE;
  if (!CopyFileW(wideFrom.c_str(), wideTo.c_str(), TRUE)) return FALSE;
  if (unlink(from) != 0) return failErrno();
  return TRUE;
}

BOOL DeleteFileW(const char16_t* path) {
  std::string p;
  if (!toNarrow(path, &p)) return FALSE;
  return DeleteFileA(p.c_str());
}

BOOL DeleteFileA(const char* path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat st;
  if (lstat(path, &st) != 0) return failErrno();
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)) {
    SetLastError(ERROR_ACCESS_DENIED);  // a directory, or a read-only file
    return FALSE;
  }
  if (unlink(path) != 0) return failErrno();
  return TRUE;
}

BOOL CreateDirectoryW(const char16_t* path, void* security) {
  std::string p;
  if (security != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!toNarrow(path, &p)) return FALSE;
  if (mkdir(p.c_str(), 0777) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryW(const char16_t* path) {
  std::string p;
  if (!toNarrow(path, &p)) return FALSE;
  if (rmdir(p.c_str()) != 0) {
    SetLastError(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : errorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

}  // namespace platform
