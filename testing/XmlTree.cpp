#include "testing/XmlTree.h"

#include <cctype>

namespace xmdtest {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& s) : m_text(s) {}

  XmlElement parseDocument() {
    for (;;) {
      skipSpace();
      if (m_text.compare(m_pos, 2, "<?") == 0) {
        skipPast("?>");
      } else if (m_text.compare(m_pos, 2, "<!") == 0) {
        skipPast(">");
      } else {
        break;
      }
    }
    XmlElement root = parseElement();
    return root;
  }

 private:
  void skipSpace() {
    while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
      ++m_pos;
  }
  void skipPast(const char* end) {
    size_t at = m_text.find(end, m_pos);
    if (at == std::string::npos) fail("unterminated markup");
    m_pos = at + std::char_traits<char>::length(end);
  }
  [[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("xml: " + what + " at " + std::to_string(m_pos));
  }
  std::string name() {
    size_t start = m_pos;
    while (m_pos < m_text.size() && !std::isspace(static_cast<unsigned char>(m_text[m_pos])) &&
           m_text[m_pos] != '>' && m_text[m_pos] != '/' && m_text[m_pos] != '=')
      ++m_pos;
    if (start == m_pos) fail("empty name");
    return m_text.substr(start, m_pos - start);
  }
  XmlElement parseElement() {
    skipSpace();
    if (m_pos >= m_text.size() || m_text[m_pos] != '<') fail("expected <");
    ++m_pos;
    XmlElement e;
    e.name = name();
    for (;;) {
      skipSpace();
      if (m_pos >= m_text.size()) fail("unterminated tag");
      if (m_text[m_pos] == '/') {
        if (m_text.compare(m_pos, 2, "/>") != 0) fail("bad empty tag");
        m_pos += 2;
        return e;
      }
      if (m_text[m_pos] == '>') {
        ++m_pos;
        break;
      }
      std::string a = name();
      if (m_text.compare(m_pos, 2, "=\"") != 0) fail("bad attribute");
      m_pos += 2;
      size_t end = m_text.find('"', m_pos);
      if (end == std::string::npos) fail("unterminated attribute");
      e.attrs[a] = m_text.substr(m_pos, end - m_pos);
      m_pos = end + 1;
    }
    for (;;) {
      size_t lt = m_text.find('<', m_pos);
      if (lt == std::string::npos) fail("unterminated element " + e.name);
      e.text += m_text.substr(m_pos, lt - m_pos);
      m_pos = lt;
      if (m_text.compare(m_pos, 2, "</") == 0) {
        m_pos += 2;
        if (name() != e.name) fail("end tag mismatch for " + e.name);
        skipSpace();
        if (m_pos >= m_text.size() || m_text[m_pos] != '>') fail("bad end tag");
        ++m_pos;
        break;
      }
      e.children.push_back(parseElement());
    }
    // Texts of elements with children are layout only.
    if (!e.children.empty()) e.text.clear();
    return e;
  }

  const std::string& m_text;
  size_t m_pos = 0;
};

}  // namespace

XmlElement parseXml(const std::string& xml) { return Parser(xml).parseDocument(); }

}  // namespace xmdtest
