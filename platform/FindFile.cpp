// The directory search of FileApi.h: FindFirstFileW / FindNextFileW /
// FindClose over opendir / readdir. A search holds its directory open and
// reads it lazily, one match per call, so a huge directory costs no memory.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/CodePage.h"
#include "platform/FileApi.h"
#include "platform/FileApiDetail.h"

namespace platform {

using namespace detail;

namespace {

struct Search {
  DIR* dir = nullptr;      // null for a pattern without wildcards
  std::u16string pattern;  // the last component
};

// Closes the search's directory (when it has one) and frees the search.
struct SearchDeleter {
  void operator()(Search* s) const {
    if (s->dir != nullptr) closedir(s->dir);
    delete s;
  }
};

bool hasWildcard(const std::u16string& s) { return s.find_first_of(u"*?") != std::u16string::npos; }

// "*" matches any run of units, "?" any one unit; everything else itself.
bool globMatch(const std::u16string& p, const std::u16string& n) {
  std::size_t pi = 0, ni = 0, starP = std::u16string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      starP = pi++;
      starN = ni;
    } else if (starP != std::u16string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

// The system's rule on top of the plain match: a pattern ending in ".*" also
// matches a name without any dot ("*.*" matches every name, "a.*" matches a).
bool wildcardMatch(const std::u16string& pattern, const std::u16string& name) {
  if (globMatch(pattern, name)) return true;
  const std::size_t n = pattern.size();
  if (n >= 2 && pattern[n - 2] == u'.' && pattern[n - 1] == u'*' &&
      name.find(u'.') == std::u16string::npos)
    return globMatch(pattern.substr(0, n - 2), name);
  return false;
}

// Fills *data for the entry name of directory dirFd. false when it vanished
// or its name does not fit the record.
bool describe(int dirFd, const std::string& statPath, const std::string& name,
              WIN32_FIND_DATAW* data) {
  struct stat lst;
  if (fstatat(dirFd, statPath.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) return false;
  const bool isLink = S_ISLNK(lst.st_mode);
  struct stat st;
  if (!isLink || fstatat(dirFd, statPath.c_str(), &st, 0) != 0) st = lst;
  std::memset(data, 0, sizeof *data);
  if (!toWideName(name, data->cFileName, MAX_PATH)) return false;
  fillFromStat(st, isLink, data);
  return true;
}

// The next match of a wildcard search; false at the end.
bool nextMatch(Search* s, WIN32_FIND_DATAW* data) {
  for (;;) {
    errno = 0;
    const struct dirent* e = readdir(s->dir);
    if (e == nullptr) return false;
    const std::string name = e->d_name;
    std::u16string wide;
    if (!toWide(name.c_str(), &wide)) continue;
    if (!wildcardMatch(s->pattern, wide)) continue;
    if (describe(dirfd(s->dir), name, name, data)) return true;
  }
}

}  // namespace

HANDLE FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data) {
  std::string p;
  if (data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!toNarrow(pattern, &p)) return INVALID_HANDLE_VALUE;
  const std::size_t slash = p.rfind('/');
  std::string directory = slash == std::string::npos ? "." : p.substr(0, slash);
  if (slash == 0) directory = "/";
  const std::string last = slash == std::string::npos ? p : p.substr(slash + 1);
  if (last.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // "dir/" names no entry
    return INVALID_HANDLE_VALUE;
  }
  // Freed (directory closed) on every way out but success, which hands it on.
  std::unique_ptr<Search, SearchDeleter> s(new Search);
  if (!toWide(last.c_str(), &s->pattern)) return INVALID_HANDLE_VALUE;
  if (!hasWildcard(s->pattern)) {
    // One exact name: the entry itself, if it exists.
    if (!describe(AT_FDCWD, p, last, data)) {
      SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                   : errno == 0     ? ERROR_FILENAME_EXCED_RANGE
                                    : errorFromErrno(errno));
      return INVALID_HANDLE_VALUE;
    }
    return s.release();
  }
  s->dir = opendir(directory.c_str());
  if (s->dir == nullptr) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (!nextMatch(s.get(), data)) {
    SetLastError(errno != 0 ? errorFromErrno(errno) : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return s.release();
}

BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data) {
  if (search == nullptr || search == INVALID_HANDLE_VALUE || data == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Search* s = static_cast<Search*>(search);
  if (s->dir == nullptr || !nextMatch(s, data)) {
    SetLastError(s->dir != nullptr && errno != 0 ? errorFromErrno(errno) : ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE search) {
  if (search == nullptr || search == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SearchDeleter()(static_cast<Search*>(search));
  return TRUE;
}

}  // namespace platform
