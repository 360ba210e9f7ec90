#include "tool/PendingDirectories.h"

#include "io/fs/Path.h"

PendingDirectories::PendingDirectories(io::fs::BaseFileSystem& fs, const std::string& root,
                                       std::ostream& err)
    : m_fs(fs), m_root(root), m_err(err) {}

bool PendingDirectories::add(const std::string& relativePath) {
  const io::fs::Path path(relativePath);
  const std::size_t slash = path.rfind('/');
  m_dirs.insert(slash == std::string::npos ? std::string()
                                           : path.substr(0, slash == 0 ? 1 : slash));
  return m_dirs.size() < kMaxPending || flush();
}

bool PendingDirectories::flush() {
  bool ok = true;
  for (const std::string& dir : m_dirs) {
    std::string reason;
    if (m_fs.flushDirectory(dir, reason)) continue;
    m_err << "xmdopt: cannot flush directory " << (dir.empty() ? m_root : io::fs::Path(m_root, dir))
          << " to the disk: " << reason << std::endl;
    ok = false;
  }
  m_dirs.clear();
  return ok;
}
