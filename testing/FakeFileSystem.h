// xmdtest::FakeFileSystem: an in-memory io::fs::BaseFileSystem for tests of
// the code above the file system (traversals, the driver), in the manner of a
// virtual file system: files and directories live in a map, every operation
// is logged, and any operation on any path can be made to fail.
//
// Paths are relative, "/"-separated, used as given (an empty path is the
// root). A directory link (addDirLink) lists and identifies as its target.
// Listing supports the patterns "*.*" and "*" in the last component.
// Header-only; one thread.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "io/OutputStream.h"
#include "io/ByteArrayInputStream.h"
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
    std::string linkTarget;  // for a directory link: the directory it names
  };

  FakeFileSystem() { m_nodes[""].isDirectory = true; }

  void addFile(const std::string& path, const std::string& bytes, bool readOnly = false) {
    addParents(path);
    Node& n = m_nodes[path];
    n = Node();
    n.bytes = bytes;
    n.readOnly = readOnly;
  }
  void addDir(const std::string& path) {
    addParents(path);
    m_nodes[path].isDirectory = true;
  }
  void addDirLink(const std::string& path, const std::string& target) {
    addParents(path);
    Node& n = m_nodes[path];
    n.isDirectory = true;
    n.isLink = true;
    n.linkTarget = target;
  }
  // Makes operation op ("openInputStream", "write", "replaceFile", ...) on
  // path fail from now on.
  void failOn(const std::string& op, const std::string& path) {
    m_failures.insert(op + " " + path);
  }

  bool has(const std::string& path) const { return m_nodes.count(resolveLinks(path)) != 0; }
  const Node& node(const std::string& path) const { return m_nodes.at(resolveLinks(path)); }
  // "op path" for every operation made, in order.
  const std::vector<std::string>& log() const { return m_log; }

  lang::Ptr<io::InputStream> openInputStream(const std::string& path) override {
    if (!note("openInputStream", path) || !isFile(path))
      throw io::FileNotFoundException(lang::Format("Failed to open file for reading: {0}", path));
    const std::string& b = node(path).bytes;
    return lang::Ptr<io::InputStream>(
        new io::ByteArrayInputStream(std::vector<unsigned char>(b.begin(), b.end()), path));
  }
  lang::Ptr<io::OutputStream> openOutputStream(const std::string& path) override {
    const std::string parent = parentOf(path);
    if (!note("openOutputStream", path) || !isDirectory(parent) || isDirectory(path) ||
        (has(path) && node(path).readOnly))
      throw io::FileNotFoundException(lang::Format("Failed to open file for writing: {0}", path));
    addFile(path, "");
    return lang::Ptr<io::OutputStream>(new Output(this, path));
  }
  boost::shared_ptr<io::unicode_ifstream> openUnicodeInputStream(const std::string&) override {
    return boost::shared_ptr<io::unicode_ifstream>();
  }
  boost::shared_ptr<io::unicode_ofstream> openUnicodeOutputStream(const std::string&) override {
    return boost::shared_ptr<io::unicode_ofstream>();
  }
  bool getFileInfo(const std::string& path, io::fs::FileInfo& info) override {
    if (!note("getFileInfo", path) || !has(path)) {
      info.error = 1;
      return false;
    }
    info.error = 0;
    info.size = static_cast<std::uint32_t>(node(path).bytes.size());
    info.lastWriteTime = node(path).time;
    return true;
  }
  bool setFileTime(const std::string& path, const io::fs::FileInfo& info) override {
    if (!note("setFileTime", path) || !has(path)) return false;
    m_nodes[resolveLinks(path)].time = info.lastWriteTime;
    return true;
  }
  bool isFile(const std::string& path) override { return has(path) && !node(path).isDirectory; }
  bool isDirectory(const std::string& path) override { return has(path) && node(path).isDirectory; }
  bool copyFile(const std::string& from, const std::string& to) override {
    if (!note("copyFile", from) || !isFile(from) || !isDirectory(parentOf(to)) || isDirectory(to))
      return false;
    addFile(to, node(from).bytes);
    return true;
  }
  bool moveFile(const std::string& from, const std::string& to) override {
    if (!note("moveFile", from) || !has(from) || has(to) || !isDirectory(parentOf(to)))
      return false;
    m_nodes[to] = node(from);
    m_nodes.erase(from);
    return true;
  }
  bool deleteFile(const std::string& path) override {
    if (!note("deleteFile", path) || !isFile(path) || node(path).readOnly) return false;
    m_nodes.erase(path);
    return true;
  }
  bool setReadOnly(const std::string& path, bool readOnly) override {
    if (!has(path)) return false;
    if (note("setReadOnly", path)) m_nodes[resolveLinks(path)].readOnly = readOnly;
    return true;
  }
  bool createDirectory(const std::string& path) override {
    if (!note("createDirectory", path) || has(path) || !isDirectory(parentOf(path))) return false;
    m_nodes[path].isDirectory = true;
    return true;
  }
  bool removeDirectory(const std::string& path) override {
    if (!note("removeDirectory", path) || !isDirectory(path) || !children(path).empty())
      return false;
    m_nodes.erase(path);
    return true;
  }
  void listDirectory(const std::string& pattern, io::fs::DirectoryListing& listing) override {
    note("listDirectory", pattern);
    const std::string dir = parentOf(pattern);
    const std::string last =
        pattern.substr(pattern.rfind('/') == std::string::npos ? 0 : pattern.rfind('/') + 1);
    if ((last != "*.*" && last != "*") || !isDirectory(dir)) return;
    std::vector<io::fs::DirectoryEntry> found;
    for (const std::string& name : children(dir)) {
      const Node& n = node(join(dir, name));
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
    if (!has(path)) return false;
    id.volume = 1;
    id.index = std::hash<std::string>()(resolveLinks(path));
    return true;
  }
  bool replaceFile(const std::string& replaced, const std::string& replacement,
                   std::string& reason) override {
    if (!note("replaceFile", replaced)) {
      reason = "Access is denied.";
      return false;
    }
    if (!isFile(replaced) || !isFile(replacement)) {
      reason = "The system cannot find the file specified.";
      return false;
    }
    m_nodes[replaced] = node(replacement);
    m_nodes[replaced].readOnly = false;
    m_nodes.erase(replacement);
    return true;
  }
  bool flushDirectory(const std::string& directory, std::string& reason) override {
    if (!note("flushDirectory", directory) || !isDirectory(directory)) {
      reason = "The system cannot write to the specified device.";
      return false;
    }
    return true;
  }

 private:
  // The output stream of a fake file: appends to the node at every write.
  class Output : public io::OutputStream {
   public:
    Output(FakeFileSystem* fs, std::string path) : m_fs(fs), m_path(std::move(path)) {}
    int write(const void* src, int size) override {
      if (!m_fs->note("write", m_path))
        throw io::IOException(lang::Format("Failed to write to file: {0}", m_path));
      m_fs->m_nodes[m_path].bytes.append(static_cast<const char*>(src),
                                         static_cast<std::size_t>(size));
      return size;
    }
    void flush() override {
      if (!m_fs->note("flush", m_path))
        throw io::IOException(lang::Format("Cannot flush file output stream: {0}", m_path));
    }
    std::string toString() const override { return m_path; }

   private:
    FakeFileSystem* m_fs;
    std::string m_path;
  };

  static std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  static std::string join(const std::string& dir, const std::string& name) {
    return dir.empty() ? name : dir + "/" + name;
  }
  void addParents(const std::string& path) {
    for (std::string p = parentOf(path); !p.empty(); p = parentOf(p)) m_nodes[p].isDirectory = true;
  }
  // The path with every directory link along it replaced by its target.
  std::string resolveLinks(const std::string& path) const {
    std::string out;
    std::size_t start = 0;
    while (start <= path.size() && !path.empty()) {
      const std::size_t slash = path.find('/', start);
      out = join(
          out, path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
      auto it = m_nodes.find(out);
      if (it != m_nodes.end() && it->second.isLink) out = it->second.linkTarget;
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    return out;
  }
  std::vector<std::string> children(const std::string& dir) const {
    const std::string real = resolveLinks(dir);
    const std::string prefix = real.empty() ? "" : real + "/";
    std::vector<std::string> out;
    for (const auto& kv : m_nodes) {
      if (kv.first.empty() || kv.first.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string rest = kv.first.substr(prefix.size());
      if (!rest.empty() && rest.find('/') == std::string::npos) out.push_back(rest);
    }
    return out;
  }
  // Logs the operation; false when it is to fail.
  bool note(const std::string& op, const std::string& path) {
    m_log.push_back(op + " " + path);
    return m_failures.count(op + " " + path) == 0;
  }

  std::map<std::string, Node> m_nodes;
  std::set<std::string> m_failures;
  std::vector<std::string> m_log;
};

}  // namespace xmdtest
