#include "tool/Driver.h"

#include <exception>
#include <string>
#include <vector>

#include "io/fs/Path.h"
#include "lang/TextConversion.h"
#include "lang/Throwable.h"
#include "tool/Batch.h"
#include "tool/Printable.h"
#include "tool/SplitPath.h"
#include "tool/StopRequested.h"
#include "util/CollectFilesByExtensionTraversal.h"

#ifndef XMDOPT_VERSION
#define XMDOPT_VERSION "0.0.0"
#endif

namespace {

// The exit status of a run a stop signal ended: this plus the signal's
// number, as a shell reports a process the signal killed (130 for SIGINT,
// 143 for SIGTERM).
constexpr int kStoppedStatus = 128;

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

// The model files under the root of fileSystem, at any depth, in the walk's
// order, as paths relative to the root. Directories not entered because they
// lead back into the walk or out of the root are reported on err.
std::vector<std::string> collectModelFiles(
    const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem, const std::string& root,
    std::ostream& err) {
  util::CollectFilesByExtensionTraversal traversal(fileSystem, "xmd", true);
  traversal.traverse("");
  for (const std::string& skipped : traversal.getSkippedCycles())
    err << "xmdopt: not entering " << printable(io::fs::Path::ofEntry(root, skipped))
        << ": it leads back into a directory being walked" << std::endl;
  for (const std::string& skipped : traversal.getSkippedOutside())
    err << "xmdopt: not entering " << printable(io::fs::Path::ofEntry(root, skipped))
        << ": it leads outside " << printable(root) << std::endl;
  std::vector<std::string> files;
  const unsigned count = traversal.getFileCount();
  files.reserve(count);
  for (unsigned i = 0; i < count; ++i)
    files.push_back(io::fs::Path::ofEntry(traversal.getFileDirectory(i), traversal.getFileName(i)));
  return files;
}

// The whole batch; returns the exit status, throws what ends the run.
int run(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
        std::ostream& out, std::ostream& err, const DriverEnvironment& env) {
  std::string dir, name, ext;
  if (argc >= 2)
    splitPath(argv[1], dir, name, ext);
  else
    dir = env.currentDirectory();
  const std::string root = rootOf(dir);
  const boost::shared_ptr<io::fs::BaseFileSystem> fileSystem = env.fileSystemAt(root);
  // The root as the file system holds it, back in narrow form: a root that
  // the file-system calls could not convert ends the run here, before any
  // file is touched.
  const std::string shownRoot = lang::wideToAnsi(lang::ansiToWide(root));
  // A last component with a dot names one file; anything else a directory.
  const std::vector<std::string> files = !ext.empty()
                                             ? std::vector<std::string>{name + "." + ext}
                                             : collectModelFiles(fileSystem, shownRoot, err);
  Batch batch(fileSystem, shownRoot, process, out, err, env.stopSignal);
  return batch.run(files) ? 0 : 1;
}

}  // namespace

int runDriver(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
              std::ostream& out, std::ostream& err, const DriverEnvironment& env) {
  if (argc >= 2) {
    const std::string arg = argv[1];
    if (arg == "--help" || arg == "-h") {
      out << kUsage << std::flush;
      return 0;
    }
    if (arg == "--version") {
      out << "xmdopt " << XMDOPT_VERSION << std::endl;
      return 0;
    }
  }
  // Messages may quote names: they are printed with their control
  // characters escaped.
  try {
    return run(argc, argv, process, out, err, env);
  } catch (const StopRequested& stop) {
    out.flush();
    err << "xmdopt: " << stop.what() << std::endl;
    return kStoppedStatus + stop.signal();
  } catch (const lang::Throwable& t) {
    err << "xmdopt: " << printable(lang::toText(t)) << std::endl;
  } catch (const std::exception& e) {
    err << "xmdopt: " << printable(e.what()) << std::endl;
  } catch (...) {
    err << "xmdopt: unknown failure" << std::endl;
  }
  out.flush();
  return 1;
}
