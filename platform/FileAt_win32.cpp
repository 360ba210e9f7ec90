// The calls of FileAt.h on the system's own functions. An entry of an open
// directory is reached by the path the system keeps for that directory
// (GetFinalPathNameByHandleW in its "\\?\" form: no link in it, no length
// limit, no name rewritten, no device name such as "CON" taken for a device)
// joined with the entry's name, and an entry opened that way is checked to
// lie in that directory still. A link (a reparse point that stands for
// another name: a symbolic link or a junction) is opened as itself
// (FILE_FLAG_OPEN_REPARSE_POINT) unless the caller asks to follow it.
//
// Sharing: an entry opened here lets others read it and remove or rename it,
// never write it, so that nobody changes a file between the moment it is
// read and the moment it is replaced; a file open elsewhere for writing does
// not open here (ERROR_SHARING_VIOLATION). Removing or renaming stays open to
// others so that this layer's own rename and removal work while the files
// are held (the caller checks a file's identity before it replaces it).
//
// Owners and permissions: the system keeps a file's owner as a security
// identifier, which this layer does not carry: every file reads as owned by
// user and group 0 (as the process does, Process.h), so an owner is never
// changed. Of the permission bits only the owner's write bit has a meaning
// here, the inverse of the read-only attribute; the access rules are the
// file's access list, which a new file gets private (the process's user
// alone) and CopyFileAccess (FileAccess_win32.cpp) copies whole. Locks are the system's byte-range
// locks over the whole file, which also keep other handles from reading the file while they last.
#include <cstring>
#include <string>

#include "platform/FileAt.h"
#include "platform/Win32.h"

namespace platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01 UTC.
constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000LL;
static_assert(kUnixEpochIn100ns == 11644473600LL * 10000000LL, "369 years and 89 leap days");

std::int64_t nanosecondsSince1970(std::int64_t intervalsSince1601) {
  return (intervalsSince1601 - kUnixEpochIn100ns) * 100;
}

