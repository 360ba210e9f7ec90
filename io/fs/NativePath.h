// io::fs::NativePath: a wide (UTF-16) path as the platform takes it, with the
// platform queries made on it. Every query works on the path exactly as held
// (no normalisation); none throws. A value type: copyable and assignable.
#pragma once

#include <cstdint>
#include <string>

#include "io/fs/FileId.h"
#include "io/fs/FileInfo.h"

namespace io {
namespace fs {

class NativePath {
 public:
  NativePath() = default;
  // From a narrow path through lang::ansiToWide; throws its std::exception
  // ("Error in conversion." for a path of more than 1023 units).
  explicit NativePath(const std::string& narrow);
  explicit NativePath(const std::u16string& wide) : m_path(wide) {}

  const std::u16string& wide() const { return m_path; }

  // A find-first search with the path as its pattern (wildcards act as such)
  // finds at least one match.
  bool exists() const;
  // exists() and the first match is a directory.
  bool isDirectory() const;
  // exists() and the first match is not a directory.
  bool isFile() const;
  // The platform attribute word (0xFFFFFFFF when it cannot be read).
  std::uint32_t getAttributes() const;
  // Writes the attribute word; true when the platform accepted it.
  bool setAttributes(std::uint32_t attributes) const;
  // Fills info: on success error 0, size and lastWriteTime, returns true; when
  // the path cannot be opened error 1, size and lastWriteTime untouched,
  // returns false. Directories open too.
  bool getFileInfo(FileInfo& info) const;
  // Sets the creation, last-access and last-write times to time (the
  // creation time where the platform has one). true on success.
  bool setFileTime(std::uint64_t time) const;
  // The identity of what the path names (a link's target); false when it
  // cannot be opened.
  bool getFileId(FileId& id) const;

 private:
  // The attributes of the first match of a find-first search; false when
  // there is none.
  bool findFirst(std::uint32_t* attributes) const;

  std::u16string m_path;
};

}  // namespace fs
}  // namespace io
