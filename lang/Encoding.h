// lang::Encoding: a codec chosen by name that reads one Unicode code point
// from bytes, or writes one as bytes, per call. The names are exact and
// case-sensitive: "ASCII-7", "UTF-8", "UTF-16BE", "UTF-16LE".
//
// decode and encode never throw. On failure as on success they report a byte
// count (consumed / produced) by which the caller advances, so a malformed
// byte is skipped rather than read forever. The UTF-8 decoder is lenient on
// purpose: continuation bytes are not checked, and overlong forms and
// surrogate values pass through, which is what the files written so far rely
// on. The ASCII-7 decoder passes bytes 0x80-0xFF through while its encoder
// refuses code points from 0x80 up.
//
// An Encoding is an immutable value; it may be shared between threads.
#pragma once

#include <cstdint>

namespace lang {

class Encoding {
 public:
  // The encoding numbers, in name-table order.
  enum Number : std::uint32_t { ASCII7 = 1, UTF8 = 2, UTF16BE = 3, UTF16LE = 4 };

  // Looks the name up exactly. Throws io::UnsupportedEncodingException with
  // the template "Unsupported encoding: {0}" and the name as narrow argument
  // 0 when the name is unknown (a null name included, as the empty name).
  explicit Encoding(const char* name);

  // Reads one code point from the start of [begin, end). Returns true with
  // codePoint and consumed (1 to 4) set; false with consumed set to the
  // bytes to skip: 0 when the range is too short to start a code point.
  bool decode(const std::uint8_t* begin, const std::uint8_t* end, std::int32_t& consumed,
              std::uint32_t& codePoint) const;

  // Writes codePoint at the start of [begin, end). Returns true with
  // produced (1 to 4) set; false with produced 0 and nothing written when
  // the value cannot be encoded or the room is too small.
  bool encode(std::uint8_t* begin, std::uint8_t* end, std::int32_t& produced,
              std::uint32_t codePoint) const;

  std::uint32_t number() const { return m_number; }

 private:
  std::uint32_t m_number;
};

}  // namespace lang
