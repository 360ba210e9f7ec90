// The code-page conversions on Windows, where the system ANSI code page
// decides what narrow text means. The tables are those of code page 1252
// (western Windows, and Wine's default); under another code page they are
// skipped with a message.
#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"

namespace platform {
namespace {

std::u16string toWide(const std::string& s) {
  const int len = static_cast<int>(s.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), len, nullptr, 0);
  EXPECT_GT(n, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, s.data(), len, &out[0], n), n);
  return out;
}

std::string toNarrow(const std::u16string& w, DWORD flags = 0, int* usedDefault = nullptr) {
  const int len = static_cast<int>(w.size());
  const int n = WideCharToMultiByte(CP_ACP, flags, w.data(), len, nullptr, 0, nullptr, nullptr);
  EXPECT_GT(n, 0);
  std::string out(static_cast<std::size_t>(n), '\0');
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, flags, w.data(), len, &out[0], n, nullptr, usedDefault), n);
  return out;
}

// Code page 1252 is the one that puts the euro sign at 0x80.
bool codePageIs1252() { return toWide("\x80") == u"\u20AC"; }

TEST(CodePageWin32, Windows1252Table) {
  if (!codePageIs1252()) GTEST_SKIP() << "the ANSI code page is not 1252";
  struct Case {
    std::string narrow;
    std::u16string wide;
  } cases[] = {
      {"abc", u"abc"},     {"\xE9", u"\u00E9"},
      {"\x80", u"\u20AC"}, {"\x9F", u"\u0178"},
      {"\xFF", u"\u00FF"}, {"a\xC3\xA9", u"a\u00C3\u00A9"},  // UTF-8 bytes are two characters here
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toWide(c.narrow), c.wide) << c.narrow;
    EXPECT_EQ(toNarrow(c.wide), c.narrow) << c.narrow;
  }
}

TEST(CodePageWin32, EveryByteStringSurvivesTheRoundTrip) {
  if (!codePageIs1252()) GTEST_SKIP() << "the ANSI code page is not 1252";
  for (int a = 1; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string s{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(toNarrow(toWide(s)), s) << a << " " << b;
    }
  }
}

TEST(CodePageWin32, CharactersOutsideTheCodePageTakeTheDefault) {
  if (!codePageIs1252()) GTEST_SKIP() << "the ANSI code page is not 1252";
  struct Case {
    std::u16string wide;
    DWORD flags;
    std::string narrow;
    int usedDefault;
  } cases[] = {
      {u"\u4E2D.xmd", 0, "?.xmd", 1},
      {u"\u4E2D.xmd", WC_NO_BEST_FIT_CHARS, "?.xmd", 1},
      {u"\u0100", WC_NO_BEST_FIT_CHARS, "?", 1},
      // Never a look-alike: these would be "A", "../x" and "/x" by best fit.
      {u"\u0100", 0, "?", 1},
      {u"\uFF0E\uFF0E\uFF0Fx", 0, "???x", 1},
      {u"\u2215x", 0, "?x", 1},
  };
  for (const Case& c : cases) {
    int used = -1;
    EXPECT_EQ(toNarrow(c.wide, c.flags, &used), c.narrow);
    EXPECT_EQ(used, c.usedDefault);
  }
  // A character beyond the 16-bit range becomes default characters too
  // (how many differs between systems); as a valid pair it is no error.
  for (DWORD flags : {DWORD(0), DWORD(WC_ERR_INVALID_CHARS | WC_NO_BEST_FIT_CHARS)}) {
    int used = -1;
    const std::string narrow = toNarrow(u"\U0001F600", flags, &used);
    EXPECT_FALSE(narrow.empty());
    EXPECT_EQ(narrow.find_first_not_of('?'), std::string::npos) << narrow;
    EXPECT_EQ(used, 1);
  }
}

}  // namespace
}  // namespace platform
