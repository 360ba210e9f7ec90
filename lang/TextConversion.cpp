#include "lang/TextConversion.h"

#include <mutex>
#include <stdexcept>

#include "platform/CodePage.h"

namespace lang {

namespace {

const char kInvalidSequence[] = "Invalid ANSI sequence.";
const char kConversionError[] = "Error in conversion.";
const char kCountMismatch[] = "La falla!";

// One buffer per direction, shared by the whole process.
char16_t g_wideBuffer[kConversionBufferUnits];
char g_narrowBuffer[kConversionBufferUnits];
std::mutex g_wideLock;
std::mutex g_narrowLock;

}  // namespace

namespace detail {

const CodePageCalls& platformCodePageCalls() {
  static const CodePageCalls calls = {&platform::MultiByteToWideChar,
                                      &platform::WideCharToMultiByte, &platform::GetLastError};
  return calls;
}

std::u16string ansiToWide(const char* narrow, const CodePageCalls& calls) {
  const int n = calls.multiByteToWideChar(platform::CP_ACP, 0, narrow, -1, nullptr, 0);
  // The last error is read only when the call failed: a success leaves a
  // stale code from an earlier call in place.
  if (n == 0 && calls.getLastError() == platform::ERROR_NO_UNICODE_TRANSLATION) {
    throw std::runtime_error(kInvalidSequence);
  }
  if (n <= 0 || n > kConversionBufferUnits) throw std::runtime_error(kConversionError);
  std::lock_guard<std::mutex> hold(g_wideLock);
  const int written = calls.multiByteToWideChar(platform::CP_ACP, 0, narrow, -1, g_wideBuffer,
                                                kConversionBufferUnits);
  if (written != n) throw std::runtime_error(kCountMismatch);
  return n < 2 ? std::u16string() : std::u16string(g_wideBuffer, static_cast<std::size_t>(n - 1));
}

std::string wideToAnsi(const char16_t* wide, const CodePageCalls& calls) {
  const int n =
      calls.wideCharToMultiByte(platform::CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0 || n > kConversionBufferUnits) throw std::runtime_error(kConversionError);
  std::lock_guard<std::mutex> hold(g_narrowLock);
  const int written = calls.wideCharToMultiByte(platform::CP_ACP, 0, wide, -1, g_narrowBuffer,
                                                kConversionBufferUnits, nullptr, nullptr);
  if (written != n) throw std::runtime_error(kCountMismatch);
  return n < 2 ? std::string() : std::string(g_narrowBuffer, static_cast<std::size_t>(n - 1));
}

}  // namespace detail

std::u16string ansiToWide(const std::string& narrow) {
  return detail::ansiToWide(narrow.c_str(), detail::platformCodePageCalls());
}

std::u16string ansiToWide(const char* narrow) {
  return detail::ansiToWide(narrow, detail::platformCodePageCalls());
}

std::string wideToAnsi(const std::u16string& wide) {
  return detail::wideToAnsi(wide.c_str(), detail::platformCodePageCalls());
}

std::string wideToAnsi(const char16_t* wide) {
  return detail::wideToAnsi(wide, detail::platformCodePageCalls());
}

}  // namespace lang
