#include "lang/Encoding.h"

#include <cstddef>
#include <cstring>

#include "io/UnsupportedEncodingException.h"
#include "lang/Format.h"

namespace lang {

namespace {

struct NamedEncoding {
  const char* name;
  Encoding::Number number;
};
const NamedEncoding kEncodings[] = {
    {"ASCII-7", Encoding::ASCII7},
    {"UTF-8", Encoding::UTF8},
    {"UTF-16BE", Encoding::UTF16BE},
    {"UTF-16LE", Encoding::UTF16LE},
};

std::ptrdiff_t room(const std::uint8_t* begin, const std::uint8_t* end) {
  return begin && end > begin ? end - begin : 0;
}

bool decodeUtf8(const std::uint8_t* p, std::ptrdiff_t avail, std::int32_t& consumed,
                std::uint32_t& codePoint) {
  if (avail < 1) {
    consumed = 0;
    return false;
  }
  const std::uint8_t b = p[0];
  consumed = 1;
  if (b < 0x80) {
    codePoint = b;
    return true;
  }
  int length;
  std::uint32_t cp;
  if ((b & 0xE0) == 0xC0) {
    length = 2;
    cp = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    length = 3;
    cp = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    length = 4;
    cp = b & 0x07;
  } else {
    return false;  // a continuation byte (0x80-0xBF) or 0xF8-0xFF as lead
  }
  if (avail < length) return false;
  for (int i = 1; i < length; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  codePoint = cp;
  consumed = length;
  return true;
}

std::uint32_t readUnit(const std::uint8_t* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 8) | p[1] : (std::uint32_t{p[1]} << 8) | p[0];
}

void writeUnit(std::uint8_t* p, std::uint32_t unit, bool bigEndian) {
  p[bigEndian ? 0 : 1] = static_cast<std::uint8_t>(unit >> 8);
  p[bigEndian ? 1 : 0] = static_cast<std::uint8_t>(unit);
}

bool decodeUtf16(const std::uint8_t* p, std::ptrdiff_t avail, bool bigEndian,
                 std::int32_t& consumed, std::uint32_t& codePoint) {
  if (avail < 2) {
    consumed = 0;
    return false;
  }
  const std::uint32_t u = readUnit(p, bigEndian);
  if ((u & 0xFC00) == 0xD800) {
    if (avail < 4) {
      consumed = 2;
      return false;
    }
    const std::uint32_t v = readUnit(p + 2, bigEndian);
    if ((v & 0xFC00) == 0xDC00) {
      codePoint = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
      consumed = 4;
      return true;
    }
    // A high surrogate without its low half is passed through alone; the
    // unit after it is read by the next call.
  }
  codePoint = u;
  consumed = 2;
  return true;
}

bool encodeUtf8(std::uint8_t* p, std::ptrdiff_t avail, std::int32_t& produced, std::uint32_t cp) {
  produced = 0;
  int length;
  if (cp < 0x80) {
    length = 1;
  } else if (cp < 0x800) {
    length = 2;
  } else if (cp < 0x10000) {
    length = 3;  // surrogate values too
  } else if (cp < 0x200000) {
    length = 4;
  } else {
    return false;
  }
  if (avail < length) return false;
  static const std::uint8_t kLead[] = {0x00, 0x00, 0xC0, 0xE0, 0xF0};
  for (int i = length - 1; i > 0; --i) {
    p[i] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
    cp >>= 6;
  }
  p[0] = static_cast<std::uint8_t>(kLead[length] | cp);
  produced = length;
  return true;
}

bool encodeUtf16(std::uint8_t* p, std::ptrdiff_t avail, bool bigEndian, std::int32_t& produced,
                 std::uint32_t cp) {
  produced = 0;
  if (cp > 0x10FFFF) return false;  // beyond what a surrogate pair can express
  const int units = cp < 0x10000 ? 1 : 2;
  if (avail < 2 * units) return false;
  if (units == 1) {
    writeUnit(p, cp, bigEndian);
  } else {
    writeUnit(p, 0xD800 + ((cp - 0x10000) >> 10), bigEndian);
    writeUnit(p + 2, 0xDC00 + (cp & 0x3FF), bigEndian);
  }
  produced = 2 * units;
  return true;
}

}  // namespace

Encoding::Encoding(const char* name) : m_number(0) {
  for (const NamedEncoding& e : kEncodings) {
    if (name && std::strcmp(name, e.name) == 0) {
      m_number = e.number;
      return;
    }
  }
  throw io::UnsupportedEncodingException(
      Format(String("Unsupported encoding: {0}"), FormatArg(name)));
}

bool Encoding::decode(const std::uint8_t* begin, const std::uint8_t* end, std::int32_t& consumed,
                      std::uint32_t& codePoint) const {
  const std::ptrdiff_t avail = room(begin, end);
  switch (m_number) {
    case ASCII7:
      if (avail < 1) {
        consumed = 0;
        return false;
      }
      codePoint = begin[0];
      consumed = 1;
      return true;
    case UTF8:
      return decodeUtf8(begin, avail, consumed, codePoint);
    case UTF16BE:
    case UTF16LE:
      return decodeUtf16(begin, avail, m_number == UTF16BE, consumed, codePoint);
  }
  consumed = 0;
  return false;
}

bool Encoding::encode(std::uint8_t* begin, std::uint8_t* end, std::int32_t& produced,
                      std::uint32_t codePoint) const {
  const std::ptrdiff_t avail = room(begin, end);
  switch (m_number) {
    case ASCII7:
      produced = 0;
      if (avail < 1 || codePoint >= 0x80) return false;
      begin[0] = static_cast<std::uint8_t>(codePoint);
      produced = 1;
      return true;
    case UTF8:
      return encodeUtf8(begin, avail, produced, codePoint);
    case UTF16BE:
    case UTF16LE:
      return encodeUtf16(begin, avail, m_number == UTF16BE, produced, codePoint);
  }
  produced = 0;
  return false;
}

}  // namespace lang
