// File streams over what only POSIX systems have: a named pipe, which opens
// like a file but cannot seek. Built on POSIX systems only (io/CMakeLists.txt).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "io/FileInputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/TempDir.h"

namespace {

using xmdtest::thrown;

TEST(FileStreamsPosix, AvailableOnAnUnseekableSource) {
  xmdtest::TempDir dir;
  std::string fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int keepOpen = open(fifo.c_str(), O_RDWR);  // a writer, so opening for reading does not block
  ASSERT_GE(keepOpen, 0);
  {
    io::FileInputStream in(fifo);
    EXPECT_EQ(thrown([&] { in.available(); }),
              "IOException: Failed to seek file position: {0} | n:" + fifo);
  }
  close(keepOpen);
}

}  // namespace
