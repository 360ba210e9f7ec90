#include "io/DataInputStream.h"

#include <climits>
#include <cstdint>

#include "io/BigEndian.h"
#include "io/EOFException.h"
#include "io/Raise.h"
#include "lang/Encoding.h"

namespace io {

namespace {

const lang::Encoding& utf8() {
  static const lang::Encoding encoding("UTF-8");
  return encoding;
}

}  // namespace

DataInputStream::DataInputStream(InputStream* in) : FilterInputStream(in) {}

DataInputStream::~DataInputStream() { delete[] m_buffer; }

void DataInputStream::advance(int count) {
  if (count <= 0) return;
  if (count > INT_MAX - m_position)
    detail::raise<IOException>("Stream position overflow in {0}.", toString());
  m_position += count;
}

void DataInputStream::readFully(void* dest, int size) {
  // One read of the source itself: a source that delivers fewer bytes than
  // asked in one call counts as ended.
  int count = m_in->read(dest, size);
  advance(count);
  if (count != size) detail::raise<EOFException>("Unexpected end of file in {0}.", toString());
}

unsigned char DataInputStream::readByte() {
  unsigned char b;
  readFully(&b, 1);
  return b;
}

short DataInputStream::readShort() {
  unsigned char b[2];
  readFully(b, 2);
  return loadBigEndian<int16_t>(b);
}

int DataInputStream::readInt() {
  unsigned char b[4];
  readFully(b, 4);
  return loadBigEndian<int32_t>(b);
}

float DataInputStream::readFloat() {
  unsigned char b[4];
  readFully(b, 4);
  return loadBigEndian<float>(b);
}

lang::String DataInputStream::readUTF() {
  int n = readShort();
  if (n == 0) return lang::String();
  if (n < 0) detail::raise<IOException>("Invalid UTF-8 data in {0}.", toString());
  if (m_bufferCapacity < n) {
    // Grows to twice the longest count met so far; old bytes are not kept.
    delete[] m_buffer;
    m_buffer = nullptr;
    m_buffer = new unsigned char[2 * n];
    m_bufferCapacity = 2 * n;
  }
  readFully(m_buffer, n);

  // Every byte yields at most one unit (four bytes yield two).
  m_units.clear();
  const unsigned char* end = m_buffer + n;
  for (const unsigned char* p = m_buffer; p < end;) {
    std::int32_t consumed = 0;
    std::uint32_t cp = 0;
    bool ok = utf8().decode(p, end, consumed, cp);
    if (ok) {
      if (cp < 0x10000) {
        m_units.push_back(static_cast<char16_t>(cp));
      } else {
        m_units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        m_units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      }
    }
    // The decoder consumes at least one byte of a non-empty range;
    // malformed bytes are dropped this way.
    p += consumed > 0 ? consumed : 1;
  }
  return lang::String(m_units.data(), static_cast<int>(m_units.size()));
}

bool DataInputStream::seek(int offset, int origin) {
  int target;
  if (origin == 0) {
    if (offset < 0) return false;
    target = offset;
  } else if (origin == 1) {
    long long t = static_cast<long long>(m_position) + offset;
    if (t < 0 || t > INT_MAX) return false;
    target = static_cast<int>(t);
  } else {
    return false;
  }
  if (!m_in->seek(offset, origin)) return false;
  m_position = target;
  return true;
}

int DataInputStream::read(void* dest, int size) {
  int count = m_in->read(dest, size);
  advance(count);
  return count;
}

int DataInputStream::skip(int count) {
  int n = m_in->skip(count);
  advance(n);
  return n;
}

}  // namespace io
