#include "tool/ProgressInputStream.h"

#include <gtest/gtest.h>

#include <vector>

#include "io/ByteArrayInputStream.h"

namespace {

TEST(ProgressInputStream, ReportsThePositionEveryStepAndPassesTheBytesOn) {
  const int size = 3 * tool::ProgressInputStream::kStep + 12345;
  std::vector<unsigned char> bytes(size);
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
  io::ByteArrayInputStream source(bytes, "memory");
  std::vector<std::int64_t> reports;
  tool::ProgressInputStream in(&source, [&](std::int64_t p) { reports.push_back(p); });
  std::vector<unsigned char> read(size);
  int at = 0;
  for (int n; (n = in.read(read.data() + at, 100000)) > 0;) at += n;
  EXPECT_EQ(size, at);
  EXPECT_EQ(bytes, read);
  ASSERT_EQ(3u, reports.size());
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_GE(reports[i], static_cast<std::int64_t>(i + 1) * tool::ProgressInputStream::kStep);
    EXPECT_LT(reports[i],
              static_cast<std::int64_t>(i + 1) * tool::ProgressInputStream::kStep + 100000);
  }
  EXPECT_TRUE(in.seek(5, 0));  // the rest goes straight to the source
  EXPECT_EQ(5, source.tell());
}

}  // namespace
