// CollectFilesByExtensionTraversal over real POSIX names: a backslash and a
// colon are ordinary characters of a name there, never separators, and a
// symbolic link made the POSIX way leads outside the root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "io/fs/FilesFileSystem.h"
#include "testing/TempDir.h"
#include "util/CollectFilesByExtensionTraversal.h"

namespace util {
namespace {

using Names = std::vector<std::string>;

TEST(CollectFilesByExtension, NamesAreNeverSplit) {
  xmdtest::TempDir d;
  d.write("outside/v.xmd", "");
  d.write("m/..\\outside\\v.xmd", "");
  d.write("m/a:/b\\c/m.xmd", "");
  d.write("m/\\tmp\\x.xmd", "");
  ASSERT_EQ(0, symlink((d / "outside").c_str(), (d / "m/link").c_str()));
  boost::shared_ptr<io::fs::BaseFileSystem> fs(new io::fs::FilesFileSystem(d / "m"));
  CollectFilesByExtensionTraversal t(fs, "xmd", true);
  t.traverse("");
  std::vector<std::string> got;
  for (unsigned i = 0; i < t.getFileCount(); ++i)
    got.push_back(t.getFileDirectory(i) + "|" + t.getFileName(i));
  EXPECT_EQ((Names{"|..\\outside\\v.xmd", "|\\tmp\\x.xmd", "a:/b\\c|m.xmd"}), got);
  EXPECT_EQ((Names{"link"}), t.getSkippedOutside());
}

}  // namespace
}  // namespace util
