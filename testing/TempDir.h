// A scoped directory for tests that touch the real disk: created fresh under
// $TMPDIR (or /tmp) by the constructor, removed with everything in it by the
// destructor (write permission is given back first, so read-only entries
// left by a test go too). Paths handed out are narrow (UTF-8) strings.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace xmdtest {

class TempDir {
 public:
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base ? base : "/tmp") + "/xmd-test-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("cannot create a temp dir");
    m_path = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_symlink()) chmod(it->path().c_str(), 0700);
    }
    chmod(m_path.c_str(), 0700);
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's absolute path, without a trailing "/".
  const std::string& path() const { return m_path; }
  // The absolute path of rel inside the directory.
  std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

  // Writes bytes to rel (creating its parent directories); throws on failure.
  void write(const std::string& rel, const std::string& bytes) const {
    const std::filesystem::path p = *this / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
  }
  // Creates the directory rel and its parents.
  void mkdirs(const std::string& rel) const { std::filesystem::create_directories(*this / rel); }
  // The bytes of rel; throws when it cannot be read.
  std::string read(const std::string& rel) const {
    std::ifstream in(*this / rel, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + rel);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Whether rel names an entry (a dangling link counts).
  bool exists(const std::string& rel) const {
    struct stat st;
    return lstat((*this / rel).c_str(), &st) == 0;
  }

 private:
  std::string m_path;
};

}  // namespace xmdtest
