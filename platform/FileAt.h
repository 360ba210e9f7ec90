// Work on one open file and on the entries of one open directory, for
// replacing files safely in trees that others can write to: once a directory
// is open, its entries are reached by name through its handle, so no later
// change of the path to it (a directory swapped for a link) can send a call
// elsewhere; a link in an entry's name is followed only when asked; no open
// waits (a FIFO opens at once and reads as what it is).
//
// GetFileType, ReadFile, WriteFile, LockFileEx and GetFinalPathNameByHandleW
// are stand-ins for the system calls of those names. The *At calls and the
// status, owner and permission calls are this layer's own: the system's
// equivalents take other shapes (relative opens through a root directory,
// renames and security descriptors through handles).
//
// Handles come from CreateFileW (FileApi.h) or CreateFileAtW and belong to
// the caller until CloseHandle, which also lets go of a lock. Names are
// zero-terminated UTF-16; a name is one component: it may not hold "/" and
// may not be "." or "..". A backslash or a colon is an ordinary character of
// a POSIX name; on Windows, where they separate paths and name streams, a
// name holding one is refused (ERROR_INVALID_NAME). Every call is safe from
// any thread; failures leave their reason in GetLastError().
//
// On Windows an entry opened here may be read, renamed or removed by others
// meanwhile, never written; an entry another program holds open for writing
// does not open (ERROR_SHARING_VIOLATION). Windows keeps owners as security
// identifiers, which this layer does not carry, and access rules as lists,
// which it copies whole (CopyFileAccess): there every file is owned by user
// and group 0 (as the process is, Process.h), and its permissions are 0666,
// or 0444 when it is read-only (directories add 0111).
#pragma once

#include <cstdint>

#include "platform/FileApi.h"

namespace platform {

// GetFileType results.
constexpr DWORD FILE_TYPE_UNKNOWN = 0;  // a block device, or unknown
constexpr DWORD FILE_TYPE_DISK = 1;     // a regular file or a directory
constexpr DWORD FILE_TYPE_CHAR = 2;     // a character device
constexpr DWORD FILE_TYPE_PIPE = 3;     // a FIFO or a socket

// LockFileEx flags.
constexpr DWORD LOCKFILE_FAIL_IMMEDIATELY = 0x1;
constexpr DWORD LOCKFILE_EXCLUSIVE_LOCK = 0x2;

// CreateFileAtW flag: a link in the name is followed (else the call fails
// with ERROR_CANT_ACCESS_FILE).
constexpr DWORD FILE_FLAG_FOLLOW_LINK = 0x1;

// FILE_STATUS kinds.
constexpr DWORD FILE_KIND_REGULAR = 1;
constexpr DWORD FILE_KIND_DIRECTORY = 2;
constexpr DWORD FILE_KIND_LINK = 3;
constexpr DWORD FILE_KIND_OTHER = 4;  // FIFO, socket, device

// What the file system records of one file: its kind, its identity (device
// and inode together name it, whatever path reaches it), its size, times,
// permissions, owner and number of names.
struct FILE_STATUS {
  DWORD kind;
  std::uint64_t device;
  std::uint64_t inode;
  std::uint64_t size;
  std::int64_t lastWriteNs;  // nanoseconds since 1970-01-01 UTC
  std::int64_t changeNs;     // the last change of contents or status, likewise
  DWORD permissions;         // the 07777 bits
  DWORD owner;
  DWORD group;
  DWORD links;
};

// The kind of an open file (FILE_TYPE_*); FILE_TYPE_UNKNOWN with the reason
// in GetLastError() when it cannot be told.
DWORD GetFileType(HANDLE file);
// Reads up to toRead bytes at the file position into buffer; *read gets the
// count (0 at the end of the file). overlapped must be null. TRUE on
// success.
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
// Writes all toWrite bytes at the file position; *written gets the count
// (less only on failure). overlapped must be null. TRUE on success.
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
// SetFilePointerEx origins.
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

// Moves the file position by distance from origin (FILE_*); *position, when
// not null, gets the new position. A position before the start fails
// (ERROR_NEGATIVE_SEEK). TRUE on success.
BOOL SetFilePointerEx(HANDLE file, std::int64_t distance, std::int64_t* position, DWORD origin);
// Locks the whole file for this handle (the range is ignored), exclusive
// with LOCKFILE_EXCLUSIVE_LOCK, else shared. On POSIX advisory: only other
// lockers see it; on Windows it also keeps other handles from reading and
// writing the file. With LOCKFILE_FAIL_IMMEDIATELY a lock held through another handle
// fails at once with ERROR_LOCK_VIOLATION instead of waiting. overlapped
// must be null. The lock lasts until CloseHandle, or the end of the process.
BOOL LockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD bytesLow, DWORD bytesHigh,
                void* overlapped);
