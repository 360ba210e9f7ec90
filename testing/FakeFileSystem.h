// xmdtest::FakeFileSystem: an in-memory io::fs::BaseFileSystem for tests of
// the code above the file system (traversals, the driver), in the manner of a
// virtual file system: files and directories live in a map, every operation
// is logged, and any operation on any path can be made to fail.
//
// Paths are relative, "/"-separated, used as given (an empty path is the
// root). A directory link (addDirLink) lists and identifies as its target.
// Listing supports the patterns "*.*" and "*" in the last component.
// rootedAt(dir) gives a view of the same tree whose paths (those of its
// helpers too) are relative to dir, as a file system rooted there on the
// disk would be; the log shows paths from the top of the tree, and every
// view shares the tree, the failures and the log. Header-only; one thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "io/OutputStream.h"
#include "io/fs/BaseFileSystem.h"
#include "lang/Format.h"

namespace xmdtest {

class FakeFileSystem : public io::fs::BaseFileSystem {
 public:
  struct Node {
    bool isDirectory = false;
    std::string bytes;
    bool readOnly = false;
    std::uint64_t time = 0;
    bool isLink = false;
    std::string linkTarget;  // for a directory link: the directory it names (from the top)
  };

  FakeFileSystem() : m_state(std::make_shared<State>()) { m_state->nodes[""].isDirectory = true; }

  // A view of this tree rooted at dir (a path of this view).
  boost::shared_ptr<FakeFileSystem> rootedAt(const std::string& dir) const {
    return boost::shared_ptr<FakeFileSystem>(new FakeFileSystem(m_state, top(dir)));
  }

  void addFile(const std::string& path, const std::string& bytes, bool readOnly = false) {
    putFile(top(path), bytes, readOnly);
  }
  void addDir(const std::string& path) {
    addParents(top(path));
    nodes()[top(path)].isDirectory = true;
  }
  // A link at path to the directory target (a path of this view).
  void addDirLink(const std::string& path, const std::string& target) {
    addParents(top(path));
    Node& n = nodes()[top(path)];
    n.isDirectory = true;
    n.isLink = true;
    n.linkTarget = top(target);
  }
  // Makes operation op ("openInputStream", "write", "replaceFile", ...) on
  // path fail from now on.
  void failOn(const std::string& op, const std::string& path) {
    m_state->failures.insert(op + " " + top(path));
  }

  bool has(const std::string& path) const { return hasAt(top(path)); }
  const Node& node(const std::string& path) const { return nodeAt(top(path)); }
  // "op path" for every operation made, in order; paths from the top.
  const std::vector<std::string>& log() const { return m_state->log; }

