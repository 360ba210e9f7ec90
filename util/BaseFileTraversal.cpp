#include "util/BaseFileTraversal.h"

#include <stdexcept>

#include <algorithm>

#include "io/fs/DirectoryListing.h"
#include "io/fs/Path.h"

namespace util {

BaseFileTraversal::BaseFileTraversal(const boost::shared_ptr<io::fs::BaseFileSystem>& fs)
    : fs(fs) {}

BaseFileTraversal::~BaseFileTraversal() = default;

void BaseFileTraversal::traverse(const std::string& directory) {
  m_path.clear();
  io::fs::FileId id;
  if (fs->getFileId(directory, id)) m_path.push_back(id);
  traverseDirectory(directory, std::string());
  m_path.clear();
}

void BaseFileTraversal::onFile(const std::string&, const std::string&,
                               const io::fs::DirectoryEntry&, const std::string&) {}

bool BaseFileTraversal::enterDirectory(const std::string&, const std::string&,
                                       const io::fs::DirectoryEntry&) {
  return true;
}

void BaseFileTraversal::onDirectoryFailure(const std::string&, const std::string& message) {
  throw std::runtime_error(message);
}

void BaseFileTraversal::onDirectoryCycle(const std::string&, const std::string&,
                                         const io::fs::DirectoryEntry&) {}

void BaseFileTraversal::onDirectoryOutsideRoot(const std::string&, const std::string&,
                                               const io::fs::DirectoryEntry&) {}

bool BaseFileTraversal::onCurrentPath(const io::fs::FileId& id) const {
  return std::find(m_path.begin(), m_path.end(), id) != m_path.end();
}

void BaseFileTraversal::traverseDirectory(const std::string& directory,
                                          const std::string& relativeDirectory) {
  io::fs::DirectoryListing listing;
  try {
    fs->listDirectory(io::fs::Path::ofEntry(directory, "*.*"), listing);
  } catch (const std::runtime_error& e) {
    onDirectoryFailure(relativeDirectory, e.what());
    return;
  }
  for (const io::fs::DirectoryEntry& entry : listing) {
    if (entry.isDirectory) {
      if (!enterDirectory(directory, relativeDirectory, entry)) continue;
      const io::fs::Path sub = io::fs::Path::ofEntry(directory, entry.name);
      io::fs::FileId id;
      bool known = false;
      try {
        if (!fs->isInsideRoot(sub)) {
          onDirectoryOutsideRoot(directory, relativeDirectory, entry);
          continue;
        }
        known = fs->getFileId(sub, id);
      } catch (const std::runtime_error& e) {
        onDirectoryFailure(io::fs::Path::ofEntry(relativeDirectory, entry.name), e.what());
        continue;
      }
      if (known && onCurrentPath(id)) {
        onDirectoryCycle(directory, relativeDirectory, entry);
        continue;
      }
      if (known) m_path.push_back(id);
      traverseDirectory(sub, io::fs::Path::ofEntry(relativeDirectory, entry.name));
      if (known) m_path.pop_back();
    } else {
      const std::size_t dot = entry.name.rfind('.');
      const std::string extension =
          dot == std::string::npos ? std::string() : entry.name.substr(dot + 1);
      onFile(directory, relativeDirectory, entry, extension);
    }
  }
}

}  // namespace util
