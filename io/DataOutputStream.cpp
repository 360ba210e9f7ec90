#include "io/DataOutputStream.h"

#include <cstdint>

#include "io/BigEndian.h"
#include "io/Raise.h"
#include "lang/Encoding.h"

namespace io {

namespace {

const lang::Encoding& utf8() {
  static const lang::Encoding encoding("UTF-8");
  return encoding;
}

// Calls f(codePoint) for each code point of text: a high surrogate followed
// by a low one forms one code point; a high surrogate without a low one
// after it yields nothing; any other unit is a code point of its own.
template <class F>
void forEachCodePoint(const lang::String& text, F f) {
  int length = text.length();
  for (int i = 0; i < length;) {
    uint32_t u = text.charAt(i);
    if ((u & 0xFC00) == 0xD800) {
      if (i + 1 < length && (uint32_t(text.charAt(i + 1)) & 0xFC00) == 0xDC00) {
        uint32_t v = text.charAt(i + 1);
        f(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        i += 2;
      } else {
        i += 1;
      }
    } else {
      f(u);
      i += 1;
    }
  }
}

// Staging area of writeUTF: written out once it holds this many bytes, so a
// four-byte code point always fits behind.
const int kStagingSize = 256;
const int kStagingFlush = 249;
static_assert(kStagingFlush + 4 <= kStagingSize,
              "a code point must fit after any unflushed content");

}  // namespace

DataOutputStream::DataOutputStream(OutputStream* out) : FilterOutputStream(out) {}

void DataOutputStream::writeByte(int value) {
  unsigned char b = static_cast<unsigned char>(value);
  write(&b, 1);
}

void DataOutputStream::writeShort(int value) {
  unsigned char b[2];
  storeBigEndian(static_cast<uint16_t>(value), b);
  write(b, 2);
}

void DataOutputStream::writeInt(int value) {
  unsigned char b[4];
  storeBigEndian(static_cast<int32_t>(value), b);
  write(b, 4);
}

void DataOutputStream::writeFloat(float value) {
  unsigned char b[4];
  storeBigEndian(value, b);
  write(b, 4);
}

long long DataOutputStream::measureUTF(const lang::String& value) {
  const lang::Encoding& encoding = utf8();
  long long total = 0;
  forEachCodePoint(value, [&](uint32_t cp) {
    unsigned char bytes[4];
    std::int32_t produced = 0;
    if (encoding.encode(bytes, bytes + 4, produced, cp)) total += produced;
  });
  return total;
}

void DataOutputStream::writeUTF(const lang::String& value) {
  const lang::Encoding& encoding = utf8();
  long long total = measureUTF(value);
  if (total > kMaxUTFBytes) {
    detail::raise<IOException>("UTF-8 data of {0} bytes too long when writing {1}", total,
                               toString());
  }
  writeShort(static_cast<int>(total));

  unsigned char staging[kStagingSize];
  int used = 0;
  forEachCodePoint(value, [&](uint32_t cp) {
    std::int32_t produced = 0;
    if (encoding.encode(staging + used, staging + kStagingSize, produced, cp)) used += produced;
    if (used >= kStagingFlush) {
      write(staging, used);
      used = 0;
    }
  });
  if (used > 0) write(staging, used);
}

}  // namespace io