  lang::Ptr<io::InputStream> openInputStream(const std::string& path) override {
    const std::string p = top(path);
    if (!note("openInputStream", p) || !isFileAt(p))
      throw io::FileNotFoundException(lang::Format("Failed to open file for reading: {0}", path));
    const std::string& b = nodeAt(p).bytes;
    return lang::Ptr<io::InputStream>(
        new io::ByteArrayInputStream(std::vector<unsigned char>(b.begin(), b.end()), path));
  }
  lang::Ptr<io::OutputStream> openOutputStream(const std::string& path) override {
    const std::string p = top(path);
    if (!note("openOutputStream", p) || !isDirectoryAt(parentOf(p)) || isDirectoryAt(p) ||
        (hasAt(p) && nodeAt(p).readOnly))
      throw io::FileNotFoundException(lang::Format("Failed to open file for writing: {0}", path));
    putFile(p, "", false);
    return lang::Ptr<io::OutputStream>(new Output(m_state, p, path));
  }
  boost::shared_ptr<io::unicode_ifstream> openUnicodeInputStream(const std::string&) override {
    return boost::shared_ptr<io::unicode_ifstream>();
  }
  boost::shared_ptr<io::unicode_ofstream> openUnicodeOutputStream(const std::string&) override {
    return boost::shared_ptr<io::unicode_ofstream>();
  }
  bool getFileInfo(const std::string& path, io::fs::FileInfo& info) override {
    const std::string p = top(path);
    if (!note("getFileInfo", p) || !hasAt(p)) {
      info.error = 1;
      return false;
    }
    info.error = 0;
    info.size = static_cast<std::uint32_t>(nodeAt(p).bytes.size());
    info.lastWriteTime = nodeAt(p).time;
    return true;
  }
  bool setFileTime(const std::string& path, const io::fs::FileInfo& info) override {
    const std::string p = top(path);
    if (!note("setFileTime", p) || !hasAt(p)) return false;
    nodes()[resolveLinks(p)].time = info.lastWriteTime;
    return true;
  }
  bool isFile(const std::string& path) override { return isFileAt(top(path)); }
  bool isDirectory(const std::string& path) override { return isDirectoryAt(top(path)); }
  bool copyFile(const std::string& from, const std::string& to) override {
    const std::string f = top(from), t = top(to);
    if (!note("copyFile", f) || !isFileAt(f) || !isDirectoryAt(parentOf(t)) || isDirectoryAt(t))
      return false;
    putFile(t, nodeAt(f).bytes, false);
    return true;
  }
  bool moveFile(const std::string& from, const std::string& to) override {
    const std::string f = top(from), t = top(to);
    if (!note("moveFile", f) || !hasAt(f) || hasAt(t) || !isDirectoryAt(parentOf(t))) return false;
    nodes()[t] = nodeAt(f);
    nodes().erase(f);
    return true;
  }
  bool deleteFile(const std::string& path) override {
    const std::string p = top(path);
    if (!note("deleteFile", p) || !isFileAt(p) || nodeAt(p).readOnly) return false;
    nodes().erase(p);
    return true;
  }
  bool setReadOnly(const std::string& path, bool readOnly) override {
    const std::string p = top(path);
    if (!hasAt(p)) return false;
    if (note("setReadOnly", p)) nodes()[resolveLinks(p)].readOnly = readOnly;
    return true;
  }
  bool createDirectory(const std::string& path) override {
    const std::string p = top(path);
    if (!note("createDirectory", p) || hasAt(p) || !isDirectoryAt(parentOf(p))) return false;
    nodes()[p].isDirectory = true;
    return true;
  }
  bool removeDirectory(const std::string& path) override {
    const std::string p = top(path);
    if (!note("removeDirectory", p) || !isDirectoryAt(p) || !children(p).empty()) return false;
    nodes().erase(p);
    return true;
  }
  void listDirectory(const std::string& pattern, io::fs::DirectoryListing& listing) override {
    const std::string p = top(pattern);
    note("listDirectory", p);
    const std::string dir = parentOf(p);
    const std::size_t slash = p.rfind('/');
    const std::string last = p.substr(slash == std::string::npos ? 0 : slash + 1);
    if ((last != "*.*" && last != "*") || !isDirectoryAt(dir)) return;
    std::vector<io::fs::DirectoryEntry> found;
    for (const std::string& name : children(dir)) {
      const Node& n = nodeAt(join(dir, name));
      io::fs::DirectoryEntry e;
      e.name = name;
      e.isDirectory = n.isDirectory ? 1 : 0;
      e.size = n.bytes.size();
      e.lastWriteTime = n.time;
      found.push_back(e);
    }
    // Delivered in reverse, so only the listing's own order can sort them.
    for (auto it = found.rbegin(); it != found.rend(); ++it) listing.insert(*it);
  }
  bool getFileId(const std::string& path, io::fs::FileId& id) override {
    const std::string p = top(path);
    if (!hasAt(p)) return false;
    id.volume = 1;
    id.index = std::hash<std::string>()(resolveLinks(p));
    return true;
  }
  bool replaceFile(const std::string& replaced, const std::string& replacement,
                   std::string& reason) override {
    const std::string target = top(replaced), source = top(replacement);
    if (!note("replaceFile", target)) {
      reason = "Access is denied.";
      return false;
    }
    if (!isFileAt(target) || !isFileAt(source)) {
      reason = "The system cannot find the file specified.";
      return false;
    }
    nodes()[target] = nodeAt(source);
    nodes()[target].readOnly = false;
    nodes().erase(source);
    return true;
  }
  bool flushDirectory(const std::string& directory, std::string& reason) override {
    const std::string p = top(directory);
    if (!note("flushDirectory", p) || !isDirectoryAt(p)) {
      reason = "The system cannot write to the specified device.";
      return false;
    }
    return true;
  }

