#include "lang/Format.h"

#include <charconv>
#include <cmath>

namespace lang {

namespace {

std::string numberText(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
  if (x == 0) return "0";  // -0 too
  char buffer[512];        // room for the largest double written out in full
  std::to_chars_result r;
  if (x == std::trunc(x)) {
    r = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 0);
  } else {
    r = std::to_chars(buffer, buffer + sizeof buffer, x);  // shortest exact form
  }
  return std::string(buffer, r.ptr);
}

// Parses "{N}" or "{N,#}" at units[i] (a "{"); on success stores the slot
// index and the position just past "}".
bool parsePlaceholder(const char16_t* units, int length, int i, int& slot, int& next) {
  int j = i + 1;
  int index = 0;
  const int firstDigit = j;
  while (j < length && units[j] >= u'0' && units[j] <= u'9') {
    index = index * 10 + (units[j] - u'0');
    if (index >= Format::kSlotCount) return false;
    ++j;
  }
  if (j == firstDigit) return false;
  if (j + 1 < length && units[j] == u',' && units[j + 1] == u'#') j += 2;
  if (j >= length || units[j] != u'}') return false;
  slot = index;
  next = j + 1;
  return true;
}

}  // namespace

std::string FormatArg::toText() const {
  switch (kind()) {
    case Number:
      return numberText(m_number);
    case Text:
      return lang::toText(m_text);
    case NarrowText:
      return m_narrow;
    case None:
      break;
  }
  return std::string();
}

std::string toText(const Format& format) {
  const String& pattern = format.pattern();
  const char16_t* units = pattern.c_str();
  const int length = pattern.length();
  std::string out;
  int plainStart = 0;  // start of the template text not yet written
  for (int i = 0; i < length; ++i) {
    int slot = 0, next = 0;
    if (units[i] != u'{' || !parsePlaceholder(units, length, i, slot, next) ||
        format.arg(slot).kind() == FormatArg::None) {
      continue;
    }
    out += lang::toText(String(units + plainStart, i - plainStart));
    out += format.arg(slot).toText();
    plainStart = next;
    i = next - 1;
  }
  out += lang::toText(String(units + plainStart, length - plainStart));
  return out;
}

}  // namespace lang
