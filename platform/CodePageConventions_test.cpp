// The calling convention of the code-page conversions (CodePage.h), which
// holds whatever the system code page is: lengths with and without the
// terminator, the measuring call, failures and the default character. Only
// ASCII text and unpaired surrogates are used, which every ANSI code page
// treats alike.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/CodePage.h"

namespace platform {
namespace {

TEST(CodePageConventions, ZeroTerminatedInputCountsTheTerminator) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "", -1, nullptr, 0), 1);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, nullptr, 0), 3);
  char16_t wide[4] = {9, 9, 9, 9};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, wide, 4), 3);
  EXPECT_EQ(std::u16string(wide, 4), std::u16string(u"ab\0\x0009", 4));

  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ab", -1, nullptr, 0, nullptr, nullptr), 3);
  char narrow[4] = {'z', 'z', 'z', 'z'};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ab", -1, narrow, 4, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(narrow, 4), std::string("ab\0z", 4));
}

TEST(CodePageConventions, ExplicitLengthsPassZerosThrough) {
  char16_t wide[3] = {9, 9, 9};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\0b", 3, wide, 3), 3);
  EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"a\0b", 3));
  char narrow[3] = {'z', 'z', 'z'};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\0b", 3, narrow, 3, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(narrow, 3), std::string("a\0b", 3));
}

TEST(CodePageConventions, FailuresReturnZeroAndSetTheLastError) {
  char16_t wide[8];
  char narrow[8];
  struct Case {
    const char* what;
    std::function<int()> call;
    DWORD error;
  } cases[] = {
      {"wide buffer too small", [&] { return MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3); },
       ERROR_INSUFFICIENT_BUFFER},
      {"narrow buffer too small",
       [&] { return WideCharToMultiByte(CP_ACP, 0, u"abc", -1, narrow, 3, nullptr, nullptr); },
       ERROR_INSUFFICIENT_BUFFER},
      {"null source", [] { return MultiByteToWideChar(CP_ACP, 0, nullptr, -1, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {"zero source length", [] { return MultiByteToWideChar(CP_ACP, 0, "a", 0, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {"source length below -1", [] { return MultiByteToWideChar(CP_ACP, 0, "a", -2, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {"negative room", [&] { return MultiByteToWideChar(CP_ACP, 0, "a", -1, wide, -1); },
       ERROR_INVALID_PARAMETER},
      {"null destination with room",
       [] { return MultiByteToWideChar(CP_ACP, 0, "a", -1, nullptr, 4); }, ERROR_INVALID_PARAMETER},
      {"other code page", [] { return MultiByteToWideChar(65001, 0, "a", -1, nullptr, 0); },
       ERROR_INVALID_PARAMETER},
      {"other code page, wide",
       [] { return WideCharToMultiByte(65001, 0, u"a", -1, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"null wide source",
       [] { return WideCharToMultiByte(CP_ACP, 0, nullptr, -1, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"zero wide source length",
       [] { return WideCharToMultiByte(CP_ACP, 0, u"a", 0, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"null narrow destination with room",
       [] { return WideCharToMultiByte(CP_ACP, 0, u"a", -1, nullptr, 4, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"unknown flag", [] { return MultiByteToWideChar(CP_ACP, 0x1, "a", -1, nullptr, 0); },
       ERROR_INVALID_FLAGS},
      {"unknown wide flag",
       [] { return WideCharToMultiByte(CP_ACP, 0x1, u"a", -1, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {"refused surrogate",
       [] {
         return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"\xD800", -1, nullptr, 0,
                                    nullptr, nullptr);
       },
       ERROR_NO_UNICODE_TRANSLATION},
      {"refused low surrogate after text",
       [] {
         return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"ab\xDC00", 3, nullptr, 0,
                                    nullptr, nullptr);
       },
       ERROR_NO_UNICODE_TRANSLATION},
  };
  for (const Case& c : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
}

TEST(CodePageConventions, SuccessLeavesTheLastErrorAlone) {
  SetLastError(ERROR_INVALID_FLAGS);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS | WC_NO_BEST_FIT_CHARS, u"abc", -1,
                                nullptr, 0, nullptr, nullptr),
            4);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(CodePageConventions, UnpairedSurrogatesTakeTheDefaultCharacter) {
  struct Case {
    std::u16string wide;
    const char* defaultChar;
    std::string narrow;
  } cases[] = {
      {u"a\xD800", "-", "a-"},
      {u"\xD800", nullptr, "?"},
      {u"\xD83Dx", nullptr, "?x"},
      {u"x\xDFFF", "#", "x#"},
  };
  for (const Case& c : cases) {
    int used = -1;
    char narrow[8] = {};
    const int len = static_cast<int>(c.wide.size());
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.wide.data(), len, narrow, 8, c.defaultChar, &used),
              static_cast<int>(c.narrow.size()));
    EXPECT_EQ(std::string(narrow, c.narrow.size()), c.narrow);
    EXPECT_EQ(used, 1);
  }
  int used = -1;
  char narrow[4] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ab", 2, narrow, 4, nullptr, &used), 2);
  EXPECT_EQ(used, 0);
}

}  // namespace
}  // namespace platform
