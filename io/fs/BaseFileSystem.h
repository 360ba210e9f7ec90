// io::fs::BaseFileSystem: the one way the system reaches files and
// directories. Paths are narrow strings; each implementation resolves them
// against its own root. File systems are made on the heap and shared through
// boost::shared_ptr by the driver and every traversal over them; they are not
// copyable. One thread at a time (the path conversions share buffers).
//
// Queries and file operations report failure through their result (false,
// an empty pointer, nothing listed) and throw nothing of their own; the
// stream openers throw io::FileNotFoundException, and any path conversion
// may throw its std::exception.
#pragma once

#include <memory>
#include <string>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include "io/InputStream.h"
#include "io/OutputStream.h"
#include "io/fs/DirectoryListing.h"
#include "io/fs/FileId.h"
#include "io/fs/FileInfo.h"
#include "io/fs/Replacement.h"
#include "lang/Ptr.h"

namespace io {
class unicode_ifstream;
class unicode_ofstream;

namespace fs {

class BaseFileSystem : private boost::noncopyable {
 public:
  virtual ~BaseFileSystem() = default;

  // A new file input stream over path. Throws io::FileNotFoundException
  // "Failed to open file for reading: {0}".
  virtual lang::Ptr<InputStream> openInputStream(const std::string& path) = 0;
  // A new file output stream over path (created or truncated). Throws
  // io::FileNotFoundException "Failed to open file for writing: {0}".
  virtual lang::Ptr<OutputStream> openOutputStream(const std::string& path) = 0;
  // A standard stream reading path in binary mode; empty when it cannot open.
  virtual boost::shared_ptr<unicode_ifstream> openUnicodeInputStream(const std::string& path) = 0;
  // A standard stream writing path in binary mode; empty when it cannot open.
  virtual boost::shared_ptr<unicode_ofstream> openUnicodeOutputStream(const std::string& path) = 0;
  // Fills info (error 0, size, time) and returns true; on failure sets error
  // to 1, leaves the rest, returns false.
  virtual bool getFileInfo(const std::string& path, FileInfo& info) = 0;
  // Sets the file's times to info.lastWriteTime; true when it could open it.
  virtual bool setFileTime(const std::string& path, const FileInfo& info) = 0;
  // True when path names a file (not a directory).
  virtual bool isFile(const std::string& path) = 0;
  // Copies from onto to, overwriting it; true on success.
  virtual bool copyFile(const std::string& from, const std::string& to) = 0;
  // Renames from to to; fails when to exists. true on success.
  virtual bool moveFile(const std::string& from, const std::string& to) = 0;
  // Removes a file; true on success.
  virtual bool deleteFile(const std::string& path) = 0;
  // Sets or clears the read-only attribute. false when path does not exist;
  // otherwise true, whether or not the attribute could be written.
  virtual bool setReadOnly(const std::string& path, bool readOnly) = 0;
  // True when path names a directory.
  virtual bool isDirectory(const std::string& path) = 0;
  // Creates one directory level; true on success.
  virtual bool createDirectory(const std::string& path) = 0;
  // Removes an empty directory; true on success.
  virtual bool removeDirectory(const std::string& path) = 0;
  // Adds the entries matching pattern (a directory joined with a wildcard
  // pattern such as "*.*") to listing, without "." and "..". Adds nothing
  // when the directory cannot be listed.
  virtual void listDirectory(const std::string& pattern, DirectoryListing& listing) = 0;
  // The identity of what path names (links followed), for telling when two
  // paths reach the same directory. Resolved. false when unknown (this
  // default).
  virtual bool getFileId(const std::string& path, FileId& id);
  // Whether the directory at path (resolved; links followed) lies inside the
  // root, the root itself included. false when it cannot be told. Always
  // true here.
  virtual bool isInsideRoot(const std::string& directory);
  // Opens the file at path (resolved, never taken as absolute; a name in it
  // is one component whatever bytes it holds) for replacement in place: see
  // io::fs::Replacement. Returns the replacement, or a null pointer with
  // refusal set when the file is refused (not a regular file, a link to a
  // file outside the root, busy with another replacement, ...). A link to a
  // file inside the root gives a replacement of its target. Throws
  // io::FileNotFoundException "Failed to open file for reading: {0}" when
  // the file cannot be opened (missing, unreadable, a directory).
  virtual std::unique_ptr<Replacement> openReplacement(const std::string& path,
                                                       Replacement::Refusal& refusal) = 0;
  // Forces the entries of directory (names made or changed in it) to the
  // disk. Resolved. true on success, and where the file system cannot flush
  // a directory at all (some network and FUSE file systems); false with the
  // reason otherwise.
  virtual bool flushDirectory(const std::string& directory, std::string& reason) = 0;
};

}  // namespace fs
}  // namespace io
