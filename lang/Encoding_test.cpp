#include "lang/Encoding.h"

#include <gtest/gtest.h>

#include <vector>

#include "io/IOException.h"
#include "io/UnsupportedEncodingException.h"

namespace lang {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Encoding, NamesAreExact) {
  EXPECT_EQ(Encoding("ASCII-7").number(), 1u);
  EXPECT_EQ(Encoding("UTF-8").number(), 2u);
  EXPECT_EQ(Encoding("UTF-16BE").number(), 3u);
  EXPECT_EQ(Encoding("UTF-16LE").number(), 4u);
  for (const char* name : {"utf-8", "UTF8", "UTF-8 ", "", "UTF-16", "ASCII"}) {
    try {
      Encoding e(name);
      ADD_FAILURE() << name << " accepted";
    } catch (const io::UnsupportedEncodingException& e) {
      EXPECT_TRUE(e.getMessage().pattern() == "Unsupported encoding: {0}");
      EXPECT_EQ(e.getMessage().argCount(), 1u);
      EXPECT_EQ(e.getMessage().arg(0).kind(), FormatArg::NarrowText);
      EXPECT_EQ(e.getMessage().arg(0).narrow(), name);
    }
  }
  EXPECT_THROW(Encoding(nullptr), io::IOException);
}

struct DecodeCase {
  const char* encoding;
  Bytes in;
  bool ok;
  std::int32_t consumed;
  std::uint32_t codePoint;  // checked when ok
};

TEST(Encoding, DecodeTable) {
  const DecodeCase cases[] = {
      {"ASCII-7", {}, false, 0, 0},
      {"ASCII-7", {0x41}, true, 1, 0x41},
      {"ASCII-7", {0xE9, 0x41}, true, 1, 0xE9},
      {"UTF-8", {}, false, 0, 0},
      {"UTF-8", {0x41, 0x42}, true, 1, 0x41},
      {"UTF-8", {0x00}, true, 1, 0},
      {"UTF-8", {0xC3, 0xA9}, true, 2, 0xE9},
      {"UTF-8", {0x80}, false, 1, 0},
      {"UTF-8", {0xBF, 0x80}, false, 1, 0},
      {"UTF-8", {0xC3}, false, 1, 0},
      {"UTF-8", {0xE2, 0x82}, false, 1, 0},
      {"UTF-8", {0xF0, 0x90, 0x80}, false, 1, 0},
      {"UTF-8", {0xE0, 0x80, 0x80}, true, 3, 0},       // overlong accepted
      {"UTF-8", {0xC3, 0x41}, true, 2, 0xC1},          // continuation not tested
      {"UTF-8", {0xED, 0xA0, 0x80}, true, 3, 0xD800},  // surrogate accepted
      {"UTF-8", {0xE2, 0x82, 0xAC}, true, 3, 0x20AC},
      {"UTF-8", {0xF0, 0x9F, 0x98, 0x80}, true, 4, 0x1F600},
      {"UTF-8", {0xF7, 0xBF, 0xBF, 0xBF}, true, 4, 0x1FFFFF},
      {"UTF-8", {0xF8, 0x80, 0x80, 0x80, 0x80}, false, 1, 0},
      {"UTF-8", {0xFF}, false, 1, 0},
      {"UTF-16BE", {}, false, 0, 0},
      {"UTF-16BE", {0x00}, false, 0, 0},
      {"UTF-16BE", {0x00, 0xE9}, true, 2, 0xE9},
      {"UTF-16LE", {0xE9, 0x00}, true, 2, 0xE9},
      {"UTF-16BE", {0xD8, 0x3D, 0xDE, 0x00}, true, 4, 0x1F600},
      {"UTF-16LE", {0x3D, 0xD8, 0x00, 0xDE}, true, 4, 0x1F600},
      {"UTF-16BE", {0xD8, 0x3D}, false, 2, 0},
      {"UTF-16BE", {0xD8, 0x3D, 0xDE}, false, 2, 0},
      {"UTF-16BE", {0xDE, 0x00}, true, 2, 0xDE00},              // lone low surrogate
      {"UTF-16BE", {0xD8, 0x3D, 0x00, 0x41}, true, 2, 0xD83D},  // high without low
  };
  for (const DecodeCase& c : cases) {
    const Encoding e(c.encoding);
    std::int32_t consumed = -1;
    std::uint32_t cp = 0xDEADBEEF;
    const bool ok = e.decode(c.in.data(), c.in.data() + c.in.size(), consumed, cp);
    SCOPED_TRACE(::testing::Message() << c.encoding << " case of " << c.in.size() << " bytes, "
                                      << (c.in.empty() ? 0 : int{c.in[0]}));
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(consumed, c.consumed);
    if (c.ok) {
      EXPECT_EQ(cp, c.codePoint);
    }
  }
}

