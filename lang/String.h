// lang::String: the system's immutable text value, a sequence of 16-bit
// UTF-16 code units (any 16-bit value is held unchanged; nothing is tested).
//
// Storage: the units live in a character block, a 16-byte header (reference
// count, length, capacity, in-object flag) followed by the units and one zero
// unit. A text of up to 28 units keeps its block in the object's own
// m_local buffer and costs no allocation; a longer one lives in a zero-filled
// heap block whose capacity is length + 1 rounded up to a multiple of 32
// units. Copies share a heap block through an atomic reference count (the
// last holder frees it); an in-object block is never shared, a copy gets its
// own. Moving hands a heap block over without touching its count. A filled
// block never changes: every operation that yields new text
// builds a new block.
//
// Threading: distinct String objects may be used from different threads even
// when they share a block; one object must not be assigned while read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace lang {

class String {
 public:
  // The empty string; its block lies in the object.
  String();
  // Copies the units up to, not including, the first zero unit. A null
  // pointer gives the empty string.
  String(const char16_t* units);
  // Copies length units (zero units included); a negative length or a null
  // pointer gives the empty string.
  String(const char16_t* units, std::int32_t length);
  // Each byte up to the first zero byte becomes the unit of the same value
  // (0x00-0xFF, so a byte above 0x7F is the Latin-1 character of that
  // number); no code page is consulted. A null pointer gives the empty string.
  String(const char* bytes);
  // Shares the heap block of s (one atomic increment), or copies the units
  // of an in-object block.
  String(const String& s);
  // Does nothing when both already use the same block; otherwise gives up
  // the old block and shares or copies as the copy constructor does.
  String& operator=(const String& s);
  // Takes over the heap block of s without touching its count, or copies the
  // units of an in-object block; s becomes the empty string. Never throws.
  String(String&& s) noexcept;
  // Gives up the old block, then takes over s's as the move constructor
  // does; s becomes the empty string. Moving a string onto itself leaves it
  // as it is. Never throws.
  String& operator=(String&& s) noexcept;
  ~String();

  // The number of code units, terminator not counted.
  std::int32_t length() const { return static_cast<std::int32_t>(header()->length); }
  // The unit at index, which must lie in [0, length()); not checked.
  char16_t charAt(std::int32_t index) const { return m_data[index]; }
  // The units as a zero-terminated array, valid while this object holds its block.
  const char16_t* c_str() const { return m_data; }

  // Equal when the lengths and all units are equal (raw units, no folding).
  bool operator==(const String& other) const;
  bool operator!=(const String& other) const { return !(*this == other); }
  // Compares with String(bytes): how chunk names are matched against the
  // fixed names of the file formats. A null pointer compares as "".
  bool operator==(const char* bytes) const;
  bool operator!=(const char* bytes) const { return !(*this == bytes); }

  // A new string: this string's units followed by other's. Throws
  // std::bad_alloc when the result would exceed the largest length.
  String operator+(const String& other) const;

  // Block details, for tests and diagnostics: the capacity field (29 for an
  // in-object block), whether the block lies in this object, and its count.
  std::int32_t capacity() const { return static_cast<std::int32_t>(header()->capacity); }
  bool isInObject() const { return header()->inObject != 0; }
  std::uint32_t shareCount() const { return header()->refCount.load(); }

  // Largest length for which a block is placed in the object.
  static constexpr std::int32_t kMaxInObjectLength = 28;

 private:
  struct Header {
    Header(std::uint32_t cap, std::uint8_t local)
        : refCount(1), length(0), capacity(cap), inObject(local) {}
    std::atomic<std::uint32_t> refCount;
    std::uint32_t length;
    std::uint32_t capacity;  // room in units, terminator included
    std::uint8_t inObject;
  };
  static_assert(sizeof(Header) == 16, "block header is four 32-bit words");
  // Header and 30 units; an in-object block uses 29 of them.
  static constexpr std::size_t kLocalSize = 76;
  static_assert(kLocalSize == sizeof(Header) + 30 * sizeof(char16_t),
                "the in-object buffer holds a header and 30 units");

  Header* header() const {
    return reinterpret_cast<Header*>(reinterpret_cast<char*>(m_data) - sizeof(Header));
  }
  // The concatenation of two unit arrays.
  String(const char16_t* a, std::uint32_t na, const char16_t* b, std::uint32_t nb);
  // Places a block for n units by the length rule and points m_data at it;
  // the caller writes the units, then calls finish(n).
  char16_t* place(std::uint32_t n);
  void finish(std::uint32_t n);
  void copyFrom(const String& s);
  // Takes s's block (see the move constructor) and leaves s empty; this
  // object holds no block yet.
  void moveFrom(String& s) noexcept;
  void giveUp();

  char16_t* m_data;
  alignas(Header) unsigned char m_local[kLocalSize];
};

// The narrow form of s in the system code page, for diagnostics and
// messages: any length (no conversion buffer limit), never throws but for
// allocation failure; units the code page cannot represent become "?".
std::string toText(const String& s);

// Prints toText(s) in quotes; lets test frameworks show a String.
void PrintTo(const String& s, std::ostream* out);

// "abc" == s, for symmetry with s == "abc".
inline bool operator==(const char* bytes, const String& s) { return s == bytes; }
inline bool operator!=(const char* bytes, const String& s) { return s != bytes; }

}  // namespace lang
