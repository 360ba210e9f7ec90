#include "tool/ConsoleLines.h"

namespace tool {

void ConsoleLines::finish() {
  if (m_partial.empty()) return;
  std::string line;
  line.swap(m_partial);
  m_sink(line);
}

ConsoleLines::int_type ConsoleLines::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  xsputn(&ch, 1);
  return c;
}

std::streamsize ConsoleLines::xsputn(const char* s, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i) {
    if (s[i] != '\n') {
      m_partial.push_back(s[i]);
      continue;
    }
    std::string line;
    line.swap(m_partial);
    m_sink(line);
  }
  return n;
}

}  // namespace tool
