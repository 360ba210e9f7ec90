#include "util/CollectFilesByExtensionTraversal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "io/fs/FilesFileSystem.h"
#include "testing/FakeFileSystem.h"
#include "testing/TempDir.h"

namespace util {
namespace {

// "dir|name" for every collected file, in order.
std::vector<std::string> collect(const boost::shared_ptr<io::fs::BaseFileSystem>& fs,
                                 const std::string& ext, bool recursive,
                                 const std::string& start = "") {
  CollectFilesByExtensionTraversal t(fs, ext, recursive);
  t.traverse(start);
  std::vector<std::string> out;
  for (unsigned i = 0; i < t.getFileCount(); ++i)
    out.push_back(t.getFileDirectory(i) + "|" + t.getFileName(i));
  return out;
}

using Names = std::vector<std::string>;

TEST(CollectFilesByExtension, DepthFirstInByteWiseOrder) {
  auto fs = boost::make_shared<xmdtest::FakeFileSystem>();
  fs->addFile("b.xmd", "");
  fs->addFile("K.xmd", "");
  fs->addFile("a/z.xmd", "");
  fs->addFile("a/deeper/y.xmd", "");
  fs->addFile("a/b.xmd", "");
  EXPECT_EQ((Names{"|K.xmd", "a|b.xmd", "a/deeper|y.xmd", "a|z.xmd", "|b.xmd"}),
            collect(fs, "xmd", true));
  EXPECT_EQ((Names{"|K.xmd", "|b.xmd"}), collect(fs, "xmd", false));
  EXPECT_EQ((Names{"|b.xmd", "deeper|y.xmd", "|z.xmd"}), collect(fs, "xmd", true, "a"));
  EXPECT_TRUE(collect(fs, "xmd", true, "missing").empty());
}

TEST(CollectFilesByExtension, ExtensionIsTheTextAfterTheLastDot) {
  auto fs = boost::make_shared<xmdtest::FakeFileSystem>();
  for (const char* f :
       {"a.b.xmd", ".xmd", "xmd", "a.xmd.", "c.XMD", "d.xmd/in.xmd", "plain", "e.result"})
    fs->addFile(f, "");
  EXPECT_EQ((Names{"|.xmd", "|a.b.xmd", "d.xmd|in.xmd"}), collect(fs, "xmd", true));
  EXPECT_EQ((Names{"|a.xmd.", "|plain", "|xmd"}), collect(fs, "", false));
}

TEST(CollectFilesByExtension, SecondWalkAppends) {
  auto fs = boost::make_shared<xmdtest::FakeFileSystem>();
  fs->addFile("a.xmd", "");
  CollectFilesByExtensionTraversal t(fs, "xmd", true);
  t.traverse("");
  t.traverse("");
  EXPECT_EQ(2u, t.getFileCount());
}

TEST(CollectFilesByExtension, LinkCyclesAreNotEnteredAgain) {
  auto fs = boost::make_shared<xmdtest::FakeFileSystem>();
  fs->addFile("a/m.xmd", "");
  fs->addDirLink("a/loop", "a");  // back to its own parent
  fs->addDirLink("a/top", "");    // back to the start
  fs->addDirLink("b", "a");       // a second way into a: walked, not a cycle
  CollectFilesByExtensionTraversal t(fs, "xmd", true);
  t.traverse("");
  std::vector<std::string> got;
  for (unsigned i = 0; i < t.getFileCount(); ++i)
    got.push_back(t.getFileDirectory(i) + "|" + t.getFileName(i));
  EXPECT_EQ((Names{"a|m.xmd", "b|m.xmd"}), got);
  EXPECT_EQ((Names{"a/loop", "a/top", "b/loop", "b/top"}), t.getSkippedCycles());
}

TEST(CollectFilesByExtension, RealTreeWithLinksAndRawNames) {
  xmdtest::TempDir d;
  d.write("m/one.xmd", "");
  d.write("m/sub/raw\xff.xmd", "");
  d.write("m/sub/Two.XMD", "");
  if (!d.linkDirectory("..", "m/sub/up")) GTEST_SKIP() << "no directory links on this system";
  boost::shared_ptr<io::fs::BaseFileSystem> fs(new io::fs::FilesFileSystem(d / "m"));
  CollectFilesByExtensionTraversal t(fs, "xmd", true);
  t.traverse("");
  ASSERT_EQ(2u, t.getFileCount());
  EXPECT_EQ("one.xmd", t.getFileName(0));
  EXPECT_EQ("sub", t.getFileDirectory(1));
  EXPECT_EQ("raw\xff.xmd", t.getFileName(1));
  EXPECT_EQ((Names{"sub/up"}), t.getSkippedCycles());
}

TEST(CollectFilesByExtension, DirectoriesOutsideTheRootAreNotEntered) {
  auto top = boost::make_shared<xmdtest::FakeFileSystem>();
  top->addFile("root/m.xmd", "");
  top->addFile("root/sub/n.xmd", "");
  top->addFile("elsewhere/far.xmd", "");
  top->addDirLink("root/out", "elsewhere");
  top->addDirLink("root/in", "root/sub");  // a second way in, inside the root
  CollectFilesByExtensionTraversal t(top->rootedAt("root"), "xmd", true);
  t.traverse("");
  std::vector<std::string> got;
  for (unsigned i = 0; i < t.getFileCount(); ++i)
    got.push_back(t.getFileDirectory(i) + "|" + t.getFileName(i));
  EXPECT_EQ((Names{"in|n.xmd", "|m.xmd", "sub|n.xmd"}), got);
  EXPECT_EQ((Names{"out"}), t.getSkippedOutside());
  EXPECT_TRUE(t.getSkippedCycles().empty());
}

}  // namespace
}  // namespace util
