// PendingDirectories: the directories in which a result has taken its
// source's name since they were last flushed to the disk. Flushing a
// directory once for many files saves a disk round trip per file; until then
// a crash can only bring back a source's old contents, never a partial file.
//
// Owned by one batch; it uses the batch's file system (which must outlive it)
// and reports failed flushes on the batch's error stream. One thread.
#pragma once

#include <cstddef>
#include <ostream>
#include <set>
#include <string>

#include "io/fs/BaseFileSystem.h"

namespace tool {

class PendingDirectories {
 public:
  // root: the file system's root in narrow form, for messages.
  PendingDirectories(io::fs::BaseFileSystem& fs, const std::string& root, std::ostream& err);

  // Notes the directory of relativePath (a path relative to the root, whose
  // names are separated by "/" alone) and
  // flushes every pending directory once many are pending. Returns false
  // when a flush failed (reported on err), true otherwise.
  bool add(const std::string& relativePath);
  // Flushes every pending directory and forgets them. Returns false when one
  // of them failed (each failure reported on err), true otherwise.
  bool flush();

 private:
  // Enough to make the flushes rare in a tree of many small folders, few
  // enough that little waits in memory when the run is cut short.
  static constexpr std::size_t kMaxPending = 16;

  io::fs::BaseFileSystem& m_fs;
  std::string m_root;
  std::ostream& m_err;
  std::set<std::string> m_dirs;  // relative to the root; "" for the root
};

}  // namespace tool
