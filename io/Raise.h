// Raising io failures: every stream error is thrown by value as an io
// exception carrying a lang::Format (template plus typed arguments), never as
// finished text. Byte positions go in as Number arguments, stream names as
// narrow text, chunk names as lang::String text.
#pragma once

#include <string>

#include "io/IOException.h"
#include "lang/Format.h"
#include "lang/String.h"

namespace io {
namespace detail {

inline lang::FormatArg formatArg(int number) {
  return lang::FormatArg(static_cast<double>(number));
}
inline lang::FormatArg formatArg(long long number) {
  return lang::FormatArg(static_cast<double>(number));
}
inline lang::FormatArg formatArg(const std::string& narrow) { return lang::FormatArg(narrow); }
inline lang::FormatArg formatArg(const lang::String& text) { return lang::FormatArg(text); }

// Throws E with the template and the arguments in slots 0, 1, 2.
template <class E, class... Args>
[[noreturn]] void raise(const char* pattern, const Args&... args) {
  throw E(lang::Format(lang::String(pattern), formatArg(args)...));
}

}  // namespace detail
}  // namespace io
