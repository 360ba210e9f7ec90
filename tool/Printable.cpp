#include "tool/Printable.h"

namespace tool {

std::string printable(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7f) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace tool
