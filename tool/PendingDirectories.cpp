#include "tool/PendingDirectories.h"

#include "io/fs/Path.h"
#include "tool/Printable.h"

namespace tool {

PendingDirectories::PendingDirectories(io::fs::BaseFileSystem& fs, const std::string& root,
                                       std::ostream& err)
    : m_fs(fs), m_root(root), m_err(err) {}

bool PendingDirectories::add(const std::string& relativePath) {
  // Names are names: only "/" separates them, and nothing is normalised.
  const std::size_t slash = relativePath.rfind('/');
  m_dirs.insert(slash == std::string::npos ? std::string()
                                           : relativePath.substr(0, slash == 0 ? 1 : slash));
  return m_dirs.size() < kMaxPending || flush();
}

bool PendingDirectories::flush() {
  bool ok = true;
  for (const std::string& dir : m_dirs) {
    std::string reason;
    if (m_fs.flushDirectory(dir, reason)) continue;
    m_err << "xmdopt: cannot flush directory " << printable(io::fs::Path::ofEntry(m_root, dir))
          << " to the disk: " << reason << std::endl;
    ok = false;
  }
  m_dirs.clear();
  return ok;
}

}  // namespace tool
