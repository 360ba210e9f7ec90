#include "io/fs/Path.h"

#include <gtest/gtest.h>

namespace io {
namespace fs {
namespace {

TEST(Path, Normalises) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"D:\\data\\models\\", "D:/data/models"},
      {"a///b", "a//b"},  // one pass, no rescan
      {"a////b", "a//b"},
      {"a//b//c", "a/b/c"},
      {"/", ""},
      {"D:\\", "D:"},
      {"", ""},
      {"a/./b/../c/", "a/./b/../c"},  // dots stay
      {"//server\\share", "/server/share"},
      {"x//", "x"},
      {"x///", "x/"},  // "//" pass then one trailing "/" dropped
      {"Ship.XMD", "Ship.XMD"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, std::string(Path(std::string(c.in)))) << c.in;
}

TEST(Path, Joins) {
  const struct {
    const char* parent;
    const char* child;
    const char* out;
  } cases[] = {
      {"", "sub", "sub"},
      {"sub", "a.b", "sub/a.b"},
      {"a", "", "a"},
      {"a/", "b/", "a/b"},
      {"a\\\\b\\", "c\\d", "a/b/c/d"},
      {"a", "b//c", "a/b//c"},  // no "//" pass on the child
      {"", "", ""},
      {"", "/", ""},
      {"/", "x", "/x"},
      {"dir", "*.*", "dir/*.*"},
      {"a///", "b", "a//b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.out, std::string(Path(std::string(c.parent), std::string(c.child))))
        << c.parent << " + " << c.child;
}

TEST(Path, EntriesKeepEveryByteOfTheirName) {
  const struct {
    const char* directory;
    const char* name;
    const char* out;
  } cases[] = {
      {"", "a.xmd", "a.xmd"},
      {"sub", "a.xmd", "sub/a.xmd"},
      {"/", "a.xmd", "/a.xmd"},
      {"root/", "a", "root/a"},
      {"sub", "..\\outside\\v.xmd", "sub/..\\outside\\v.xmd"},  // one name, not a path
      {"", "\\tmp\\v.xmd", "\\tmp\\v.xmd"},                     // not absolute
      {"d", "a:", "d/a:"},
      {"d\\e", "f", "d\\e/f"},  // the directory is not normalised either
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const Path p = Path::ofEntry(c.directory, c.name);
    EXPECT_EQ(c.out, std::string(p)) << c.directory << " + " << c.name;
  }
  EXPECT_FALSE(Path::isAbsolute(Path::ofEntry("", "\\tmp\\v.xmd")));
}

TEST(Path, IsAbsolute) {
  const struct {
    const char* path;
    bool absolute;
  } cases[] = {
      {"/x", true},   {"/", true},    {"D:/x", true},   {"D:/", true},
      {"D:", false},  {"D:x", false}, {"D:\\x", false}, {"", false},
      {"x/y", false}, {"\\x", false}, {"ab:/", false},  {"x:/", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.absolute, Path::isAbsolute(c.path)) << c.path;
}

}  // namespace
}  // namespace fs
}  // namespace io