// The absolute path, without links, of the open file (flags must be 0), with
// "/" between its components (on Windows "C:/models/a.xmd", or
// "//server/share/a.xmd", without the system's "\\?\" in front):
// writes it zero-terminated into buffer (size units) and returns its length;
// when it does not fit, returns the size it needs, terminator included; 0 on
// failure.
DWORD GetFinalPathNameByHandleW(HANDLE file, char16_t* buffer, DWORD size, DWORD flags);

// Opens the entry name of directory. access: GENERIC_READ and/or
// GENERIC_WRITE. disposition: OPEN_EXISTING, or CREATE_NEW to create a new
// file readable and writable by its owner alone (on Windows: an access list
// that lets the process's user alone in, whatever its directory hands down)
// (ERROR_FILE_EXISTS when the name exists in any form, a link included). flags:
// FILE_FLAG_FOLLOW_LINK, FILE_FLAG_BACKUP_SEMANTICS (lets a directory open for reading). Never
// waits. Returns the handle or INVALID_HANDLE_VALUE.
HANDLE CreateFileAtW(HANDLE directory, const char16_t* name, DWORD access, DWORD disposition,
                     DWORD flags);
// The status of an open file. TRUE on success.
BOOL GetFileStatus(HANDLE file, FILE_STATUS* status);
// The status of the entry name of directory itself (a link is not
// followed: its kind is FILE_KIND_LINK). TRUE on success.
BOOL GetFileStatusAtW(HANDLE directory, const char16_t* name, FILE_STATUS* status);
// Gives the entry from of directory the name to, in one step; an entry named
// to (not a directory) is replaced, a read-only one too. Links are not
// followed. TRUE on success; ERROR_SHARING_VIOLATION when the system will not
// replace to while it is open (Windows does not, whoever holds it open, the
// caller included).
BOOL MoveFileAtW(HANDLE directory, const char16_t* from, const char16_t* to);
// Removes the entry name of directory (a file or a link, never what a link
// points to; not a directory). TRUE on success.
BOOL DeleteFileAtW(HANDLE directory, const char16_t* name);
// Gives an open file the owner and the group (ERROR_ACCESS_DENIED when the
// process may not; on Windows ERROR_NOT_SUPPORTED for any but 0). TRUE on
// success.
BOOL SetFileOwner(HANDLE file, DWORD owner, DWORD group);
// Sets the 07777 permission bits of an open file (on Windows: the owner's
// write bit alone, as the read-only attribute). TRUE on success.
BOOL SetFilePermissions(HANDLE file, DWORD permissions);
// Gives the open file to the access rules of the open file from. On POSIX
// they are the permission bits, which SetFilePermissions gives: nothing is
// done here. On Windows they are the file's access list, copied whole,
// protected from its directory's or inheriting from it as from's is (to
// must have been created by CreateFileAtW). TRUE on success.
BOOL CopyFileAccess(HANDLE from, HANDLE to);

// Batched durability: WriteOutFileData starts writing a file's data to the
// disk without waiting for the disk's own cache, and FlushVolumeOfFile then
// makes durable, in one flush, the data and the name changes of every file
// of the volume that holds file. Where the system has no such pair (Windows),
// WriteOutFileData flushes the file itself and FlushVolumeOfFile has nothing
// left to do. Each returns TRUE on success.
BOOL WriteOutFileData(HANDLE file);
BOOL FlushVolumeOfFile(HANDLE file);

}  // namespace platform
