#include "lang/String.h"

#include <cstring>
#include <new>
#include <ostream>

#include "platform/CodePage.h"

namespace lang {

namespace {
// In-object blocks report this capacity although the buffer has room for 30 units.
constexpr std::uint32_t kInObjectCapacity = 29;
// Heap blocks grow in steps of this many units.
constexpr std::uint32_t kHeapStep = 32;
// Longest text: the length must read back as a positive 32-bit signed value.
constexpr std::uint32_t kMaxLength = 0x7FFFFFFF - kHeapStep;
}  // namespace

String::String() {
  place(0);
  finish(0);
}

String::String(const char16_t* units) {
  std::uint32_t n = 0;
  if (units) {
    while (units[n] != 0) ++n;
  }
  place(n);
  if (n) std::memcpy(m_data, units, n * sizeof(char16_t));
  finish(n);
}

String::String(const char16_t* units, std::int32_t length)
    : String(units, units && length > 0 ? static_cast<std::uint32_t>(length) : 0, nullptr, 0) {}

String::String(const char* bytes) {
  const std::size_t n = bytes ? std::strlen(bytes) : 0;
  if (n > kMaxLength) throw std::bad_alloc();
  place(static_cast<std::uint32_t>(n));
  for (std::size_t i = 0; i < n; ++i) m_data[i] = static_cast<unsigned char>(bytes[i]);
  finish(static_cast<std::uint32_t>(n));
}

String::String(const char16_t* a, std::uint32_t na, const char16_t* b, std::uint32_t nb) {
  if (na > kMaxLength || nb > kMaxLength - na) throw std::bad_alloc();
  place(na + nb);
  if (na) std::memcpy(m_data, a, na * sizeof(char16_t));
  if (nb) std::memcpy(m_data + na, b, nb * sizeof(char16_t));
  finish(na + nb);
}

String::String(const String& s) { copyFrom(s); }

String& String::operator=(const String& s) {
  if (m_data != s.m_data) {
    giveUp();
    copyFrom(s);
  }
  return *this;
}

String::String(String&& s) noexcept { moveFrom(s); }

String& String::operator=(String&& s) noexcept {
  if (this != &s) {
    giveUp();
    moveFrom(s);
  }
  return *this;
}

String::~String() { giveUp(); }

bool String::operator==(const String& other) const {
  const std::uint32_t n = header()->length;
  return n == other.header()->length &&
         std::memcmp(m_data, other.m_data, n * sizeof(char16_t)) == 0;
}

bool String::operator==(const char* bytes) const {
  const std::uint32_t n = header()->length;
  if (!bytes) return n == 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    // A zero byte ends the byte string; the units must match byte for byte.
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0 || m_data[i] != b) return false;
  }
  return bytes[n] == 0;
}

String String::operator+(const String& other) const {
  return String(m_data, header()->length, other.m_data, other.header()->length);
}

char16_t* String::place(std::uint32_t n) {
  if (n > kMaxLength) throw std::bad_alloc();
  Header* h;
  if (n <= static_cast<std::uint32_t>(kMaxInObjectLength)) {
    h = new (m_local) Header(kInObjectCapacity, 1);
  } else {
    const std::uint32_t capacity = (n + 1 + kHeapStep - 1) / kHeapStep * kHeapStep;
    const std::size_t bytes = sizeof(Header) + std::size_t{capacity} * sizeof(char16_t);
    void* block = ::operator new(bytes);
    std::memset(block, 0, bytes);
    h = new (block) Header(capacity, 0);
  }
  m_data = reinterpret_cast<char16_t*>(h + 1);
  return m_data;
}

void String::finish(std::uint32_t n) {
  m_data[n] = 0;
  header()->length = n;
}

void String::copyFrom(const String& s) {
  Header* h = s.header();
  if (h->inObject) {
    place(h->length);
    std::memcpy(m_data, s.m_data, h->length * sizeof(char16_t));
    finish(h->length);
  } else {
    h->refCount.fetch_add(1, std::memory_order_relaxed);
    m_data = s.m_data;
  }
}

void String::moveFrom(String& s) noexcept {
  // Placing a text of at most kMaxInObjectLength units allocates nothing,
  // so neither place() below can throw.
  Header* h = s.header();
  if (h->inObject) {
    place(h->length);
    std::memcpy(m_data, s.m_data, h->length * sizeof(char16_t));
    finish(h->length);
  } else {
    m_data = s.m_data;
    s.place(0);
  }
  s.finish(0);
}

void String::giveUp() {
  Header* h = header();
  if (h->refCount.fetch_sub(1, std::memory_order_acq_rel) == 1 && !h->inObject) {
    h->~Header();
    ::operator delete(h);
  }
}

std::string toText(const String& s) {
  const int n = s.length();
  if (n == 0) return std::string();
  const int size = platform::WideCharToMultiByte(platform::CP_ACP, 0, s.c_str(), n, nullptr, 0,
                                                 nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  const int written = platform::WideCharToMultiByte(platform::CP_ACP, 0, s.c_str(), n, &out[0],
                                                    size, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

void PrintTo(const String& s, std::ostream* out) { *out << '"' << toText(s) << '"'; }

}  // namespace lang
