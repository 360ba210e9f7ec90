#include "tool/Driver.h"

#include <unistd.h>

#include <exception>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "io/fs/FilesFileSystem.h"
#include "io/fs/Path.h"
#include "lang/TextConversion.h"
#include "lang/Throwable.h"
#include "platform/PlatformName.h"
#include "tool/SplitPath.h"
#include "util/CollectFilesByExtensionTraversal.h"

#ifndef XMDOPT_VERSION
#define XMDOPT_VERSION "0.0.0"
#endif

namespace {

const char kUsage[] =
    "usage: xmdopt [PATH]\n"
    "Checks xmd model files, merges their duplicate vertices and rewrites each in place.\n"
    "  (no PATH)     every .xmd file under the current directory, at any depth\n"
    "  DIRECTORY     every .xmd file under DIRECTORY, at any depth\n"
    "  FILE.EXT      that one file, whatever its extension\n"
    "  -h, --help    this text\n"
    "  --version     the version\n"
    "A file is either left as it was or replaced whole by its result.\n";

// The root of the file system for the directory dir: its normalised path,
// but "/" itself where normalising an absolute path leaves nothing.
std::string rootOf(const std::string& dir) {
  io::fs::Path root(dir);
  if (root.empty() && !dir.empty() && (dir[0] == '/' || dir[0] == '\\')) return "/";
  return root;
}

std::string currentDirectory() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (buffer.size() > (1u << 20)) throw std::runtime_error("Cannot read the current directory.");
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// The directories in which a result has taken its source's name since they
// were last flushed. Flushing a directory once for many files saves a disk
// round trip per file; until then a crash can only bring back a source's
// old contents, never a partial file.
class PendingDirectories {
 public:
  PendingDirectories(io::fs::BaseFileSystem& fs, const std::string& root, std::ostream& err)
      : m_fs(fs), m_root(root), m_err(err) {}

  // Notes the directory of relativePath; flushes when many are pending.
  // false when a flush failed (reported on err).
  bool add(const std::string& relativePath) {
    const io::fs::Path path(relativePath);
    const std::size_t slash = path.rfind('/');
    m_dirs.insert(slash == std::string::npos ? std::string()
                                             : path.substr(0, slash == 0 ? 1 : slash));
    return m_dirs.size() < kMaxPending || flush();
  }
  // Flushes every pending directory. false when one failed (reported).
  bool flush() {
    bool ok = true;
    for (const std::string& dir : m_dirs) {
      std::string reason;
      if (m_fs.flushDirectory(dir, reason)) continue;
      m_err << "xmdopt: cannot flush directory "
            << (dir.empty() ? m_root : io::fs::Path(m_root, dir)) << " to the disk: " << reason
            << std::endl;
      ok = false;
    }
    m_dirs.clear();
    return ok;
  }

 private:
  static constexpr std::size_t kMaxPending = 16;
  io::fs::BaseFileSystem& m_fs;
  std::string m_root;
  std::ostream& m_err;
  std::set<std::string> m_dirs;
};

// Processes relativePath; false when its replacement or a flush failed.
bool processOne(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                const std::string& root, const std::string& relativePath,
                PendingDirectories& pending, const ModelProcessor::StreamProcessor& process,
                std::ostream& out, std::ostream& err) {
  ModelProcessor processor(fileSystem, root, process, out, err);
  try {
    switch (processor.processFile(relativePath)) {
      case ModelProcessor::kReplaced:
        return pending.add(relativePath);
      case ModelProcessor::kKept:
        return true;
      case ModelProcessor::kReplaceFailed:
        return false;
    }
  } catch (...) {
    pending.flush();  // what was done stays done
    throw;
  }
  return false;
}

// The whole batch; returns the exit status, throws what ends the run.
int run(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
        std::ostream& out, std::ostream& err) {
  std::string dir, name, ext;
  if (argc >= 2) {
    splitPath(argv[1], dir, name, ext);
    if (!ext.empty()) {
      auto files = boost::make_shared<io::fs::FilesFileSystem>(rootOf(dir));
      boost::shared_ptr<io::fs::BaseFileSystem> fileSystem = files;
      const std::string root = lang::wideToAnsi(files->getRoot());
      PendingDirectories pending(*fileSystem, root, err);
      bool ok = processOne(fileSystem, root, name + "." + ext, pending, process, out, err);
      ok = pending.flush() && ok;
      return ok ? 0 : 1;
    }
  } else {
    dir = currentDirectory();
  }
  auto files = boost::make_shared<io::fs::FilesFileSystem>(rootOf(dir));
  boost::shared_ptr<io::fs::BaseFileSystem> fileSystem = files;
  const std::string root = lang::wideToAnsi(files->getRoot());
  util::CollectFilesByExtensionTraversal traversal(fileSystem, "xmd", true);
  traversal.traverse("");
  for (const std::string& skipped : traversal.getSkippedCycles())
    err << "xmdopt: not entering " << io::fs::Path(root, skipped)
        << ": it leads back into a directory being walked" << std::endl;
  PendingDirectories pending(*fileSystem, root, err);
  bool ok = true;
  const unsigned count = traversal.getFileCount();
  for (unsigned i = 0; i < count; ++i) {
    std::string relativePath = traversal.getFileDirectory(i);
    if (!relativePath.empty()) relativePath += "/";
    relativePath += traversal.getFileName(i);
    ok = processOne(fileSystem, root, relativePath, pending, process, out, err) && ok;
  }
  ok = pending.flush() && ok;
  return ok ? 0 : 1;
}

}  // namespace

int runDriver(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
              std::ostream& out, std::ostream& err) {
  if (argc >= 2) {
    const std::string arg = argv[1];
    if (arg == "--help" || arg == "-h") {
      out << kUsage << std::flush;
      return 0;
    }
    if (arg == "--version") {
      out << "xmdopt " << XMDOPT_VERSION << " (" << platform::name() << ")" << std::endl;
      return 0;
    }
  }
  try {
    return run(argc, argv, process, out, err);
  } catch (const lang::Throwable& t) {
    err << "xmdopt: " << lang::toText(t) << std::endl;
  } catch (const std::exception& e) {
    err << "xmdopt: " << e.what() << std::endl;
  } catch (...) {
    err << "xmdopt: unknown failure" << std::endl;
  }
  out.flush();
  return 1;
}
