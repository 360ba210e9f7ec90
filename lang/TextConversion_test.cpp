#include "lang/TextConversion.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "platform/CodePage.h"
#include "testing/AnsiText.h"

namespace lang {
namespace {

// Runs f and returns the what() of the std::exception it throws ("" if none).
template <typename F>
std::string failureOf(F f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(TextConversion, ConvertsBothWays) {
  EXPECT_EQ(ansiToWide(std::string()), u"");
  EXPECT_EQ(ansiToWide(""), u"");
  EXPECT_EQ(wideToAnsi(std::u16string()), "");
  EXPECT_EQ(wideToAnsi(u""), "");
  const std::string cafe = "dir/caf" + xmdtest::ansi(u"\u00E9") + ".xmd";
  EXPECT_EQ(ansiToWide(cafe), u"dir/caf\u00E9.xmd");
  EXPECT_EQ(wideToAnsi(u"dir/caf\u00E9.xmd"), cafe);
  EXPECT_EQ(wideToAnsi(ansiToWide(std::string("a\xE9\xFF/b"))), "a\xE9\xFF/b");  // not UTF-8
  EXPECT_EQ(wideToAnsi(u"\xD800x"), "?x");  // replaced, no failure
  // The input ends at its first zero.
  EXPECT_EQ(ansiToWide(std::string("ab\0cd", 5)), u"ab");
  EXPECT_EQ(wideToAnsi(std::u16string(u"ab\0cd", 5)), "ab");
}

TEST(TextConversion, ArbitraryBytesSurviveTheRoundTrip) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(1, 255), length(0, 1023);
  for (int round = 0; round < 300; ++round) {
    std::string name;
    for (int i = length(rng); i > 0; --i) name.push_back(static_cast<char>(byte(rng)));
    const std::u16string wide = ansiToWide(name);  // escapes take one unit per byte at most
    ASSERT_EQ(wideToAnsi(wide), name);
  }
}

TEST(TextConversion, LimitIs1023UnitsBesidesTheTerminator) {
  EXPECT_EQ(ansiToWide(std::string(1023, 'x')).size(), 1023u);
  EXPECT_EQ(failureOf([] { ansiToWide(std::string(1024, 'x')); }), "Error in conversion.");
  EXPECT_EQ(wideToAnsi(std::u16string(1023, u'x')).size(), 1023u);
  EXPECT_EQ(failureOf([] { wideToAnsi(std::u16string(1024, u'x')); }), "Error in conversion.");
  // Counted in units of the converted form: where U+00E9 takes two narrow
  // bytes (UTF-8), 2046 narrow bytes are 1023 wide units...
  const std::string e = xmdtest::ansi(u"\u00E9");
  std::string many;
  for (int i = 0; i < 1023; ++i) many += e;
  EXPECT_EQ(ansiToWide(many).size(), 1023u);
  // ...while 512 of them need 1024 narrow bytes plus the terminator.
  const std::size_t fit = 1023 / e.size();
  const std::u16string fitting(fit, u'\u00E9');
  EXPECT_EQ(wideToAnsi(fitting).size(), fit * e.size());
  const std::u16string filled = fitting + std::u16string(1023 - fit * e.size(), u'x');
  EXPECT_EQ(wideToAnsi(filled).size(), 1023u);
  EXPECT_EQ(failureOf([&] { wideToAnsi(fitting + u'\u00E9'); }), "Error in conversion.");
}

TEST(TextConversion, NullInputFailsCleanly) {
  EXPECT_EQ(failureOf([] { ansiToWide(static_cast<const char*>(nullptr)); }),
            "Error in conversion.");
  EXPECT_EQ(failureOf([] { wideToAnsi(static_cast<const char16_t*>(nullptr)); }),
            "Error in conversion.");
}

TEST(TextConversion, FailuresAreStandardExceptions) {
  try {
    ansiToWide(std::string(5000, 'x'));
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Error in conversion.");
  }
}

// Stand-ins for the platform calls, for the failures its own conversion
// never reports.
platform::DWORD g_fakeError = 0;
int g_measured = 0;
int g_written = 0;
int fakeToWide(platform::UINT, platform::DWORD, const char*, int, char16_t* dst, int room) {
  if (!dst) {
    platform::SetLastError(g_fakeError);
    return g_measured;
  }
  for (int i = 0; i < g_written && i < room; ++i) dst[i] = u'w';
  return g_written;
}
int fakeToNarrow(platform::UINT, platform::DWORD, const char16_t*, int, char* dst, int room,
                 const char*, int*) {
  if (!dst) return g_measured;
  for (int i = 0; i < g_written && i < room; ++i) dst[i] = 'n';
  return g_written;
}
const detail::CodePageCalls kFake = {&fakeToWide, &fakeToNarrow, &platform::GetLastError};

TEST(TextConversion, EveryMessageOnItsPath) {
  struct Case {
    platform::DWORD error;
    int measured;
    int written;
    const char* toWide;  // failure of ansiToWide, "" for success
    const char* toNarrow;
  } cases[] = {
      {platform::ERROR_NO_UNICODE_TRANSLATION, 0, 0, "Invalid ANSI sequence.",
       "Error in conversion."},
      {platform::ERROR_INVALID_PARAMETER, 0, 0, "Error in conversion.", "Error in conversion."},
      {0, 1025, 1025, "Error in conversion.", "Error in conversion."},
      {0, 1024, 1024, "", ""},
      {0, 5, 4, "La falla!", "La falla!"},
      {0, 5, 0, "La falla!", "La falla!"},
      {0, 1, 1, "", ""},
      // A stale "no translation" code after a success is not a failure.
      {platform::ERROR_NO_UNICODE_TRANSLATION, 3, 3, "", ""},
  };
  for (const Case& c : cases) {
    g_fakeError = c.error;
    g_measured = c.measured;
    g_written = c.written;
    platform::SetLastError(c.error);
    EXPECT_EQ(failureOf([] { detail::ansiToWide("in", kFake); }), c.toWide) << c.measured;
    EXPECT_EQ(failureOf([] { detail::wideToAnsi(u"in", kFake); }), c.toNarrow) << c.measured;
  }
  g_measured = g_written = 4;
  EXPECT_EQ(detail::ansiToWide("in", kFake), u"www");
  EXPECT_EQ(detail::wideToAnsi(u"in", kFake), "nnn");
  g_measured = g_written = 1;
  EXPECT_EQ(detail::ansiToWide("in", kFake), u"");
  EXPECT_EQ(detail::wideToAnsi(u"in", kFake), "");
}

TEST(TextConversion, RefusingCodePageReportsInvalidSequence) {
  // A code page that refuses every byte above 0x7F, as another platform's
  // may refuse bad sequences; it reports through the platform's last error.
  const detail::CodePageCalls refusing = {
      [](platform::UINT cp, platform::DWORD flags, const char* src, int len, char16_t* dst,
         int room) {
        for (const char* p = src; *p != 0; ++p) {
          if (static_cast<unsigned char>(*p) > 0x7F) {
            platform::SetLastError(platform::ERROR_NO_UNICODE_TRANSLATION);
            return 0;
          }
        }
        return platform::MultiByteToWideChar(cp, flags, src, len, dst, room);
      },
      &platform::WideCharToMultiByte, &platform::GetLastError};
  EXPECT_EQ(detail::ansiToWide("cafe", refusing), u"cafe");
  EXPECT_EQ(failureOf([&] { detail::ansiToWide("caf\xE9", refusing); }), "Invalid ANSI sequence.");
}

}  // namespace
}  // namespace lang
