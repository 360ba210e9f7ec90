// util::BaseFileTraversal: a depth-first, pre-order walk of a directory tree
// of an io::fs::BaseFileSystem. Every file is handed to onFile, every
// subdirectory first to enterDirectory, which decides whether it is walked at
// once, before the next entry. Within a directory entries come in the
// listing's byte-wise name order, files and subdirectories interleaved.
//
// Links to directories are followed, but a directory that is already on the
// path being walked (a link back to it or to one above it) is not entered
// again: it goes to onDirectoryCycle instead, so the walk always ends. A
// directory that lies outside the file system's root (reached through a
// link) is not entered either: it goes to onDirectoryOutsideRoot. Names from
// a listing are names: a path is joined with Path::ofEntry, so a backslash or
// a colon in a name never acts as a separator or a drive.
//
// The traversal shares ownership of the file system. It reports nothing of
// its own: a directory that cannot be listed contributes nothing; a
// directory whose path the file system cannot take (it throws a
// std::runtime_error, as a text conversion does for a path too long) goes to
// onDirectoryFailure, which throws it on here; other exceptions of the file
// system and the callbacks pass out of traverse unchanged.
#pragma once

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "io/fs/BaseFileSystem.h"
#include "io/fs/DirectoryEntry.h"
#include "io/fs/FileId.h"

namespace util {

class BaseFileTraversal {
 public:
  explicit BaseFileTraversal(const boost::shared_ptr<io::fs::BaseFileSystem>& fs);
  virtual ~BaseFileTraversal();

  // Walks directory, a path relative to the root of the file system (the
  // empty path is the root itself).
  void traverse(const std::string& directory);

 protected:
  // Called for every file: the directory being walked, the same directory
  // relative to the walk's start, the entry, and the text after the last "."
  // of its name (empty without a "."). Does nothing here.
  virtual void onFile(const std::string& directory, const std::string& relativeDirectory,
                      const io::fs::DirectoryEntry& entry, const std::string& extension);
  // Asked for every subdirectory; true to walk it. Always true here.
  virtual bool enterDirectory(const std::string& directory, const std::string& relativeDirectory,
                              const io::fs::DirectoryEntry& entry);
  // Called instead of walking a subdirectory that is the same directory as
  // one on the current path (reached through a link). Does nothing here.
  virtual void onDirectoryCycle(const std::string& directory, const std::string& relativeDirectory,
                                const io::fs::DirectoryEntry& entry);
  // Called instead of walking a subdirectory that lies outside the root
  // (reached through a link). Does nothing here.
  virtual void onDirectoryOutsideRoot(const std::string& directory,
                                      const std::string& relativeDirectory,
                                      const io::fs::DirectoryEntry& entry);

  // Called with a directory (relative to the walk's start) whose path the
  // file system could not take, and the failure's message; the walk goes on
  // without it. Throws std::runtime_error(message) here.
  virtual void onDirectoryFailure(const std::string& relativeDirectory, const std::string& message);

  // The recursive step: lists directory and handles its entries;
  // relativeDirectory is the same directory relative to the walk's start.
  void traverseDirectory(const std::string& directory, const std::string& relativeDirectory);

  boost::shared_ptr<io::fs::BaseFileSystem> fs;

 private:
  // Whether id is one of the directories being walked.
  bool onCurrentPath(const io::fs::FileId& id) const;

  std::vector<io::fs::FileId> m_path;  // identities of the directories being walked
};

}  // namespace util
