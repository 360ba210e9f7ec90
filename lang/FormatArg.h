// lang::FormatArg: one typed argument slot of a message template
// (lang::Format). The kind says which member holds the value; the others
// stay empty. A plain value: copying copies all members.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "lang/String.h"

namespace lang {

class FormatArg {
 public:
  enum Kind : std::uint32_t { None = 0, Number = 1, Text = 2, NarrowText = 3 };

  // An empty slot (kind None).
  FormatArg() : m_number(0), m_kind(None) {}
  // Kind Number. Integers (such as stream positions) are passed converted to double.
  FormatArg(double number) : m_number(number), m_kind(Number) {}
  // Kind Number from any integer type (a stream position, a count).
  template <typename Int, typename = typename std::enable_if<std::is_integral<Int>::value>::type>
  FormatArg(Int number) : FormatArg(static_cast<double>(number)) {}
  // Kind Text; shares the string's heap block.
  FormatArg(const String& text) : m_number(0), m_text(text), m_kind(Text) {}
  // Kind NarrowText, a copy of the string.
  FormatArg(const std::string& narrow) : m_number(0), m_kind(NarrowText), m_narrow(narrow) {}
  // Kind NarrowText, a copy of the bytes; a null pointer gives an empty text.
  FormatArg(const char* narrow) : m_number(0), m_kind(NarrowText), m_narrow(narrow ? narrow : "") {}

  Kind kind() const { return static_cast<Kind>(m_kind); }
  // The value of a Number slot; 0 for the other kinds.
  double number() const { return m_number; }
  // The value of a Text slot; empty for the other kinds.
  const String& text() const { return m_text; }
  // The value of a NarrowText slot; empty for the other kinds.
  const std::string& narrow() const { return m_narrow; }

  // The value as narrow text for a diagnostic: a Text converted to the
  // system code page (no length limit, never throws), a NarrowText as it is,
  // a Number in decimal (without a fraction when it is integral), a None
  // slot as "".
  std::string toText() const;

 private:
  double m_number;
  String m_text;
  std::uint32_t m_kind;
  std::string m_narrow;
};

}  // namespace lang
