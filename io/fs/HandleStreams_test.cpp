// The input and output streams over open files. The input stream against
// the file input stream as the reference: the same positions, counts and
// ends, whatever the sequence of moves, in files that span several buffers.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "io/FileInputStream.h"
#include "io/IOException.h"
#include "io/fs/HandleInputStream.h"
#include "io/fs/HandleOutputStream.h"
#include "lang/TextConversion.h"
#include "platform/FileAt.h"
#include "testing/TempDir.h"

namespace io {
namespace fs {
namespace {

std::shared_ptr<OpenFile> openFile(const std::string& path, platform::DWORD access,
                                   platform::DWORD disposition = platform::OPEN_EXISTING) {
  const platform::HANDLE h =
      platform::CreateFileW(lang::ansiToWide(path).c_str(), access, 3, nullptr, disposition,
                            platform::FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(platform::INVALID_HANDLE_VALUE, h) << path;
  return std::make_shared<OpenFile>(h, path);
}

std::string bytesOf(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 131 + (i >> 8));
  return s;
}

TEST(HandleInputStream, MovesAndReadsAsTheFileInputStream) {
  for (const std::size_t size : {0u, 1u, 1000u, 65536u, 65537u, 200000u}) {
    xmdtest::TempDir t;
    const std::string bytes = bytesOf(size);
    t.write("f", bytes);
    HandleInputStream file(openFile(t / "f", platform::GENERIC_READ));
    FileInputStream reference(t / "f");
    EXPECT_EQ(t / "f", file.toString());
    std::mt19937 rng(static_cast<unsigned>(size));
    for (int step = 0; step < 400; ++step) {
      const int op = static_cast<int>(rng() % 6);
      const int n = static_cast<int>(rng() % 70000) - (op == 3 ? 35000 : 0);
      const std::string what = std::to_string(size) + " step " + std::to_string(step);
      switch (op) {
        case 0: {
          std::string a(static_cast<std::size_t>(std::max(n, 0)), '\0'), b = a;
          ASSERT_EQ(reference.read(&b[0], n), file.read(&a[0], n)) << what;
          ASSERT_EQ(b, a) << what;
          break;
        }
        case 1:
          ASSERT_EQ(reference.skip(n), file.skip(n)) << what;
          break;
        case 2:
          ASSERT_EQ(reference.seek(n % (static_cast<int>(size) + 2), 0),
                    file.seek(n % (static_cast<int>(size) + 2), 0))
              << what;
          break;
        case 3:
          ASSERT_EQ(reference.seek(n / 8, 1), file.seek(n / 8, 1)) << what;
          break;
        case 4:
          ASSERT_EQ(reference.seek(-(n % 100), 2), file.seek(-(n % 100), 2)) << what;
          break;
        default:
          ASSERT_EQ(reference.available(), file.available()) << what;
      }
      ASSERT_EQ(reference.tell(), file.tell()) << what;
    }
    file.close();
    char c;
    EXPECT_EQ(0, file.read(&c, 1));
    EXPECT_EQ(-1, file.tell());
    EXPECT_FALSE(file.seek(0, 0));
    EXPECT_EQ(0, file.available());
    EXPECT_FALSE(file.clone());
  }
}

TEST(HandleInputStream, AFailedReadIsAnError) {
  xmdtest::TempDir t;
  HandleInputStream dir(openFile(t.path(), platform::GENERIC_READ));
  char c;
  try {
    dir.read(&c, 1);
    ADD_FAILURE() << "a directory read";
  } catch (const IOException& e) {
    EXPECT_EQ("Failed to read from file: " + t.path(), lang::toText(e));
  }
}

TEST(HandleOutputStream, SmallAndLargeWritesInOrder) {
  xmdtest::TempDir t;
  std::string expected;
  {
    HandleOutputStream out(openFile(t / "f", platform::GENERIC_WRITE, platform::CREATE_NEW));
    EXPECT_EQ(t / "f", out.toString());
    std::mt19937 rng(5);
    for (int i = 0; i < 200; ++i) {
      const std::string part = bytesOf(rng() % (i % 10 == 0 ? 100000 : 300));
      EXPECT_EQ(static_cast<int>(part.size()),
                out.write(part.data(), static_cast<int>(part.size())));
      expected += part;
      if (i == 100) {
        out.flush();
        EXPECT_EQ(expected, t.read("f"));
      }
    }
    EXPECT_EQ(0, out.write("x", 0));
    out.close();
    EXPECT_EQ(expected, t.read("f"));
    EXPECT_THROW(out.write("x", 1), IOException);
    out.flush();  // nothing to do once closed
  }
  EXPECT_EQ(expected, t.read("f"));
}

// Patches land where they belong whether their bytes are still buffered,
// already in the file, or both; the stream goes on at its end.
TEST(HandleOutputStream, PatchesInTheBufferTheFileAndAcross) {
  xmdtest::TempDir t;
  HandleOutputStream out(openFile(t / "f", platform::GENERIC_WRITE, platform::CREATE_NEW));
  std::string expected = bytesOf(70000);  // more than the buffer: a part reaches the file
  out.write(expected.data(), 1000);
  out.write(expected.data() + 1000, 69000);
  const std::string tail = bytesOf(5000);
  out.write(tail.data(), static_cast<int>(tail.size()));
  expected += tail;
  EXPECT_EQ(75000, out.getPosition());
  const struct {
    std::int64_t at;
    int size;
  } patches[] = {{0, 4}, {100, 3000}, {69998, 4}, {70000, 8}, {74990, 10}, {75000, 0}};
  char fill = 'A';
  for (const auto& p : patches) {
    const std::string bytes(static_cast<std::size_t>(p.size), fill++);
    out.patch(p.at, bytes.data(), p.size);
    expected.replace(static_cast<std::size_t>(p.at), bytes.size(), bytes);
    EXPECT_EQ(75000, out.getPosition());
  }
  for (const auto& bad :
       {std::make_pair<std::int64_t, int>(-1, 2), std::make_pair<std::int64_t, int>(74999, 2),
        std::make_pair<std::int64_t, int>(0, -1)})
    EXPECT_THROW(out.patch(bad.first, "xy", bad.second), IOException) << bad.first;
  out.write("end", 3);
  expected += "end";
  out.close();
  EXPECT_EQ(expected, t.read("f"));
  EXPECT_THROW(out.patch(0, "x", 1), IOException);
}

TEST(HandleOutputStream, AFailedWriteIsAnError) {
  xmdtest::TempDir t;
  t.write("f", "");
  HandleOutputStream out(openFile(t / "f", platform::GENERIC_READ));  // not writable
  EXPECT_EQ(3, out.write("abc", 3));                                  // buffered
  try {
    out.flush();
    ADD_FAILURE() << "a write to a file opened for reading";
  } catch (const IOException& e) {
    EXPECT_EQ("Failed to write to file: " + t / "f", lang::toText(e));
  }
  const std::string big(100000, 'x');
  EXPECT_THROW(out.write(big.data(), static_cast<int>(big.size())), IOException);
  EXPECT_EQ("", t.read("f"));
}

}  // namespace
}  // namespace fs
}  // namespace io
