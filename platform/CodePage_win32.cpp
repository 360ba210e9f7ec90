// The code-page conversions of CodePage.h on the system's own
// MultiByteToWideChar / WideCharToMultiByte, with the system ANSI code page
// (CP_ACP). The calling convention of CodePage.h holds: only CP_ACP and the
// flags named there are accepted, and WC_ERR_INVALID_CHARS (which the system
// takes for UTF-8 alone) is checked here before the system converts.
//
// Wide to narrow never maps a character to a look-alike ("best fit"): a
// character the code page lacks becomes the default character, as
// WC_NO_BEST_FIT_CHARS asks. Best fit would turn file names into other,
// existing names (U+FF0E FULLWIDTH FULL STOP into ".", so a directory named
// with two of them into ".."), and every narrow path comes from here.
#include "platform/Win32.h"

namespace platform {

namespace {

// The argument rules of CodePage.h, which the system applies less strictly
// (it takes any negative length for -1).
bool validCall(UINT codePage, const void* src, int srcLen, const void* dst, int dstLen) {
  return codePage == CP_ACP && src != nullptr && srcLen != 0 && srcLen >= -1 && dstLen >= 0 &&
         (dstLen == 0 || dst != nullptr);
}

bool isHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
bool isLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

// Whether the srcLen units at src (zero-terminated when srcLen is -1) hold a
// surrogate without its partner.
bool hasUnpairedSurrogate(const char16_t* src, int srcLen) {
  const std::size_t n =
      srcLen == -1 ? std::char_traits<char16_t>::length(src) : static_cast<std::size_t>(srcLen);
  for (std::size_t i = 0; i < n; ++i) {
    if (isHigh(src[i]) && i + 1 < n && isLow(src[i + 1])) {
      ++i;
    } else if (isHigh(src[i]) || isLow(src[i])) {
      return true;
    }
  }
  return false;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, char16_t* dst,
                        int dstLen) {
  if (!validCall(codePage, src, srcLen, dst, dstLen)) return win32::fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~DWORD(MB_ERR_INVALID_CHARS)) != 0) return win32::fail(ERROR_INVALID_FLAGS);
  return ::MultiByteToWideChar(CP_ACP, flags, src, srcLen, win32::wide(dst), dstLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, int* usedDefaultChar) {
  if (!validCall(codePage, src, srcLen, dst, dstLen)) return win32::fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~DWORD(WC_NO_BEST_FIT_CHARS | WC_ERR_INVALID_CHARS)) != 0)
    return win32::fail(ERROR_INVALID_FLAGS);
  if ((flags & WC_ERR_INVALID_CHARS) != 0 && hasUnpairedSurrogate(src, srcLen))
    return win32::fail(ERROR_NO_UNICODE_TRANSLATION);
  // When the ANSI code page is UTF-8 the system refuses a default character,
  // its flag and WC_NO_BEST_FIT_CHARS; every character is representable then
  // (an unpaired surrogate becomes U+FFFD).
  const bool utf8 = ::GetACP() == CP_UTF8;
  ::BOOL used = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, win32::wide(src),
                                      srcLen, dst, dstLen, utf8 ? nullptr : defaultChar,
                                      utf8 || usedDefaultChar == nullptr ? nullptr : &used);
  if (n != 0 && usedDefaultChar != nullptr) *usedDefaultChar = used ? 1 : 0;
  return n;
}

}  // namespace platform