 private:
  // What every view of one tree shares.
  struct State {
    std::map<std::string, Node> nodes;  // paths from the top
    std::set<std::string> failures;     // "op path"
    std::vector<std::string> log;
  };

  // The output stream of a fake file: appends to the node at every write.
  class Output : public io::OutputStream {
   public:
    Output(std::shared_ptr<State> state, std::string path, std::string shown)
        : m_state(std::move(state)), m_path(std::move(path)), m_shown(std::move(shown)) {}
    int write(const void* src, int size) override {
      if (!noteIn(*m_state, "write", m_path))
        throw io::IOException(lang::Format("Failed to write to file: {0}", m_shown));
      m_state->nodes[m_path].bytes.append(static_cast<const char*>(src),
                                          static_cast<std::size_t>(size));
      return size;
    }
    void flush() override {
      if (!noteIn(*m_state, "flush", m_path))
        throw io::IOException(lang::Format("Cannot flush file output stream: {0}", m_shown));
    }
    std::string toString() const override { return m_shown; }

   private:
    std::shared_ptr<State> m_state;
    std::string m_path;   // from the top
    std::string m_shown;  // as the caller named it
  };

  FakeFileSystem(std::shared_ptr<State> state, std::string root)
      : m_state(std::move(state)), m_root(std::move(root)) {}

  static std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  static std::string join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return name.empty() ? dir : dir + "/" + name;
  }
  // Logs the operation; false when it is to fail.
  static bool noteIn(State& state, const std::string& op, const std::string& path) {
    state.log.push_back(op + " " + path);
    return state.failures.count(op + " " + path) == 0;
  }

  // The path from the top of the tree of a path of this view.
  std::string top(const std::string& path) const { return join(m_root, path); }
  std::map<std::string, Node>& nodes() { return m_state->nodes; }
  bool note(const std::string& op, const std::string& path) { return noteIn(*m_state, op, path); }

  bool hasAt(const std::string& p) const { return m_state->nodes.count(resolveLinks(p)) != 0; }
  const Node& nodeAt(const std::string& p) const { return m_state->nodes.at(resolveLinks(p)); }
  bool isFileAt(const std::string& p) const { return hasAt(p) && !nodeAt(p).isDirectory; }
  bool isDirectoryAt(const std::string& p) const { return hasAt(p) && nodeAt(p).isDirectory; }
  void putFile(const std::string& p, const std::string& bytes, bool readOnly) {
    addParents(p);
    Node& n = nodes()[p];
    n = Node();
    n.bytes = bytes;
    n.readOnly = readOnly;
  }
  void addParents(const std::string& path) {
    for (std::string p = parentOf(path); !p.empty(); p = parentOf(p)) nodes()[p].isDirectory = true;
  }
  // The path with every directory link along it replaced by its target.
  std::string resolveLinks(const std::string& path) const {
    std::string p = path;
    std::size_t from = 0;
    for (;;) {
      const std::size_t slash = p.find('/', from);
      const std::string prefix = p.substr(0, slash);
      const auto it = m_state->nodes.find(prefix);
      if (!prefix.empty() && it != m_state->nodes.end() && it->second.isLink) {
        const std::string& target = it->second.linkTarget;
        p = join(target, slash == std::string::npos ? std::string() : p.substr(slash + 1));
        if (slash == std::string::npos) return p;
        from = target.empty() ? 0 : target.size() + 1;
        continue;
      }
      if (slash == std::string::npos) return p;
      from = slash + 1;
    }
  }
  std::vector<std::string> children(const std::string& dir) const {
    const std::string real = resolveLinks(dir);
    const std::string prefix = real.empty() ? "" : real + "/";
    std::vector<std::string> out;
    for (const auto& kv : m_state->nodes) {
      if (kv.first.empty() || kv.first.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string rest = kv.first.substr(prefix.size());
      if (!rest.empty() && rest.find('/') == std::string::npos) out.push_back(rest);
    }
    return out;
  }

  std::shared_ptr<State> m_state;
  std::string m_root;  // from the top; "" for the top itself
};

}  // namespace xmdtest
