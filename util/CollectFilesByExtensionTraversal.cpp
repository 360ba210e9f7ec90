#include "util/CollectFilesByExtensionTraversal.h"

#include "io/fs/Path.h"

namespace util {

CollectFilesByExtensionTraversal::CollectFilesByExtensionTraversal(
    const boost::shared_ptr<io::fs::BaseFileSystem>& fs, const std::string& extension,
    bool recursive)
    : BaseFileTraversal(fs), extension(extension), recursive(recursive) {}

void CollectFilesByExtensionTraversal::onFile(const std::string& /*directory*/,
                                              const std::string& relativeDirectory,
                                              const io::fs::DirectoryEntry& entry,
                                              const std::string& ext) {
  if (ext == extension) files.push_back(CollectedFile{entry.name, relativeDirectory});
}

bool CollectFilesByExtensionTraversal::enterDirectory(const std::string&, const std::string&,
                                                      const io::fs::DirectoryEntry&) {
  return recursive;
}

void CollectFilesByExtensionTraversal::onDirectoryCycle(const std::string& /*directory*/,
                                                        const std::string& relativeDirectory,
                                                        const io::fs::DirectoryEntry& entry) {
  m_skippedCycles.push_back(io::fs::Path::ofEntry(relativeDirectory, entry.name));
}

void CollectFilesByExtensionTraversal::onDirectoryOutsideRoot(const std::string& /*directory*/,
                                                              const std::string& relativeDirectory,
                                                              const io::fs::DirectoryEntry& entry) {
  m_skippedOutside.push_back(io::fs::Path::ofEntry(relativeDirectory, entry.name));
}

void CollectFilesByExtensionTraversal::onDirectoryFailure(const std::string& relativeDirectory,
                                                          const std::string& message) {
  m_failures.push_back(Failure{relativeDirectory, message, getFileCount()});
}

}  // namespace util
