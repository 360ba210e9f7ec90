#include "tool/RunPlan.h"

#include <set>
#include <utility>

#include "io/fs/FileId.h"
#include "io/fs/FileInfo.h"
#include "io/fs/Path.h"
#include "lang/TextConversion.h"
#include "tool/CommandLine.h"
#include "tool/Printable.h"
#include "tool/SplitPath.h"
#include "util/CollectFilesByExtensionTraversal.h"

namespace tool {

namespace {

// The root of the file system for the directory dir: its normalised path,
// but "/" itself where normalising an absolute path leaves nothing.
std::string rootOf(const std::string& dir) {
  io::fs::Path root(dir);
  if (root.empty() && !dir.empty() && (dir[0] == '/' || dir[0] == '\\')) return "/";
  return root;
}

// One root of the plan: its file system and its name as the console shows it.
struct Root {
  boost::shared_ptr<io::fs::BaseFileSystem> fileSystem;
  std::string shown;
};

Root rootAt(const std::string& dir, const DriverEnvironment& env) {
  const std::string root = rootOf(dir);
  Root r{env.fileSystemAt(root), std::string()};
  // The root as the file system holds it, back in narrow form: a root that
  // the file-system calls could not convert fails here, before any file is
  // touched.
  r.shown = lang::wideToAnsi(lang::ansiToWide(root));
  return r;
}

// The model files under the root, at any depth, in the walk's order; a
// directory the walk could not take stands at its place as a failure.
std::vector<PlannedFile> collectModelFiles(const Root& root, std::ostream& err) {
  util::CollectFilesByExtensionTraversal traversal(root.fileSystem, "xmd", true);
  traversal.traverse("");
  for (const std::string& skipped : traversal.getSkippedCycles())
    err << "xmdopt: not entering " << printable(io::fs::Path::ofEntry(root.shown, skipped))
        << ": it leads back into a directory being walked" << std::endl;
  for (const std::string& skipped : traversal.getSkippedOutside())
    err << "xmdopt: not entering " << printable(io::fs::Path::ofEntry(root.shown, skipped))
        << ": it leads outside " << printable(root.shown) << std::endl;
  std::vector<PlannedFile> files;
  const auto& failures = traversal.getFailures();
  auto failure = failures.begin();
  const unsigned count = traversal.getFileCount();
  for (unsigned i = 0; i <= count; ++i) {
    for (; failure != failures.end() && failure->filesBefore == i; ++failure)
      files.push_back(
          PlannedFile{root.fileSystem, root.shown, failure->directory, failure->message});
    if (i < count)
      files.push_back(PlannedFile{
          root.fileSystem, root.shown,
          io::fs::Path::ofEntry(traversal.getFileDirectory(i), traversal.getFileName(i)), ""});
  }
  return files;
}

bool exists(io::fs::BaseFileSystem& fs, const std::string& path) {
  io::fs::FileInfo info;
  return fs.isFile(path) || fs.isDirectory(path) || fs.getFileInfo(path, info);
}

class Planner {
 public:
  Planner(const DriverEnvironment& env, std::ostream& err) : m_env(env), m_err(err) {}

  void add(const std::string& path) {
    if (path.empty()) return addDirectory(rootAt(m_env.currentDirectory(), m_env));
    std::string dir, name, ext;
    splitPath(path, dir, name, ext);
    // A last component without a dot, or "." itself: a directory, by the
    // rule of the single argument (its console lines and roots unchanged).
    if (ext.empty() && name.empty()) return addNamedDirectory(path, rootAt(dir, m_env));
    const Root whole = rootAt(path, m_env);
    if (whole.fileSystem->isDirectory("")) return addDirectory(whole);
    if (ext.empty()) return addNamedDirectory(path, whole);
    const Root parent = rootAt(dir, m_env);
    if (!exists(*parent.fileSystem, name + "." + ext))
      throw tool::UsageError(path + ": no such file or directory");
    plan(parent, name + "." + ext);
  }

  std::vector<PlannedFile> take() { return std::move(m_files); }

 private:
  // The directory path names, at root; a usage error when nothing of that
  // name exists, a note when it is a file.
  void addNamedDirectory(const std::string& path, const Root& root) {
    if (root.fileSystem->isDirectory("")) return addDirectory(root);
    if (!exists(*root.fileSystem, "")) throw tool::UsageError(path + ": no such file or directory");
    m_err << "xmdopt: " << printable(path)
          << " is not processed: a name without an extension is taken as a directory" << std::endl;
  }
  void addDirectory(const Root& root) {
    for (PlannedFile& file : collectModelFiles(root, m_err)) {
      if (file.failure.empty())
        plan(root, file.relativePath);
      else
        m_files.push_back(std::move(file));
    }
  }
  void plan(const Root& root, const std::string& file) {
    io::fs::FileId id;
    if (root.fileSystem->getFileId(file, id)) {
      if (!m_ids.insert({id.volume, id.index}).second) return;
    } else if (!m_names.insert(io::fs::Path::ofEntry(root.shown, file)).second) {
      return;
    }
    m_files.push_back(PlannedFile{root.fileSystem, root.shown, file, ""});
  }

  const DriverEnvironment& m_env;
  std::ostream& m_err;
  std::vector<PlannedFile> m_files;
  std::set<std::pair<std::uint32_t, std::uint64_t>> m_ids;
  std::set<std::string> m_names;
};

}  // namespace

std::vector<PlannedFile> planRun(const std::vector<std::string>& paths,
                                 const DriverEnvironment& env, std::ostream& err) {
  Planner planner(env, err);
  for (const std::string& path : paths) planner.add(path);
  return planner.take();
}

}  // namespace tool
