#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace platform {
namespace {

// Converts with the two-call pattern (measure, then convert) and checks that
// both calls agree. srcLen is explicit, so embedded zeros pass through.
std::u16string toWide(const std::string& s) {
  const int len = static_cast<int>(s.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), len, nullptr, 0);
  EXPECT_GT(n, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, s.data(), len, &out[0], n), n);
  return out;
}

std::string toNarrow(const std::u16string& w, int* usedDefault = nullptr) {
  const int len = static_cast<int>(w.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), len, nullptr, 0, nullptr, nullptr);
  EXPECT_GT(n, 0);
  std::string out(static_cast<std::size_t>(n), '\0');
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, w.data(), len, &out[0], n, nullptr, usedDefault), n);
  return out;
}

TEST(CodePage, NarrowToWideTable) {
  struct Case {
    std::string narrow;
    std::u16string wide;
  } cases[] = {
      {"abc", u"abc"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\xE9", u"\xDCE9"},                                // Latin-1 byte: escaped
      {"\xC0\x80", u"\xDCC0\xDC80"},                      // overlong zero
      {"\xE0\x80\x80", u"\xDCE0\xDC80\xDC80"},            // overlong
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // above U+10FFFF
      {"\xE2\x82", u"\xDCE2\xDC82"},                      // cut short
      {"\xE2\x82x", u"\xDCE2\xDC82x"},
      {"\x80\xBF", u"\xDC80\xDCBF"},  // lone continuations
      {"\xFF\xF8", u"\xDCFF\xDCF8"},
      {"a\xC3\xA9\xC3", u"a\u00E9\xDCC3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toWide(c.narrow), c.wide) << c.narrow;
  }
}

TEST(CodePage, WideToNarrowTable) {
  struct Case {
    std::u16string wide;
    std::string narrow;
    int usedDefault;
  } cases[] = {
      {u"abc", "abc", 0},
      {u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC", 0},
      {u"\U0001F600", "\xF0\x9F\x98\x80", 0},
      {u"\U00010080", "\xF0\x90\x82\x80", 0},  // low unit in the escape range, yet paired
      {u"\xDCE9", "\xE9", 0},                  // escaped byte
      {u"\xDC80\xDCFF", "\x80\xFF", 0},
      {u"\xD800", "?", 1},  // unpaired high
      {u"\xD83Dx", "?x", 1},
      {u"\xDC00", "?", 1},  // lone low outside the escape range
      {u"\xDC7F\xDD00\xDFFF", "???", 1},
  };
  for (const Case& c : cases) {
    int used = -1;
    EXPECT_EQ(toNarrow(c.wide, &used), c.narrow);
    EXPECT_EQ(used, c.usedDefault);
  }
}

TEST(CodePage, EveryByteStringSurvivesTheRoundTrip) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string s{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(toNarrow(toWide(s)), s) << a << " " << b;
    }
  }
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> byte(0, 255), length(1, 16), bias(0, 3);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (int i = length(rng); i > 0; --i) {
      // Lean towards lead and continuation bytes so that near-valid sequences are common.
      int v = byte(rng);
      if (bias(rng) == 0) v = 0x80 | (v & 0x3F);
      if (bias(rng) == 0) v = 0xE0 | (v & 0x1F);
      s.push_back(static_cast<char>(v));
    }
    ASSERT_EQ(toNarrow(toWide(s)), s);
  }
}

TEST(CodePage, ZeroTerminatedMultiByteInputCountsTheTerminator) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xC3\xA9", -1, nullptr, 0), 3);
  char16_t wide[4] = {9, 9, 9, 9};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xC3\xA9", -1, wide, 4), 3);
  EXPECT_EQ(std::u16string(wide, 4), std::u16string(u"a\u00E9\0\x0009", 4));

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u00E9", -1, nullptr, 0, nullptr, nullptr), 4);
  char narrow[5] = {'z', 'z', 'z', 'z', 'z'};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u00E9", -1, narrow, 5, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(narrow, 5), std::string("a\xC3\xA9\0z", 5));
  char small[2];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00E9", -1, small, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, RefusedByteSequence) {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\xE9", -1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\xC3\xA9", -1, nullptr, 0), 2);
}

}  // namespace
}  // namespace platform
