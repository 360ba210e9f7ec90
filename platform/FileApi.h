// File and directory calls: the stand-ins for the operating system's wide-path
// file functions, with their calling conventions (BOOL results, handles,
// INVALID_HANDLE_VALUE, the reason of a failure in GetLastError()).
//
// Paths are zero-terminated UTF-16 strings. They are turned into the narrow
// system form with WideCharToMultiByte (CP_ACP, UTF-8 here), so a lone
// surrogate U+DC80 + b is the raw byte b of a file name that is not UTF-8.
// Only "/" separates path components; a backslash is an ordinary character of
// a POSIX file name.
//
// What the POSIX build gives each call:
//  - The read-only attribute is the owner's write permission.
//  - File times are 100-nanosecond intervals since 1601-01-01 UTC.
//  - A find pattern may hold the wildcards "*" and "?" in its last component;
//    "*.*" matches every name, with or without a dot, and a pattern ending in
//    ".*" also matches the name without any dot (as the system's own search
//    does). Matching is by UTF-16 unit and letter case counts.
//  - A directory entry that is a link reports what it points to (a link to a
//    directory carries FILE_ATTRIBUTE_DIRECTORY) plus
//    FILE_ATTRIBUTE_REPARSE_POINT; a dangling link is a plain file.
//  - MoveFile fails when the target name exists; DeleteFile refuses a
//    read-only file and a directory.
// Handles belong to the caller until CloseHandle / FindClose. Every call is
// safe to make from any thread; the last-error code is per thread.
#pragma once

#include <string>

#include "platform/LastError.h"

namespace platform {

using BOOL = int;
using HANDLE = void*;
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Returned by CreateFileW and FindFirstFileW on failure.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
// Longest file name a find record holds, terminator included.
constexpr int MAX_PATH = 260;

// Reasons left in GetLastError().
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_UNABLE_TO_MOVE_REPLACEMENT = 1176;
constexpr DWORD ERROR_GEN_FAILURE = 31;
// The call does not apply to this file (FlushFileBuffers on a file the file
// system cannot flush at all).
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
// The name is a link, and the call was told not to follow it.
constexpr DWORD ERROR_CANT_ACCESS_FILE = 1920;

// Attribute bits.
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

// CreateFileW access rights, sharing, dispositions and flags.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x80;
constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x100;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;  // others may rename and remove it
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
// Lets a directory be opened (for its times and attributes).
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000u;

// ReplaceFileW flags. WRITE_THROUGH: the replacement is on the disk before it
// takes the replaced file's name, and the name change is on the disk before
// the call returns. FLUSH_REPLACEMENT: only the first half (the caller
// flushes the directory later, once for many replacements).
constexpr DWORD REPLACEFILE_WRITE_THROUGH = 0x1;
constexpr DWORD REPLACEFILE_FLUSH_REPLACEMENT = 0x2;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char16_t cFileName[MAX_PATH];     // the entry's own name, zero-terminated
  char16_t cAlternateFileName[14];  // always empty here
};

// What GetFileInformationByHandle reports; the volume serial number and the
// file index together name one file or directory, whatever path reaches it.
struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};

// Starts a search for the entries matching pattern (a path whose last
// component may hold wildcards) and fills *data with the first. Returns the
// search handle, or INVALID_HANDLE_VALUE when the directory cannot be read or
// nothing matches (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ...).
HANDLE FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data);
// Fills *data with the next match. FALSE with ERROR_NO_MORE_FILES at the end.
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data);
// Ends a search and frees its handle. FALSE for an invalid handle.
BOOL FindClose(HANDLE search);

// The attribute word of path (the target of a link); INVALID_FILE_ATTRIBUTES
// when it cannot be queried.
DWORD GetFileAttributesW(const char16_t* path);
// Applies the read-only bit of attributes to path (the other bits have no
// POSIX meaning and are ignored). TRUE on success.
BOOL SetFileAttributesW(const char16_t* path, DWORD attributes);

// Opens or creates path. access: GENERIC_READ / GENERIC_WRITE /
// FILE_READ_ATTRIBUTES / FILE_WRITE_ATTRIBUTES; sharing is accepted and not
// enforced; security must be null. A directory opens only with
// FILE_FLAG_BACKUP_SEMANTICS. Returns the handle or INVALID_HANDLE_VALUE.
HANDLE CreateFileW(const char16_t* path, DWORD access, DWORD share, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
// The file's times; any pointer may be null. TRUE on success.
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
// Sets the last-access and last-write times (a null pointer leaves that time
// as it is; the creation time cannot be set here and is ignored). TRUE on
// success.
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);
// The low 32 bits of the file's size; the high bits go to *sizeHigh when it is
// not null. INVALID_FILE_SIZE on failure (check GetLastError when the size
// may really be 0xFFFFFFFF).
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
// The attributes, times, size and identity of an open file. TRUE on success.
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
// Forces the file's written data to the disk (a directory's: its entries).
// TRUE on success; ERROR_INVALID_FUNCTION when the file system cannot flush
// such a file at all. On Windows a directory opened for reading has nothing
// to flush (TRUE): its names are journalled, and the rename writes through.
BOOL FlushFileBuffers(HANDLE file);
// Closes a handle from CreateFileW. TRUE on success.
BOOL CloseHandle(HANDLE handle);

// Copies from onto to with its permissions and last-write time. With
// failIfExists an existing target makes it fail (ERROR_FILE_EXISTS);
// otherwise the target is overwritten. A partly written target is removed.
BOOL CopyFileW(const char16_t* from, const char16_t* to, BOOL failIfExists);
// Renames a file or directory; fails when to exists (ERROR_ALREADY_EXISTS).
// A file moves across file systems by copying; a directory does not.
BOOL MoveFileW(const char16_t* from, const char16_t* to);
// Removes a file; fails for a directory and for a read-only file
// (ERROR_ACCESS_DENIED).
BOOL DeleteFileW(const char16_t* path);
// Creates one directory level (security must be null). ERROR_ALREADY_EXISTS
// when the name exists, ERROR_PATH_NOT_FOUND when its parent does not.
BOOL CreateDirectoryW(const char16_t* path, void* security);
// Removes an empty directory. ERROR_DIR_NOT_EMPTY when it holds entries.
BOOL RemoveDirectoryW(const char16_t* path);

// Puts replacement in the place of replaced in one step: at no moment is the
// name replaced missing or holding part of a file. The replacement takes the
// replaced file's permission bits, except that it stays writable by its owner
// (the read-only attribute is not carried over). With
// REPLACEFILE_WRITE_THROUGH the replacement's data reaches the disk before the
// name changes, and the directory after. backup must be null. FALSE when
// replaced is missing, when the replacement cannot be flushed or renamed (then
// nothing has changed), or when the directory could not be flushed after the
// rename (ERROR_WRITE_FAULT; then the replacement already bears the name).
BOOL ReplaceFileW(const char16_t* replaced, const char16_t* replacement, const char16_t* backup,
                  DWORD flags, void* exclude, void* reserved);

// The narrow-path forms (paths in the system code page, UTF-8 here).
DWORD GetFileAttributesA(const char* path);
BOOL DeleteFileA(const char* path);
BOOL MoveFileA(const char* from, const char* to);

// Text for an error code of GetLastError(), for messages ("Access is denied.").
std::string describeError(DWORD code);

}  // namespace platform