std::int64_t intervalsOf(const ::FILETIME& t) {
  return static_cast<std::int64_t>((std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

bool validHandle(HANDLE h) {
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return win32::fail(ERROR_INVALID_HANDLE);
  return true;
}

// The path the system keeps for an open file, in its own "\\?\" form.
bool systemPathOf(HANDLE h, std::wstring* out) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const ::DWORD n = ::GetFinalPathNameByHandleW(
        h, &buffer[0], static_cast<::DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return false;
    if (n < buffer.size()) {
      buffer.resize(n);
      *out = buffer;
      return true;
    }
    buffer.resize(n);
  }
}

// A name of one component in the system's form; ERROR_INVALID_NAME for "."
// or "..", or a name that holds a separator ("/", "\") or a colon (which
// would name a drive or a stream of the file), ERROR_PATH_NOT_FOUND for an
// empty name (as on POSIX).
bool toEntryName(const char16_t* name, std::wstring* out) {
  if (name == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  const std::u16string n(name);
  if (n.empty()) return win32::fail(ERROR_PATH_NOT_FOUND);
  if (n == u"." || n == u".." || n.find_first_of(u"/\\:") != std::u16string::npos)
    return win32::fail(ERROR_INVALID_NAME);
  out->assign(n.begin(), n.end());
  return true;
}

// The system path of the entry name of directory; *parent gets the
// directory's own.
bool entryPath(HANDLE directory, const char16_t* name, std::wstring* parent, std::wstring* out) {
  std::wstring entry;
  if (!validHandle(directory) || !toEntryName(name, &entry) || !systemPathOf(directory, parent))
    return false;
  *out = *parent;
  if (out->empty() || out->back() != L'\\') out->push_back(L'\\');
  *out += entry;
  return true;
}

// Whether an open file is a link: a reparse point whose tag stands for
// another name.
bool isLink(HANDLE h, const ::BY_HANDLE_FILE_INFORMATION& info) {
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  ::FILE_ATTRIBUTE_TAG_INFO tag;
  if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return true;
  return IsReparseTagNameSurrogate(tag.ReparseTag) != 0;
}

// Whether the open file h still lies in the directory whose system path is
// parent (its name may differ in letter case only where the system's does).
bool liesIn(HANDLE h, const std::wstring& parent) {
  std::wstring path;
  if (!systemPathOf(h, &path)) return false;
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  // A drive's root keeps its backslash ("\\?\C:\").
  const std::size_t length = parent.size() > 0 && parent.back() == L'\\' ? slash + 1 : slash;
  return length == parent.size() &&
         ::CompareStringOrdinal(path.c_str(), static_cast<int>(length), parent.c_str(),
                                static_cast<int>(parent.size()), TRUE) == CSTR_EQUAL;
}

// What openEntry does with a link.
enum class Links { kRefuse, kAsItself, kFollow };

// Opens the entry name of directory. A link is refused
// (ERROR_CANT_ACCESS_FILE), opened as itself or followed, as links says;
// what is not followed must still lie in directory once open. Returns the
// handle or INVALID_HANDLE_VALUE.
HANDLE openEntry(HANDLE directory, const char16_t* name, ::DWORD access, ::DWORD share,
                 ::DWORD disposition, ::DWORD flags, Links links,
                 ::SECURITY_ATTRIBUTES* security = nullptr) {
  std::wstring parent, path;
  if (!entryPath(directory, name, &parent, &path)) return INVALID_HANDLE_VALUE;
  if (links != Links::kFollow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE h =
      ::CreateFileW(path.c_str(), access, share, security, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE || links == Links::kFollow) return h;
  ::BY_HANDLE_FILE_INFORMATION info;
  DWORD error = ERROR_SUCCESS;
  if (!::GetFileInformationByHandle(h, &info))
    error = ::GetLastError();
  else if (links == Links::kRefuse && isLink(h, info))
    error = ERROR_CANT_ACCESS_FILE;
  else if (!liesIn(h, parent))
    error = ERROR_PATH_NOT_FOUND;  // the directory moved since its path was read
  if (error == ERROR_SUCCESS) return h;
  ::CloseHandle(h);
  win32::fail(error);
  return INVALID_HANDLE_VALUE;
}

// Others may read, rename and remove what this layer opens, never write it.
constexpr ::DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;
// Only looking: shares everything.
constexpr ::DWORD kSharingAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

DWORD GetFileType(HANDLE file) {
  if (!validHandle(file)) return FILE_TYPE_UNKNOWN;
  const ::DWORD type = ::GetFileType(file) & ~::DWORD(FILE_TYPE_REMOTE);
  if (type != FILE_TYPE_UNKNOWN) ::SetLastError(ERROR_SUCCESS);
  return type;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped) {
  if (!validHandle(file)) return FALSE;
  if (read == nullptr || overlapped != nullptr || (buffer == nullptr && toRead > 0))
    return win32::fail(ERROR_INVALID_PARAMETER);
  ::DWORD n = 0;
  const ::BOOL ok = ::ReadFile(file, buffer, toRead, &n, nullptr);
  *read = n;
  if (!ok && ::GetLastError() == ERROR_BROKEN_PIPE) return TRUE;  // a pipe's end: 0 bytes
  return ok;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped) {
  if (!validHandle(file)) return FALSE;
  if (written == nullptr || overlapped != nullptr || (buffer == nullptr && toWrite > 0))
    return win32::fail(ERROR_INVALID_PARAMETER);
  *written = 0;
  const char* bytes = static_cast<const char*>(buffer);
  while (*written < toWrite) {
    ::DWORD n = 0;
    if (!::WriteFile(file, bytes + *written, toWrite - *written, &n, nullptr)) return FALSE;
    if (n == 0) return win32::fail(ERROR_WRITE_FAULT);  // no progress: never loops forever
    *written += n;
  }
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, std::int64_t distance, std::int64_t* position, DWORD origin) {
  if (!validHandle(file)) return FALSE;
  if (origin > FILE_END) return win32::fail(ERROR_INVALID_PARAMETER);
  ::LARGE_INTEGER move, at;
  move.QuadPart = distance;
  if (!::SetFilePointerEx(file, move, &at, origin)) return FALSE;
  if (position != nullptr) *position = at.QuadPart;
  return TRUE;
}

BOOL LockFileEx(HANDLE file, DWORD flags, DWORD /*reserved*/, DWORD /*bytesLow*/,
                DWORD /*bytesHigh*/, void* overlapped) {
  if (!validHandle(file)) return FALSE;
  if (overlapped != nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  // The whole file: every byte an offset can name, from the start.
  ::OVERLAPPED from = {};
  return ::LockFileEx(file, flags & (LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY), 0,
                      MAXDWORD, MAXDWORD, &from);
}

DWORD GetFinalPathNameByHandleW(HANDLE file, char16_t* buffer, DWORD size, DWORD flags) {
  if (!validHandle(file)) return 0;
  if (flags != 0) return win32::fail(ERROR_INVALID_PARAMETER);
  std::wstring path;
  if (!systemPathOf(file, &path)) return 0;
  // The form the layers above use: "/" between components, and no "\\?\":
  // "C:/models/a.xmd", or "//server/share/a.xmd" for a network share.
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    path = L"//" + path.substr(8);
  else if (path.compare(0, 4, L"\\\\?\\") == 0)
    path = path.substr(4);
  for (wchar_t& c : path)
    if (c == L'\\') c = L'/';
  if (buffer == nullptr || path.size() + 1 > size) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  return static_cast<DWORD>(path.size());
}

HANDLE CreateFileAtW(HANDLE directory, const char16_t* name, DWORD access, DWORD disposition,
                     DWORD flags) {
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  if ((!read && !write) || (disposition != OPEN_EXISTING && disposition != CREATE_NEW)) {
    win32::fail(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  ::DWORD systemAccess = access & (GENERIC_READ | GENERIC_WRITE);
  // A new file lets the process's user alone in, until it is given other
  // rules through this handle (CopyFileAccess).
  win32::OwnerOnly owner;
  if (disposition == CREATE_NEW) {
    if (owner.attributes() == nullptr) return INVALID_HANDLE_VALUE;
    systemAccess |= READ_CONTROL | WRITE_DAC;
  }
  const ::DWORD systemFlags = FILE_ATTRIBUTE_NORMAL | (flags & FILE_FLAG_BACKUP_SEMANTICS);
  const HANDLE h = openEntry(directory, name, systemAccess, kSharing, disposition, systemFlags,
                             (flags & FILE_FLAG_FOLLOW_LINK) != 0 ? Links::kFollow : Links::kRefuse,
                             disposition == CREATE_NEW ? owner.attributes() : nullptr);
  // The system says that a name exists in two ways.
  if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ALREADY_EXISTS)
    win32::fail(ERROR_FILE_EXISTS);
  return h;
}

BOOL GetFileStatus(HANDLE file, FILE_STATUS* status) {
  if (!validHandle(file)) return FALSE;
  if (status == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  ::BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file, &info)) return FALSE;
  const ::DWORD type = ::GetFileType(file) & ~::DWORD(FILE_TYPE_REMOTE);
  const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (type != FILE_TYPE_DISK)
    status->kind = FILE_KIND_OTHER;
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    // A reparse point that is not a link (a placeholder of a synchronised
    // or deduplicated file) opens as itself here, not as its contents.
    status->kind = isLink(file, info) ? FILE_KIND_LINK : FILE_KIND_OTHER;
  else
    status->kind = directory ? FILE_KIND_DIRECTORY : FILE_KIND_REGULAR;
  status->device = info.dwVolumeSerialNumber;
  status->inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  status->size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status->lastWriteNs = nanosecondsSince1970(intervalsOf(info.ftLastWriteTime));
  // The change time (contents or attributes) where the file system keeps
  // one; else the last write stands in.
  ::FILE_BASIC_INFO basic;
  status->changeNs = ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                         ? nanosecondsSince1970(basic.ChangeTime.QuadPart)
                         : status->lastWriteNs;
  const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  status->permissions = (readOnly ? 0444 : 0666) | (directory ? 0111 : 0);
  status->owner = 0;
  status->group = 0;
  status->links = info.nNumberOfLinks;
  return TRUE;
}

BOOL GetFileStatusAtW(HANDLE directory, const char16_t* name, FILE_STATUS* status) {
  if (status == nullptr) return win32::fail(ERROR_INVALID_PARAMETER);
  // Opened for its attributes alone, which no other program's sharing mode
  // forbids; a link as itself.
  const HANDLE h = openEntry(directory, name, FILE_READ_ATTRIBUTES, kSharingAll, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, Links::kAsItself);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  const BOOL ok = GetFileStatus(h, status);
  const DWORD error = ::GetLastError();
  ::CloseHandle(h);
  if (!ok) return win32::fail(error);
  return TRUE;
}

namespace {

// Gives the open file h the read-only attribute or takes it away.
bool setReadOnly(HANDLE h, bool readOnly) {
  ::FILE_BASIC_INFO basic;
  if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) return false;
  const ::DWORD attributes = readOnly ? basic.FileAttributes | FILE_ATTRIBUTE_READONLY
                                      : basic.FileAttributes & ~::DWORD(FILE_ATTRIBUTE_READONLY);
  if (attributes == basic.FileAttributes) return true;
  ::FILE_BASIC_INFO change = {};  // times of 0: left as they are
  change.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(h, FileBasicInfo, &change, sizeof change) != 0;
}

// Why the system refused (ERROR_ACCESS_DENIED) to give a file the name of
// the entry name: it is open (ERROR_SHARING_VIOLATION), or read-only (then
// the attribute is taken away, and *cleared says so), or anything else
// (ERROR_ACCESS_DENIED).
DWORD whyRefused(HANDLE directory, const char16_t* name, bool* cleared) {
  *cleared = false;
  // Sharing nothing, and asking to remove: refused while any other handle
  // reads, writes or may remove it.
  const HANDLE h = openEntry(directory, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, Links::kAsItself);
  if (h == INVALID_HANDLE_VALUE)
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION
                                                       : ERROR_ACCESS_DENIED;
  ::BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(h, &info) &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
          FILE_ATTRIBUTE_READONLY)
    *cleared = setReadOnly(h, false);
  ::CloseHandle(h);
  return ERROR_ACCESS_DENIED;
}

}  // namespace

BOOL MoveFileAtW(HANDLE directory, const char16_t* from, const char16_t* to) {
  std::wstring parent, source, target;
  if (!entryPath(directory, from, &parent, &source) || !entryPath(directory, to, &parent, &target))
    return FALSE;
  // The name changes in one step, on the disk before the call returns; a
  // link is moved or replaced as itself.
  constexpr ::DWORD kHow = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (::MoveFileExW(source.c_str(), target.c_str(), kHow)) return TRUE;
  if (::GetLastError() != ERROR_ACCESS_DENIED) return FALSE;
  // The system replaces neither a file that is open nor a read-only one; a
  // read-only one loses its attribute for the move, and has it back when the
  // move fails after all.
  bool cleared = false;
  const DWORD why = whyRefused(directory, to, &cleared);
  if (!cleared) return win32::fail(why);
  if (::MoveFileExW(source.c_str(), target.c_str(), kHow)) return TRUE;
  const DWORD error = ::GetLastError();
  const HANDLE h = openEntry(directory, to, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             kSharingAll, OPEN_EXISTING, 0, Links::kAsItself);
  if (h != INVALID_HANDLE_VALUE) {
    setReadOnly(h, true);
    ::CloseHandle(h);
  }
  return win32::fail(error);
}

BOOL DeleteFileAtW(HANDLE directory, const char16_t* name) {
  std::wstring parent, path;
  if (!entryPath(directory, name, &parent, &path)) return FALSE;
  // A link goes as itself; a read-only file is refused (ERROR_ACCESS_DENIED).
  return ::DeleteFileW(path.c_str());
}

BOOL SetFileOwner(HANDLE file, DWORD owner, DWORD group) {
  if (!validHandle(file)) return FALSE;
  // Every file is owned by 0 here (see above): that owner it keeps; any
  // other cannot be given.
  if (owner != 0 || group != 0) return win32::fail(ERROR_NOT_SUPPORTED);
  return TRUE;
}

BOOL SetFilePermissions(HANDLE file, DWORD permissions) {
  if (!validHandle(file)) return FALSE;
  // Without the owner's write bit the file is read-only; the other bits have
  // no meaning here.
  return setReadOnly(file, (permissions & 0200) == 0);
}

BOOL WriteOutFileData(HANDLE file) {
  // The system has no write-out apart from the flush: the file is flushed
  // now, and the volume's flush has nothing left to do.
  return FlushFileBuffers(file);
}

BOOL FlushVolumeOfFile(HANDLE file) { return validHandle(file) ? TRUE : FALSE; }

}  // namespace platform
