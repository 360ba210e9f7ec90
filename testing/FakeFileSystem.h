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
// view shares the tree, the failures and the log.
//
// Replacements (openReplacement) follow the rules of the disk's: a FIFO
// (addSpecial) is refused, so is a file marked busy, a link to a file
// (addFileLink) is followed when its target lies under the view's root and
// refused otherwise; results get names of io::fs::ResultName (tags 000001,
// 000002, ... in order); commit refuses a source whose bytes were changed
// since it was opened (any addFile on it counts as a change). Header-only;
// one thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "io/PatchableOutputStream.h"
#include "io/fs/BaseFileSystem.h"
#include "io/fs/ResultName.h"
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
    std::string linkTarget;  // for a link: what it names (from the top)
    bool isSpecial = false;  // a FIFO, socket or device
    bool busy = false;       // another replacement holds it
    unsigned permissions = 0644;
    unsigned owner = 1000;
    unsigned group = 1000;
    unsigned links = 1;
    std::uint64_t version = 0;  // changed by every addFile
    std::uint64_t id = 0;       // the file's identity, new for every file
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
  // A link at path to the file target (a path of this view, or one from
  // the top of the tree when it starts with "/").
  void addFileLink(const std::string& path, const std::string& target) {
    addParents(top(path));
    Node& n = nodes()[top(path)];
    n = Node();
    n.isLink = true;
    n.linkTarget = target.compare(0, 1, "/") == 0 ? target.substr(1) : top(target);
  }
  // A FIFO, socket or device at path.
  void addSpecial(const std::string& path) {
    putFile(top(path), "", false);
    nodes()[top(path)].isSpecial = true;
  }
  // The node at path, to set its owner, permissions, links or busy flag.
  Node& edit(const std::string& path) { return nodes().at(resolveLinks(top(path))); }
  // Makes operation op ("openInputStream", "write", "commit", ...) on
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
  bool isInsideRoot(const std::string& directory) override {
    return under(resolveLinks(top(directory)));
  }
  std::unique_ptr<io::fs::Replacement> openReplacement(
      const std::string& path, io::fs::Replacement::Refusal& refusal) override {
    refusal = io::fs::Replacement::kNone;
    std::string p = top(path);
    if (!note("openReplacement", p) || !hasEntry(p))
      throw io::FileNotFoundException(lang::Format("Failed to open file for reading: {0}", path));
    std::string relative = path;
    const Node* n = &entryAt(p);
    if (n->isLink && !n->isDirectory) {
      p = n->linkTarget;
      if (!under(p)) {
        refusal = io::fs::Replacement::kLinkLeavesRoot;
        return nullptr;
      }
      if (!hasEntry(p))
        throw io::FileNotFoundException(lang::Format("Failed to open file for reading: {0}", path));
      relative = m_root.empty() ? p : p.substr(m_root.size() + 1);
      n = &entryAt(p);
    }
    if (n->isDirectory)
      throw io::FileNotFoundException(lang::Format("Failed to open file for reading: {0}", path));
    if (n->isSpecial) {
      refusal = io::fs::Replacement::kNotRegularFile;
      return nullptr;
    }
    if (n->busy) {
      refusal = io::fs::Replacement::kBusy;
      return nullptr;
    }
    return std::unique_ptr<io::fs::Replacement>(new Replacing(m_state, p, path, relative));
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
    int results = 0;        // result names made
    std::uint64_t ids = 0;  // file identities given
  };

  // The output stream of a fake file: appends to the node at every write,
  // and takes patches of what it wrote.
  class Output : public io::PatchableOutputStream {
   public:
    Output(std::shared_ptr<State> state, std::string path, std::string shown)
        : m_state(std::move(state)),
          m_path(std::move(path)),
          m_shown(std::move(shown)),
          m_start(static_cast<std::int64_t>(m_state->nodes[m_path].bytes.size())) {}
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
    std::int64_t getPosition() override {
      return static_cast<std::int64_t>(m_state->nodes[m_path].bytes.size()) - m_start;
    }
    void patch(std::int64_t position, const void* src, int size) override {
      if (position < 0 || size < 0 || position > getPosition() - size)
        throw io::IOException(lang::Format("Failed to seek file position: {0}", m_shown));
      m_state->nodes[m_path].bytes.replace(
          static_cast<std::size_t>(m_start + position), static_cast<std::size_t>(size),
          static_cast<const char*>(src), static_cast<std::size_t>(size));
    }

   private:
    std::shared_ptr<State> m_state;
    std::string m_path;    // from the top
    std::string m_shown;   // as the caller named it
    std::int64_t m_start;  // the node's size when the stream began
  };

  // A replacement in the tree: the result is a node beside the source, put
  // in the source's place by commit.
  class Replacing : public io::fs::Replacement {
   public:
    Replacing(std::shared_ptr<State> state, std::string source, std::string shown,
              std::string relative)
        : m_state(std::move(state)),
          m_source(std::move(source)),
          m_shown(std::move(shown)),
          m_relative(std::move(relative)),
          m_opened(m_state->nodes.at(m_source)) {
      m_state->nodes.at(m_source).busy = true;
      // Results of this source left by killed runs: removed while it is held.
      const std::string dir = parentOf(m_source);
      const std::string name = m_source.substr(m_source.rfind('/') + 1);
      const std::string relativeDir = parentOf(m_relative);
      for (auto it = m_state->nodes.begin(); it != m_state->nodes.end();) {
        const bool sibling = !it->first.empty() && parentOf(it->first) == dir;
        const std::string other =
            sibling ? it->first.substr(dir.empty() ? 0 : dir.size() + 1) : std::string();
        if (sibling && !it->second.isDirectory && !it->second.isLink &&
            io::fs::ResultName::isResultOf(other, name)) {
          m_removed.push_back(join(relativeDir, other));
          it = m_state->nodes.erase(it);
        } else {
          ++it;
        }
      }
    }
    ~Replacing() override { abandon(); }

    lang::Ptr<io::InputStream> input() override {
      if (!m_input)
        m_input = lang::Ptr<io::InputStream>(new io::ByteArrayInputStream(
            std::vector<unsigned char>(m_opened.bytes.begin(), m_opened.bytes.end()), m_shown));
      return m_input;
    }
    lang::Ptr<io::OutputStream> createResult() override {
      if (m_output) return m_output;
      const std::string name = m_source.substr(m_source.rfind('/') + 1);
      const std::string tag = std::to_string(1000001 + m_state->results++).substr(1);
      m_result = join(parentOf(m_source), io::fs::ResultName::make(name, tag));
      if (!noteIn(*m_state, "createResult", m_source) || m_state->nodes.count(m_result))
        throw io::FileNotFoundException(
            lang::Format("Failed to open file for writing: {0}", m_result));
      Node& r = m_state->nodes[m_result];
      r.permissions = 0600;
      r.owner = r.group = 0;
      r.id = ++m_state->ids;
      m_output = lang::Ptr<io::OutputStream>(new Output(m_state, m_result, m_result));
      return m_output;
    }
    Outcome seal(std::string& reason) override {
      if (m_result.empty() || m_committed) return kFailed;
      if (m_sealed) return kReplaced;
      if (!noteIn(*m_state, "setOwner", m_source)) {
        reason = "Operation not permitted.";
        abandon();
        return kOwnerNotKept;
      }
      m_sealed = true;
      return kReplaced;
    }
    bool flushVolume(std::string& reason) override {
      if (!m_sealed) return false;
      if (!noteIn(*m_state, "flushVolume", "")) {
        reason = "The system cannot write to the specified device.";
        return false;
      }
      return true;
    }
    void markDurable() override {}
    Outcome commit(std::string& reason) override {
      const Outcome sealed = seal(reason);
      if (sealed != kReplaced) return sealed;
      const auto now = m_state->nodes.find(m_source);
      if (now == m_state->nodes.end() || now->second.version != m_opened.version) {
        abandon();
        return kSourceChanged;
      }
      if (!noteIn(*m_state, "commit", m_source)) {
        reason = "Access is denied.";
        abandon();
        return kFailed;
      }
      Node result = m_state->nodes.at(m_result);
      result.owner = m_opened.owner;
      result.group = m_opened.group;
      result.permissions = (m_opened.permissions & 0777) | 0200;
      result.readOnly = false;
      result.version = m_opened.version + 1;
      m_state->nodes[m_source] = result;
      m_state->nodes.erase(m_result);
      m_committed = true;
      return kReplaced;
    }
    void abandon() override {
      m_output.reset();
      if (!m_result.empty() && !m_committed && m_state->nodes.erase(m_result))
        noteIn(*m_state, "removeResult", m_result);
      const auto source = m_state->nodes.find(m_source);
      if (source != m_state->nodes.end() && !m_committed) source->second.busy = false;
      m_committed = true;  // nothing more to do
    }
    std::int64_t sourceSize() const override {
      return static_cast<std::int64_t>(m_opened.bytes.size());
    }
    bool resultEqualsSource() override {
      const auto r = m_state->nodes.find(m_result);
      return r != m_state->nodes.end() && r->second.bytes == m_opened.bytes;
    }
    unsigned sourceLinks() const override { return m_opened.links; }
    std::vector<std::string> removedLeftovers() const override { return m_removed; }
    io::fs::FileId sourceId() const override { return io::fs::FileId{1, m_opened.id}; }
    io::fs::FileId resultId() const override {
      const auto r = m_state->nodes.find(m_committed ? m_source : m_result);
      return io::fs::FileId{1, r == m_state->nodes.end() ? 0 : r->second.id};
    }
    std::string replacedPath() const override { return m_relative; }

   private:
    std::shared_ptr<State> m_state;
    std::string m_source;    // from the top
    std::string m_shown;     // as asked for
    std::string m_relative;  // the replaced file, from the view's root
    Node m_opened;           // the source as opened
    std::string m_result;    // from the top; empty until created
    lang::Ptr<io::InputStream> m_input;
    lang::Ptr<io::OutputStream> m_output;
    bool m_sealed = false;
    bool m_committed = false;
    std::vector<std::string> m_removed;  // from the view's root
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
    const std::uint64_t version = n.version;
    n = Node();
    n.bytes = bytes;
    n.readOnly = readOnly;
    n.version = version + 1;
    n.id = ++m_state->ids;
  }
  // Whether the path from the top lies under this view's root.
  bool under(const std::string& p) const {
    return m_root.empty() || p == m_root || p.compare(0, m_root.size() + 1, m_root + "/") == 0;
  }
  // The entry at p itself: directory links along the way resolved, not a
  // link in the last component.
  bool hasEntry(const std::string& p) const { return m_state->nodes.count(entryPath(p)) != 0; }
  const Node& entryAt(const std::string& p) const { return m_state->nodes.at(entryPath(p)); }
  std::string entryPath(const std::string& p) const {
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p
                                      : join(resolveLinks(p.substr(0, slash)), p.substr(slash + 1));
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
