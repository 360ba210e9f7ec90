// util::CollectFilesByExtensionTraversal: collects every file whose extension
// (the text after the last "." of its name) equals a given one, byte for byte
// (letter case counts), in the walk's order; optionally below subdirectories
// too. Calling order: construct, traverse once, read the results by index. A
// second traverse appends after the earlier results.
//
// Directories skipped because they lead back into the current path or out of
// the root (links) are collected too, so a caller can tell the user.
#pragma once

#include <string>
#include <vector>

#include "util/BaseFileTraversal.h"

namespace util {

class CollectFilesByExtensionTraversal : public BaseFileTraversal {
 public:
  // extension: without the dot; recursive: whether subdirectories are walked.
  CollectFilesByExtensionTraversal(const boost::shared_ptr<io::fs::BaseFileSystem>& fs,
                                   const std::string& extension, bool recursive);

  // The number of collected files.
  unsigned getFileCount() const { return static_cast<unsigned>(files.size()); }
  // The name (extension included, no directory) of collected file i, for i
  // below getFileCount().
  const std::string& getFileName(unsigned i) const { return files[i].name; }
  // The directory of collected file i relative to the walk's start: empty for
  // the start directory itself, else components joined by "/".
  const std::string& getFileDirectory(unsigned i) const { return files[i].directory; }

  // The subdirectories (relative to the walk's start) that were not entered
  // because they are a directory already being walked.
  const std::vector<std::string>& getSkippedCycles() const { return m_skippedCycles; }
  // A subdirectory (relative to the walk's start) whose path the file system
  // could not take, the failure's message, and the number of files collected
  // before it (where it stands in the walk's order).
  struct Failure {
    std::string directory;
    std::string message;
    unsigned filesBefore;
  };
  const std::vector<Failure>& getFailures() const { return m_failures; }
  // The subdirectories (relative to the walk's start) that were not entered
  // because they lie outside the root.
  const std::vector<std::string>& getSkippedOutside() const { return m_skippedOutside; }

 protected:
  void onFile(const std::string& directory, const std::string& relativeDirectory,
              const io::fs::DirectoryEntry& entry, const std::string& extension) override;
  bool enterDirectory(const std::string& directory, const std::string& relativeDirectory,
                      const io::fs::DirectoryEntry& entry) override;
  void onDirectoryCycle(const std::string& directory, const std::string& relativeDirectory,
                        const io::fs::DirectoryEntry& entry) override;
  void onDirectoryFailure(const std::string& relativeDirectory,
                          const std::string& message) override;
  void onDirectoryOutsideRoot(const std::string& directory, const std::string& relativeDirectory,
                              const io::fs::DirectoryEntry& entry) override;

 private:
  struct CollectedFile {
    std::string name;
    std::string directory;
  };

  std::string extension;
  bool recursive;
  std::vector<CollectedFile> files;
  std::vector<std::string> m_skippedCycles;
  std::vector<Failure> m_failures;
  std::vector<std::string> m_skippedOutside;
};

}  // namespace util
