// Conversions between narrow text in the system code page (std::string; UTF-8
// here, with undecodable bytes escaped so that every file name survives the
// round trip) and wide UTF-16 text (std::u16string), for paths and console
// text. Both go through the platform's code-page conversion with CP_ACP and
// the whole zero-terminated input, so the input ends at its first zero.
//
// Limits: the converted form, terminator included, must fit one process-wide
// buffer of 1024 units (wide units, or bytes of the narrow form): at most
// 1023 units of text. Each direction has its own buffer, guarded by a lock so
// that two conversions of one direction never share it; the result is copied
// out before the call returns.
//
// Failures throw std::runtime_error (a std::exception) whose what() is the
// message: "Invalid ANSI sequence." (narrow input with no Unicode
// translation; cannot happen with the escaping code page, kept for one that
// refuses), "Error in conversion." (the platform could not measure the input,
// e.g. a null pointer, or the result needs more than 1024 units) and
// "La falla!" (the conversion wrote another number of units than measured).
#pragma once

#include <string>

#include "platform/LastError.h"

namespace lang {

// Room of each process-wide conversion buffer, terminator included.
constexpr int kConversionBufferUnits = 1024;

std::u16string ansiToWide(const std::string& narrow);
std::u16string ansiToWide(const char* narrow);
std::string wideToAnsi(const std::u16string& wide);
std::string wideToAnsi(const char16_t* wide);

namespace detail {
// The platform calls the conversions rest on. Tests pass stand-ins to reach
// failures that the platform's own conversion never reports.
struct CodePageCalls {
  int (*multiByteToWideChar)(platform::UINT, platform::DWORD, const char*, int, char16_t*, int);
  int (*wideCharToMultiByte)(platform::UINT, platform::DWORD, const char16_t*, int, char*, int,
                             const char*, int*);
  platform::DWORD (*getLastError)();
};
const CodePageCalls& platformCodePageCalls();
std::u16string ansiToWide(const char* narrow, const CodePageCalls& calls);
std::string wideToAnsi(const char16_t* wide, const CodePageCalls& calls);
}  // namespace detail

}  // namespace lang
