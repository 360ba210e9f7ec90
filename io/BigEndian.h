// Big-endian byte order, the order of every multi-byte value in the data and
// chunk streams: the one place that lays a value's bytes out most
// significant first and takes them back, whatever the host's order.
//
// Values are 16-bit (int16_t, uint16_t) or 32-bit (int32_t, uint32_t, and
// float as its IEEE 754 bit pattern). Pure functions on caller memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace io {

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4,
              "floats travel as their 32-bit IEEE 754 pattern");

namespace detail {

// The unsigned integer type of T's size.
template <class T>
using BigEndianBits = typename std::conditional<sizeof(T) == 2, uint16_t, uint32_t>::type;

}  // namespace detail

// The value of type T whose sizeof(T) bytes lie at bytes, most significant
// first.
template <class T>
inline T loadBigEndian(const unsigned char* bytes) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4, "16- and 32-bit values only");
  static_assert(std::is_trivially_copyable<T>::value, "values are copied as bits");
  detail::BigEndianBits<T> bits;
  if constexpr (sizeof(T) == 2) {
    bits = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
  } else {
    bits = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
           uint32_t(bytes[3]);
  }
  T value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Writes the sizeof(T) bytes of value to bytes, most significant first.
template <class T>
inline void storeBigEndian(T value, unsigned char* bytes) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4, "16- and 32-bit values only");
  static_assert(std::is_trivially_copyable<T>::value, "values are copied as bits");
  detail::BigEndianBits<T> bits;
  std::memcpy(&bits, &value, sizeof bits);
  if constexpr (sizeof(T) == 2) {
    bytes[0] = static_cast<unsigned char>(bits >> 8);
    bytes[1] = static_cast<unsigned char>(bits);
  } else {
    bytes[0] = static_cast<unsigned char>(bits >> 24);
    bytes[1] = static_cast<unsigned char>(bits >> 16);
    bytes[2] = static_cast<unsigned char>(bits >> 8);
    bytes[3] = static_cast<unsigned char>(bits);
  }
}

// Writes the 4 * count bytes of count floats to bytes, each as storeBigEndian
// would.
inline void storeBigEndianFloats(const float* values, std::size_t count, unsigned char* bytes) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Whole swapped words: compilers turn the byte-wise loop into slow
  // single-byte stores.
  for (std::size_t i = 0; i < count; ++i) {
    uint32_t bits;
    std::memcpy(&bits, values + i, sizeof bits);
    bits = __builtin_bswap32(bits);
    std::memcpy(bytes + 4 * i, &bits, sizeof bits);
  }
#else
  for (std::size_t i = 0; i < count; ++i) storeBigEndian(values[i], bytes + 4 * i);
#endif
}

}  // namespace io
