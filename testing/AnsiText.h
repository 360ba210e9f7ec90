// Narrow text in the system ANSI code page, for tests of the layers above the
// platform. What a narrow path or message holds for a character depends on
// the code page (two bytes for U+00E9 where narrow text is UTF-8, one in code
// page 1252), so such tests build their expected narrow text here rather than
// spell one code page's bytes. The platform's own tests pin the bytes of each
// code page.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/CodePage.h"

namespace xmdtest {

// The narrow form of wide as the platform converts it (characters the code
// page lacks become its default character). Throws std::runtime_error when
// the conversion fails.
inline std::string ansi(const std::u16string& wide) {
  if (wide.empty()) return std::string();
  const int len = static_cast<int>(wide.size());
  const int n = platform::WideCharToMultiByte(platform::CP_ACP, 0, wide.data(), len, nullptr, 0,
                                              nullptr, nullptr);
  if (n <= 0) throw std::runtime_error("no narrow form");
  std::string out(static_cast<std::size_t>(n), '\0');
  if (platform::WideCharToMultiByte(platform::CP_ACP, 0, wide.data(), len, &out[0], n, nullptr,
                                    nullptr) != n)
    throw std::runtime_error("no narrow form");
  return out;
}

// The wide form of narrow as the platform converts it from the code page;
// empty when the conversion fails.
inline std::u16string wide(const std::string& narrow) {
  std::u16string out(narrow.size() + 1, u'\0');
  const int n = platform::MultiByteToWideChar(platform::CP_ACP, 0, narrow.c_str(), -1, &out[0],
                                              static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
  return out;
}

}  // namespace xmdtest