struct EncodeCase {
  const char* encoding;
  std::uint32_t codePoint;
  std::size_t room;
  bool ok;
  Bytes out;  // produced == out.size()
};

TEST(Encoding, EncodeTable) {
  const EncodeCase cases[] = {
      {"ASCII-7", 0x41, 1, true, {0x41}},
      {"ASCII-7", 0x7F, 4, true, {0x7F}},
      {"ASCII-7", 0x80, 4, false, {}},
      {"ASCII-7", 0xE9, 4, false, {}},
      {"ASCII-7", 0x41, 0, false, {}},
      {"UTF-8", 0x41, 1, true, {0x41}},
      {"UTF-8", 0xE9, 2, true, {0xC3, 0xA9}},
      {"UTF-8", 0xE9, 1, false, {}},
      {"UTF-8", 0x7FF, 2, true, {0xDF, 0xBF}},
      {"UTF-8", 0x20AC, 3, true, {0xE2, 0x82, 0xAC}},
      {"UTF-8", 0x20AC, 2, false, {}},
      {"UTF-8", 0xD800, 3, true, {0xED, 0xA0, 0x80}},
      {"UTF-8", 0x10000, 4, true, {0xF0, 0x90, 0x80, 0x80}},
      {"UTF-8", 0x1FFFFF, 4, true, {0xF7, 0xBF, 0xBF, 0xBF}},
      {"UTF-8", 0x10000, 3, false, {}},
      {"UTF-8", 0x200000, 8, false, {}},
      {"UTF-16LE", 0x1F600, 4, true, {0x3D, 0xD8, 0x00, 0xDE}},
      {"UTF-16BE", 0x1F600, 4, true, {0xD8, 0x3D, 0xDE, 0x00}},
      {"UTF-16BE", 0xE9, 2, true, {0x00, 0xE9}},
      {"UTF-16LE", 0xE9, 2, true, {0xE9, 0x00}},
      {"UTF-16LE", 0xE9, 1, false, {}},
      {"UTF-16LE", 0x1F600, 3, false, {}},
      {"UTF-16BE", 0x10FFFF, 4, true, {0xDB, 0xFF, 0xDF, 0xFF}},
      {"UTF-16BE", 0x110000, 4, false, {}},
  };
  for (const EncodeCase& c : cases) {
    const Encoding e(c.encoding);
    Bytes buffer(8, 0xAA);
    std::int32_t produced = -1;
    const bool ok = e.encode(buffer.data(), buffer.data() + c.room, produced, c.codePoint);
    SCOPED_TRACE(::testing::Message()
                 << c.encoding << " U+" << std::hex << c.codePoint << " room " << c.room);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(produced, static_cast<std::int32_t>(c.out.size()));
    Bytes expected = c.out;
    expected.resize(8, 0xAA);  // nothing written past the result, or at all on failure
    EXPECT_EQ(buffer, expected);
  }
}

TEST(Encoding, Utf8RoundTripOfEveryCodePointItCanWrite) {
  const Encoding utf8("UTF-8");
  std::uint8_t buffer[4];
  for (std::uint32_t cp = 0; cp < 0x200000; cp += (cp < 0x11000 ? 1 : 97)) {
    std::int32_t produced = 0, consumed = 0;
    std::uint32_t back = 0;
    ASSERT_TRUE(utf8.encode(buffer, buffer + 4, produced, cp));
    ASSERT_TRUE(utf8.decode(buffer, buffer + produced, consumed, back));
    ASSERT_EQ(consumed, produced);
    ASSERT_EQ(back, cp);
  }
}

TEST(Encoding, EmptyAndReversedRangesNeverTouchMemory) {
  std::uint8_t byte = 0x41;
  for (const char* name : {"ASCII-7", "UTF-8", "UTF-16BE", "UTF-16LE"}) {
    const Encoding e(name);
    std::int32_t n = -1;
    std::uint32_t cp = 0;
    EXPECT_FALSE(e.decode(&byte, &byte, n, cp));
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(e.decode(nullptr, nullptr, n, cp));
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(e.encode(&byte + 1, &byte, n, 0x41));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(byte, 0x41);
  }
}

}  // namespace
}  // namespace lang
