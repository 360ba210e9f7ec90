#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "io/FilterInputStream.h"
#include "testing/AnsiText.h"
#include "testing/IoTestSupport.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

using xmdtest::thrown;

std::vector<unsigned char> sequence(int n) {
  std::vector<unsigned char> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 7);
  return v;
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  io::FileOutputStream out(path);
  EXPECT_EQ(out.write(bytes.data(), static_cast<int>(bytes.size())),
            static_cast<int>(bytes.size()));
}

std::vector<unsigned char> fileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(f),
                                    std::istreambuf_iterator<char>());
}

class FileStreams : public ::testing::Test {
 protected:
  xmdtest::TempDir dir;
};

TEST_F(FileStreams, WriteThenReadBack) {
  std::string path = dir / "data.bin";
  writeFile(path, sequence(100));
  EXPECT_EQ(fileBytes(path), sequence(100));

  io::FileInputStream in(path);
  EXPECT_EQ(in.toString(), path);
  std::vector<unsigned char> got(100);
  EXPECT_EQ(in.read(got.data(), 40), 40);
  EXPECT_EQ(in.read(got.data() + 40, 100), 60);  // short count at the end
  EXPECT_EQ(got, sequence(100));
  EXPECT_EQ(in.read(got.data(), 10), 0);
  EXPECT_TRUE(in.rewind());
  EXPECT_EQ(in.read(got.data(), 10), 10);  // works again after the end
}

TEST_F(FileStreams, SkipAvailableSeekTell) {
  std::string path = dir / "data.bin";
  writeFile(path, sequence(400));
  io::FileInputStream in(path);
  EXPECT_TRUE(in.seek(100, 0));
  EXPECT_EQ(in.skip(1000), 300);
  EXPECT_EQ(in.tell(), 400);

  EXPECT_TRUE(in.seek(10, 0));
  EXPECT_EQ(in.available(), 390);
  EXPECT_EQ(in.tell(), 10);
  EXPECT_TRUE(in.seek(5, 1));
  EXPECT_EQ(in.tell(), 15);
  EXPECT_TRUE(in.seek(-4, 2));
  EXPECT_EQ(in.tell(), 396);

  // A failed seek leaves the stream where it was, and usable.
  EXPECT_FALSE(in.seek(-1, 0));
  EXPECT_EQ(in.tell(), 396);
  unsigned char b;
  EXPECT_EQ(in.read(&b, 1), 1);
  EXPECT_EQ(b, sequence(400)[396]);
}

TEST_F(FileStreams, CloneOpensAfreshAndFiltersNameTheFile) {
  std::string path = dir / "data.bin";
  writeFile(path, sequence(50));
  io::FileInputStream in(path);
  in.skip(20);
  lang::Ptr<io::InputStream> copy = in.clone();
  EXPECT_EQ(copy->tell(), 0);
  EXPECT_EQ(copy->toString(), path);
  io::FilterInputStream filter(&in);
  EXPECT_EQ(filter.toString(), path);
  EXPECT_EQ(filter.clone().get(), nullptr);
}

TEST_F(FileStreams, OpenFailures) {
  std::string missing = dir / "missing.bin";
  EXPECT_EQ(thrown([&] { io::FileInputStream in(missing); }),
            "FileNotFoundException: Failed to open file for reading: {0} | n:" + missing);
  EXPECT_EQ(thrown([&] { io::FileInputStream in(dir.path()); }),
            "FileNotFoundException: Failed to open file for reading: {0} | n:" + dir.path());
  EXPECT_EQ(
      thrown([&] { io::FileInputStream in(std::u16string(dir.path().begin(), dir.path().end())); }),
      "FileNotFoundException: Failed to open file for reading: {0} | n:" + dir.path());
  EXPECT_EQ(thrown([&] { io::FileOutputStream out(dir.path()); }),
            "FileNotFoundException: Failed to open file for writing: {0} | n:" + dir.path());
  std::string noDir = dir / "no/such/dir.bin";
  EXPECT_EQ(thrown([&] { io::FileOutputStream out(noDir); }),
            "FileNotFoundException: Failed to open file for writing: {0} | n:" + noDir);
  EXPECT_EQ(thrown([&] { io::FileInputStream in(std::u16string(missing.begin(), missing.end())); }),
            "FileNotFoundException: Failed to open file for reading: {0} | n:" + missing);
  EXPECT_EQ(thrown([&] { io::FileOutputStream out(std::u16string(noDir.begin(), noDir.end())); }),
            "FileNotFoundException: Failed to open file for writing: {0} | n:" + noDir);
}

TEST_F(FileStreams, WidePathsOpenTheNarrowForm) {
  std::u16string wide = u"caf\u00E9.bin";
  std::string narrow = dir / ("caf" + xmdtest::ansi(u"\u00E9") + ".bin");
  std::u16string widePath(dir.path().begin(), dir.path().end());
  widePath += u"/" + wide;
  {
    io::FileOutputStream out(widePath);
    EXPECT_EQ(out.toString(), narrow);
    out.write(sequence(30).data(), 30);
  }
  EXPECT_EQ(fileBytes(narrow), sequence(30));
  io::FileInputStream in(widePath);
  EXPECT_EQ(in.toString(), narrow);
  EXPECT_EQ(in.available(), 30);
  std::vector<unsigned char> got(30);
  EXPECT_EQ(in.read(got.data(), 30), 30);
  EXPECT_EQ(got, sequence(30));
  EXPECT_TRUE(in.seek(3, 0));
  EXPECT_EQ(in.tell(), 3);
  lang::Ptr<io::InputStream> copy = in.clone();
  EXPECT_EQ(copy->available(), 30);
}

TEST_F(FileStreams, OpeningForWritingTruncates) {
  std::string path = dir / "data.bin";
  writeFile(path, sequence(100));
  writeFile(path, sequence(3));
  EXPECT_EQ(fileBytes(path).size(), 3u);
}

TEST_F(FileStreams, AfterClose) {
  std::string path = dir / "data.bin";
  writeFile(path, sequence(10));
  io::FileInputStream in(path);
  in.close();
  unsigned char b[4];
  EXPECT_EQ(in.read(b, 4), 0);
  EXPECT_EQ(in.skip(4), 0);
  EXPECT_EQ(in.tell(), -1);
  EXPECT_EQ(in.available(), 0);
  EXPECT_FALSE(in.seek(0, 0));
  EXPECT_EQ(in.toString(), path);

  io::FileOutputStream out(dir / "out.bin");
  out.write(b, 4);
  out.close();
  EXPECT_EQ(fileBytes((dir / "out.bin")).size(), 4u);  // close wrote the buffer out
  out.flush();
  EXPECT_EQ(thrown([&] { out.write(b, 4); }),
            "IOException: Failed to write to file: {0} | n:" + (dir / "out.bin"));
}

TEST(FileOutputStreamFailures, WriteAndFlushOnAFullDevice) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  {
    io::FileOutputStream out("/dev/full");
    unsigned char b[4] = {1, 2, 3, 4};
    EXPECT_EQ(out.write(b, 4), 4);  // buffered
    EXPECT_EQ(thrown([&] { out.flush(); }),
              "IOException: Cannot flush file output stream: {0} | n:/dev/full");
  }
  {
    io::FileOutputStream out("/dev/full");
    std::vector<unsigned char> big(1 << 20, 1);
    EXPECT_EQ(thrown([&] { out.write(big.data(), static_cast<int>(big.size())); }),
              "IOException: Failed to write to file: {0} | n:/dev/full");
  }
}

}  // namespace
