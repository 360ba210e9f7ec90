// The patchable streams: ByteArrayOutputStream and FileOutputStream (both of
// its constructors) against the same table of patches.
#include "io/ByteArrayOutputStream.h"
#include "io/FileOutputStream.h"
#include "io/PatchableOutputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

Bytes fileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// One kind of patchable stream: makes a fresh one, and reads back what it
// holds (for a file: after a flush).
struct Kind {
  const char* name;
  std::function<io::PatchableOutputStream*(const std::string& path)> make;
  std::function<Bytes(io::PatchableOutputStream&, const std::string& path)> contents;
};

std::vector<Kind> kinds() {
  const auto fromFile = [](io::PatchableOutputStream& s, const std::string& path) {
    s.flush();
    return fileBytes(path);
  };
  return {
      {"memory", [](const std::string&) { return new io::ByteArrayOutputStream(0); },
       [](io::PatchableOutputStream& s, const std::string&) {
         const auto& b = static_cast<io::ByteArrayOutputStream&>(s);
         return Bytes(b.data(), b.data() + b.size());
       }},
      {"file", [](const std::string& path) { return new io::FileOutputStream(path); }, fromFile},
      {"wide file",
       [](const std::string& path) {
         return new io::FileOutputStream(std::u16string(path.begin(), path.end()));
       },
       fromFile},
  };
}

class PatchableOutputStream : public ::testing::Test {
 protected:
  xmdtest::TempDir dir;
};

TEST_F(PatchableOutputStream, PatchesOverwriteInPlaceAndLeaveThePosition) {
  struct Patch {
    std::int64_t position;
    Bytes bytes;
  };
  const std::vector<Patch> patches = {
      {0, {0xA0}},                        // the first byte
      {6, {0xB0, 0xB1, 0xB2, 0xB3}},      // inside
      {99996, {0xC0, 0xC1, 0xC2, 0xC3}},  // the last four bytes (still buffered by a file)
      {500, {}},                          // nothing
      {100000, {}},                       // nothing, at the end
  };
  for (const Kind& kind : kinds()) {
    const std::string path = dir / (std::string(kind.name) + ".bin");
    std::unique_ptr<io::PatchableOutputStream> s(kind.make(path));
    Bytes expected(100000);
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<unsigned char>(i * 7);
    EXPECT_EQ(s->getPosition(), 0) << kind.name;
    s->write(expected.data(), 50000);
    s->write(expected.data() + 50000, 50000);
    for (const Patch& p : patches) {
      s->patch(p.position, p.bytes.data(), static_cast<int>(p.bytes.size()));
      std::copy(p.bytes.begin(), p.bytes.end(), expected.begin() + p.position);
      EXPECT_EQ(s->getPosition(), 100000) << kind.name << " " << p.position;
    }
    const unsigned char more[2] = {1, 2};
    s->write(more, 2);  // goes on at the end
    expected.insert(expected.end(), more, more + 2);
    EXPECT_EQ(kind.contents(*s, path), expected) << kind.name;
  }
}

TEST_F(PatchableOutputStream, RangesOutsideTheWrittenBytesAreRefused) {
  struct Range {
    std::int64_t position;
    int size;
  };
  const Range ranges[] = {{-1, 1}, {-1, 0}, {0, 11},        {7, 4},        {10, 1},
                          {11, 0}, {2, -1}, {INT64_MAX, 1}, {INT64_MIN, 4}};
  for (const Kind& kind : kinds()) {
    const std::string path = dir / (std::string(kind.name) + ".bin");
    std::unique_ptr<io::PatchableOutputStream> s(kind.make(path));
    const Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    s->write(ten.data(), 10);
    const std::string name = kind.name == std::string("memory") ? "ByteArrayOutputStream" : path;
    const unsigned char patch[11] = {};
    for (const Range& r : ranges)
      EXPECT_EQ(thrown([&] { s->patch(r.position, patch, r.size); }),
                "IOException: Failed to seek file position: {0} | n:" + name)
          << kind.name << " " << r.position << "+" << r.size;
    EXPECT_EQ(s->getPosition(), 10);
    EXPECT_EQ(kind.contents(*s, path), ten) << kind.name;
  }
}

TEST_F(PatchableOutputStream, AClosedFileRefusesPatches) {
  const std::string path = dir / "closed.bin";
  io::FileOutputStream s(path);
  s.write("abcd", 4);
  s.close();
  EXPECT_EQ(thrown([&] { s.patch(0, "x", 1); }),
            "IOException: Failed to write to file: {0} | n:" + path);
  EXPECT_EQ(thrown([&] { s.getPosition(); }),
            "IOException: Failed to seek file position: {0} | n:" + path);
  EXPECT_EQ(fileBytes(path), (Bytes{'a', 'b', 'c', 'd'}));
}

}  // namespace
