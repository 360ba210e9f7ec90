#include "platform/CodePage.h"

#include <climits>
#include <cstddef>
#include <cstring>

namespace platform {

namespace {

// First and last surrogate that stand for an undecodable byte 0x80..0xFF.
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kEscapeFirst = 0xDC80;
constexpr char16_t kEscapeLast = 0xDCFF;

// Collects output units: counts them, and writes them while there is room.
template <typename Unit>
class Sink {
 public:
  Sink(Unit* dst, int room) : m_dst(dst), m_room(dst ? room : 0) {}
  bool put(Unit u) {
    if (m_count == INT_MAX) return false;  // the count must fit the result
    if (m_dst) {
      if (m_count >= m_room) return false;
      m_dst[m_count] = u;
    }
    ++m_count;
    return true;
  }
  int count() const { return m_count; }

 private:
  Unit* m_dst;
  int m_room;
  int m_count = 0;
};

bool isContinuation(unsigned char b, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
  return b >= lo && b <= hi;
}

// Length of the valid UTF-8 sequence at p (1 to 4), storing its code point,
// or 0 when the bytes there do not start one. avail is at least 1.
int decodeUtf8(const unsigned char* p, std::size_t avail, char32_t& cp) {
  const unsigned char b = p[0];
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  int len;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;  // no overlong forms
    if (b == 0xED) hi = 0x9F;  // no encoded surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;  // no overlong forms
    if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (avail < static_cast<std::size_t>(len) || !isContinuation(p[1], lo, hi)) return 0;
  cp = (cp << 6) | (p[1] & 0x3F);
  for (int i = 2; i < len; ++i) {
    if (!isContinuation(p[i])) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  return len;
}

bool putUtf8(Sink<char>& out, char32_t cp) {
  if (cp < 0x80) return out.put(static_cast<char>(cp));
  if (cp < 0x800) {
    return out.put(static_cast<char>(0xC0 | (cp >> 6))) &&
           out.put(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  if (cp < 0x10000) {
    return out.put(static_cast<char>(0xE0 | (cp >> 12))) &&
           out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))) &&
           out.put(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out.put(static_cast<char>(0xF0 | (cp >> 18))) &&
         out.put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F))) &&
         out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))) &&
         out.put(static_cast<char>(0x80 | (cp & 0x3F)));
}

bool isHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
bool isLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

// Common argument checks; returns false (with the last error set) on a bad
// call. On success n holds the number of source units to convert.
template <typename SrcUnit>
bool checkCall(UINT codePage, const SrcUnit* src, int srcLen, const void* dst, int dstLen,
               std::size_t& n) {
  if (codePage != CP_ACP || !src || srcLen == 0 || srcLen < -1 || dstLen < 0 ||
      (dstLen > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (srcLen == -1) {
    std::size_t len = 0;
    while (src[len] != 0) ++len;
    n = len + 1;  // the terminator is converted too
  } else {
    n = static_cast<std::size_t>(srcLen);
  }
  return true;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, char16_t* dst,
                        int dstLen) {
  std::size_t n = 0;
  if (!checkCall(codePage, src, srcLen, dst, dstLen, n)) return 0;
  if ((flags & ~MB_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(src);
  Sink<char16_t> out(dstLen > 0 ? dst : nullptr, dstLen);
  for (std::size_t i = 0; i < n;) {
    char32_t cp = 0;
    int len = decodeUtf8(p + i, n - i, cp);
    bool fits;
    if (len == 0) {
      if (flags & MB_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      fits = out.put(static_cast<char16_t>(kEscapeBase + p[i]));  // p[i] >= 0x80 here
      len = 1;
    } else if (cp < 0x10000) {
      fits = out.put(static_cast<char16_t>(cp));
    } else {
      fits = out.put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10))) &&
             out.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
    if (!fits) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    i += static_cast<std::size_t>(len);
  }
  return out.count();
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, int* usedDefaultChar) {
  std::size_t n = 0;
  if (!checkCall(codePage, src, srcLen, dst, dstLen, n)) return 0;
  if ((flags & ~(WC_NO_BEST_FIT_CHARS | WC_ERR_INVALID_CHARS)) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const char replacement = defaultChar ? *defaultChar : '?';
  bool replaced = false;
  Sink<char> out(dstLen > 0 ? dst : nullptr, dstLen);
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t u = src[i];
    bool fits;
    if (isHigh(u) && i + 1 < n && isLow(src[i + 1])) {
      fits = putUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (src[i + 1] - 0xDC00));
      ++i;
    } else if (u >= kEscapeFirst && u <= kEscapeLast) {
      fits = out.put(static_cast<char>(u - kEscapeBase));
    } else if (isHigh(u) || isLow(u)) {
      if (flags & WC_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      replaced = true;
      fits = out.put(replacement);
    } else {
      fits = putUtf8(out, u);
    }
    if (!fits) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
  }
  if (usedDefaultChar) *usedDefaultChar = replaced ? 1 : 0;
  return out.count();
}

}  // namespace platform
