#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/FilterInputStream.h"
#include "io/FilterOutputStream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<unsigned char> sequence(int n) {
  std::vector<unsigned char> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i);
  return v;
}

TEST(InputStream, SkipReadsAndDropsUpToTheEnd) {
  io::ByteArrayInputStream in(sequence(300));
  EXPECT_EQ(in.skip(0), 0);
  EXPECT_EQ(in.skip(-5), 0);
  EXPECT_EQ(in.skip(1000), 300);
  EXPECT_EQ(in.tell(), 300);
  unsigned char b;
  EXPECT_EQ(in.read(&b, 1), 0);
  EXPECT_TRUE(in.rewind());
  EXPECT_EQ(in.read(&b, 1), 1);
}

TEST(InputStream, SkipKeepsGoingOverShortReads) {
  io::ByteArrayInputStream in(sequence(600), "short", 100);
  EXPECT_EQ(in.skip(550), 550);
  unsigned char b;
  ASSERT_EQ(in.read(&b, 1), 1);
  EXPECT_EQ(b, static_cast<unsigned char>(550));
}

TEST(InputStream, MarksAreNotSupported) {
  io::ByteArrayInputStream in(sequence(4));
  in.mark(10);
  unsigned char b[2];
  in.read(b, 2);
  in.reset();
  EXPECT_EQ(in.tell(), 2);
  EXPECT_FALSE(in.markSupported());
}

TEST(FilterInputStream, ForwardsEverythingButClone) {
  io::ByteArrayInputStream in(sequence(100), "source.bin");
  io::FilterInputStream f(&in);
  EXPECT_EQ(f.toString(), "source.bin");
  EXPECT_EQ(f.clone().get(), nullptr);
  unsigned char b[10];
  EXPECT_EQ(f.read(b, 10), 10);
  EXPECT_EQ(in.tell(), 10);
  EXPECT_EQ(f.available(), 90);
  EXPECT_EQ(f.skip(5), 5);
  EXPECT_EQ(f.tell(), 15);
  EXPECT_TRUE(f.seek(50, 0));
  EXPECT_EQ(in.tell(), 50);
  EXPECT_TRUE(f.rewind());
  EXPECT_EQ(in.tell(), 0);
  f.close();
  EXPECT_EQ(in.read(b, 1), 0);
}

TEST(FilterOutputStream, ForwardsToTheSink) {
  io::ByteArrayOutputStream out(0);
  io::FilterOutputStream f(&out);
  unsigned char b[3] = {1, 2, 3};
  EXPECT_EQ(f.write(b, 3), 3);
  f.flush();
  f.close();
  EXPECT_EQ(out.size(), 3);
  EXPECT_EQ(f.toString(), "ByteArrayOutputStream");
}

TEST(ByteArrayInputStream, SeeksWithinBoundsOnly) {
  io::ByteArrayInputStream in(sequence(10));
  EXPECT_TRUE(in.seek(-2, 2));
  EXPECT_EQ(in.tell(), 8);
  EXPECT_TRUE(in.seek(-3, 1));
  EXPECT_EQ(in.tell(), 5);
  EXPECT_FALSE(in.seek(11, 0));
  EXPECT_FALSE(in.seek(-6, 1));
  EXPECT_EQ(in.tell(), 5);
  lang::Ptr<io::InputStream> copy = in.clone();
  EXPECT_EQ(copy->tell(), 0);
  EXPECT_EQ(copy->available(), 10);
}

}  // namespace
