// A scoped directory for tests that touch the real disk: created fresh, and
// private to its owner, under $TMPDIR (or the system's temporary folder) by
// the constructor, removed with everything in it by the destructor (the
// owner's permissions are given back first, so read-only entries left by a
// test go too). Paths handed out are narrow strings with "/" between their
// components (on Windows too, where the temporary folder is ASCII).
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace xmdtest {

class TempDir {
 public:
  TempDir() {
    namespace fs = std::filesystem;
    const char* env = getenv("TMPDIR");
    const fs::path base = env != nullptr && *env ? fs::path(env) : fs::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random((std::uint64_t(seed()) << 32) ^ seed());
    // A fresh name: creation fails on a name that exists, so another try
    // follows; 100 tries cannot all collide unless creation itself fails.
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
      const fs::path p = base / ("xmd-test-" + std::to_string(random() % 1000000000));
      std::error_code ec;
      if (fs::create_directory(p, ec)) {
        fs::permissions(p, fs::perms::owner_all, ec);
        m_path = p.generic_string();
      }
    }
    if (m_path.empty()) throw std::runtime_error("cannot create a temp dir");
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code ignored;
      if (!it->is_symlink(ignored)) fs::permissions(it->path(), fs::perms::owner_all, ignored);
    }
    fs::permissions(m_path, fs::perms::owner_all, ec);
    fs::remove_all(m_path, ec);
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
  // Makes rel a link to the directory target (a path relative to rel's
  // folder, or absolute). false when this system or user cannot make links
  // (Windows without the right to), so that a test can skip.
  bool linkDirectory(const std::string& target, const std::string& rel) const {
    std::error_code ec;
    std::filesystem::create_directory_symlink(target, *this / rel, ec);
    return !ec;
  }
  // The bytes of rel; throws when it cannot be read.
  std::string read(const std::string& rel) const {
    std::ifstream in(*this / rel, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + rel);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Whether rel names an entry (a dangling link counts).
  bool exists(const std::string& rel) const {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(*this / rel, ec));
  }

 private:
  std::string m_path;
};

}  // namespace xmdtest
