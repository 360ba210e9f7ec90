#include "tool/SplitPath.h"

#include <gtest/gtest.h>

namespace tool {

namespace {

TEST(SplitPath, Table) {
  const struct {
    const char* path;
    const char* dir;
    const char* name;
    const char* ext;
  } cases[] = {
      {"D:\\data\\ship.xmd", "D:\\data", "ship", "xmd"},
      {"D:\\data\\models", "D:\\data/models", "", ""},
      {"models", "models", "", ""},
      {"ship.xmd", "", "ship", "xmd"},
      {"D:\\data\\", "D:\\data/", "", ""},
      {".", "", "", ""},
      {"a/b\\c.d/e.f", "a/b\\c.d", "e", "f"},
      {"a\\b/c", "a\\b/c", "", ""},  // the later separator wins
      {"a.b.xmd", "", "a.b", "xmd"},
      {"dir/.xmd", "dir", "", "xmd"},
      {"dir/file.", "dir", "file", ""},
      {"models.d", "", "models", "d"},  // a directory with a dot is taken as a file
      {"/", "//", "", ""},              // the leading separator stays
      {"/ship.xmd", "/", "ship", "xmd"},
      {"/models", "//models", "", ""},
      {"\\models", "\\/models", "", ""},
      {"", "", "", ""},
      {"/abs/ship.XMD", "/abs", "ship", "XMD"},
  };
  for (const auto& c : cases) {
    std::string dir, name, ext;
    splitPath(c.path, dir, name, ext);
    EXPECT_EQ(c.dir, dir) << c.path;
    EXPECT_EQ(c.name, name) << c.path;
    EXPECT_EQ(c.ext, ext) << c.path;
  }
}

}  // namespace

}  // namespace tool
