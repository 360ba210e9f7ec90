#include "tool/Progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

struct Fixture {
  std::ostringstream err;
  double now = 0;
  tool::Progress progress{err, true, [this] { return now; }, 40};
};

TEST(Progress, DisabledDrawsNothing) {
  std::ostringstream err;
  tool::Progress p(err, false, [] { return 0.0; });
  p.startFile(0, 2, "a.xmd", 100);
  p.fileBytes(50, 100);
  p.finish();
  EXPECT_EQ("", err.str());
}

TEST(Progress, RedrawsInPlaceAtMostEveryTenthOfASecond) {
  Fixture f;
  f.progress.startFile(0, 3, "m/a.xmd", 10);
  EXPECT_EQ("\r[1/3] m/a.xmd\x1b[K", f.err.str());
  f.now = 0.05;
  f.progress.startFile(1, 3, "m/b.xmd", 10);  // too soon: not drawn
  EXPECT_EQ("\r[1/3] m/a.xmd\x1b[K", f.err.str());
  f.now = 0.2;
  f.progress.fileBytes(5, 10);
  EXPECT_EQ("\r[1/3] m/a.xmd\x1b[K\r[2/3] m/b.xmd\x1b[K", f.err.str());
  f.err.str("");
  f.progress.erase();  // a console line follows: the next draw comes at once
  f.progress.startFile(2, 3, "m/c.xmd", 10);
  f.progress.finish();
  EXPECT_EQ("\r\x1b[K\r[3/3] m/c.xmd\x1b[K\r\x1b[K", f.err.str());
  f.err.str("");
  f.progress.finish();  // nothing shown: nothing to erase
  EXPECT_EQ("", f.err.str());
}

TEST(Progress, LongNamesKeepTheirEndAndLargeFilesShowTheirRate) {
  Fixture f;
  const std::string deep = "very/deep/folder/with/many/levels/and/the/file.xmd";
  f.progress.startFile(0, 1, deep, tool::Progress::kLargeFile * 2);
  const std::string line = f.err.str();
  EXPECT_EQ(0u, line.find("\r[1/1] ...")) << line;
  EXPECT_NE(std::string::npos, line.find("/the/file.xmd\x1b[K")) << line;
  EXPECT_EQ(40u, line.size() - std::string("\r\x1b[K").size()) << line;

  f.err.str("");
  f.now = 2;
  f.progress.fileBytes(tool::Progress::kLargeFile, tool::Progress::kLargeFile * 2);  // half in 2 s
  EXPECT_NE(std::string::npos, f.err.str().find("  50% 8.4 MB/s\x1b[K")) << f.err.str();
}

}  // namespace
