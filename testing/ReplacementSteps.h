// The steps of a replacement of io::fs::FilesFileSystem as tests take them:
// open a file for replacement, write its result, list the results that lie
// in a directory, read a stream whole, work in another current directory.
// Header-only, for the tests of the file system on every platform.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "io/InputStream.h"
#include "io/fs/DirectoryListing.h"
#include "io/fs/FilesFileSystem.h"
#include "io/fs/Replacement.h"

namespace xmdtest {

// The names pattern matches in fs, a directory's with a "/" after it.
inline std::vector<std::string> list(io::fs::FilesFileSystem& fs, const std::string& pattern) {
  io::fs::DirectoryListing listing;
  fs.listDirectory(pattern, listing);
  std::vector<std::string> out;
  for (const io::fs::DirectoryEntry& e : listing)
    out.push_back(e.name + (e.isDirectory ? "/" : ""));
  return out;
}

// Everything left in the stream.
inline std::string readAll(io::InputStream& in) {
  std::string out;
  char buf[64];
  for (int n; (n = in.read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  return out;
}

// Runs the body with the current directory set to dir, and sets it back.
template <typename F>
void inDirectory(const std::string& dir, F body) {
  char old[4096];
  ASSERT_NE(nullptr, getcwd(old, sizeof old));
  ASSERT_EQ(0, chdir(dir.c_str()));
  body();
  ASSERT_EQ(0, chdir(old));
}

// Opens path for replacement; fails the test on a refusal (and returns null).
inline std::unique_ptr<io::fs::Replacement> openOrFail(io::fs::FilesFileSystem& fs,
                                                       const std::string& path) {
  io::fs::Replacement::Refusal refusal = io::fs::Replacement::kNone;
  std::unique_ptr<io::fs::Replacement> r = fs.openReplacement(path, refusal);
  EXPECT_TRUE(r) << path << " refused: " << refusal;
  return r;
}

// Creates the result of r, writes bytes to it and closes its stream.
inline void writeResult(io::fs::Replacement& r, const std::string& bytes) {
  lang::Ptr<io::OutputStream> out = r.createResult();
  out->write(bytes.data(), static_cast<int>(bytes.size()));
  out->close();
}

// The names in the directory dir that hold ".xmdopt-".
inline std::vector<std::string> resultsIn(const std::string& dir) {
  std::vector<std::string> out;
  io::fs::FilesFileSystem fs(dir);
  for (const std::string& name : list(fs, "*"))
    if (name.find(".xmdopt-") != std::string::npos) out.push_back(name);
  return out;
}

}  // namespace xmdtest
