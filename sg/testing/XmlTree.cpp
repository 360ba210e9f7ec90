#include "sg/testing/XmlTree.h"

#include <cctype>

namespace sgtest {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  XmlElement parseDocument() {
    for (;;) {
      skipSpace();
      if (s_.compare(pos_, 2, "<?") == 0) {
        skipPast("?>");
      } else if (s_.compare(pos_, 2, "<!") == 0) {
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
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  void skipPast(const char* end) {
    size_t at = s_.find(end, pos_);
    if (at == std::string::npos) fail("unterminated markup");
    pos_ = at + std::char_traits<char>::length(end);
  }
  [[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("xml: " + what + " at " + std::to_string(pos_));
  }
  std::string name() {
    size_t start = pos_;
    while (pos_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[pos_])) &&
           s_[pos_] != '>' && s_[pos_] != '/' && s_[pos_] != '=')
      ++pos_;
    if (start == pos_) fail("empty name");
    return s_.substr(start, pos_ - start);
  }
  XmlElement parseElement() {
    skipSpace();
    if (pos_ >= s_.size() || s_[pos_] != '<') fail("expected <");
    ++pos_;
    XmlElement e;
    e.name = name();
    for (;;) {
      skipSpace();
      if (pos_ >= s_.size()) fail("unterminated tag");
      if (s_[pos_] == '/') {
        if (s_.compare(pos_, 2, "/>") != 0) fail("bad empty tag");
        pos_ += 2;
        return e;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        break;
      }
      std::string a = name();
      if (s_.compare(pos_, 2, "=\"") != 0) fail("bad attribute");
      pos_ += 2;
      size_t end = s_.find('"', pos_);
      if (end == std::string::npos) fail("unterminated attribute");
      e.attrs[a] = s_.substr(pos_, end - pos_);
      pos_ = end + 1;
    }
    for (;;) {
      size_t lt = s_.find('<', pos_);
      if (lt == std::string::npos) fail("unterminated element " + e.name);
      e.text += s_.substr(pos_, lt - pos_);
      pos_ = lt;
      if (s_.compare(pos_, 2, "</") == 0) {
        pos_ += 2;
        if (name() != e.name) fail("end tag mismatch for " + e.name);
        skipSpace();
        if (pos_ >= s_.size() || s_[pos_] != '>') fail("bad end tag");
        ++pos_;
        break;
      }
      e.children.push_back(parseElement());
    }
    // Texts of elements with children are layout only.
    if (!e.children.empty()) e.text.clear();
    return e;
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

XmlElement parseXml(const std::string& xml) { return Parser(xml).parseDocument(); }

}  // namespace sgtest
