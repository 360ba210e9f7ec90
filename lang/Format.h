// lang::Format: a message template with numbered placeholders and up to
// three typed arguments, kept apart until a diagnostic asks for text.
//
// Placeholders: "{N}" stands for argument N (an index into the ten slots);
// "{N,#}" is the same with the option "#", used for Number arguments that
// hold a byte position in a stream. The index, not the order in the text,
// chooses the argument. A plain value with its ten slots inside the object;
// copying copies the template, the count and all ten slots.
#pragma once

#include <cstdint>
#include <string>

#include "lang/FormatArg.h"
#include "lang/String.h"

namespace lang {

class Format {
 public:
  static constexpr int kSlotCount = 10;

  // An empty template, argCount() 0, ten None slots.
  Format() : m_argCount(0) {}
  // The template and its arguments in slots 0, 1, 2; the rest stay None.
  Format(const String& pattern, const FormatArg& a0) : m_pattern(pattern), m_argCount(1) {
    m_args[0] = a0;
  }
  Format(const String& pattern, const FormatArg& a0, const FormatArg& a1)
      : m_pattern(pattern), m_argCount(2) {
    m_args[0] = a0;
    m_args[1] = a1;
  }
  Format(const String& pattern, const FormatArg& a0, const FormatArg& a1, const FormatArg& a2)
      : m_pattern(pattern), m_argCount(3) {
    m_args[0] = a0;
    m_args[1] = a1;
    m_args[2] = a2;
  }

  const String& pattern() const { return m_pattern; }
  // The number of arguments given at construction: 0 to 3.
  std::uint32_t argCount() const { return m_argCount; }
  // Slot index, which must lie in [0, kSlotCount); not checked.
  const FormatArg& arg(int index) const { return m_args[index]; }

 private:
  String m_pattern;
  std::uint32_t m_argCount;
  FormatArg m_args[kSlotCount];
};

// The message as narrow text, for diagnostics: the template converted to the
// system code page with every "{N}" and "{N,#}" whose slot holds a value
// replaced by FormatArg::toText() of that slot. Any other brace text (an
// empty slot, an unknown option, a stray brace) is copied as it stands.
// Never throws but for allocation failure.
std::string toText(const Format& format);

}  // namespace lang
