#include "io/ChunkInputStream.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "io/ChunkFormat.h"
#include "io/Raise.h"

namespace io {

namespace {

// readBytes grows its buffer by what arrives, starting with this much.
const int kFirstReadStep = 64 * 1024;

}  // namespace

ChunkInputStream::ChunkInputStream(InputStream* in) : FilterInputStream(in), m_data(in) {}

ChunkInputStream::~ChunkInputStream() = default;

int ChunkInputStream::beginChunk(lang::String& name, int& end) {
  int start = getPosition();
  name = m_data.readUTF();
  int length = m_data.readInt();
  int position = getPosition();
  // The end must be a position too: past 2^31 - 1 it cannot be reached.
  if (length < 0 || length > INT_MAX - position)
    detail::raise<IOException>("Invalid chunk {2} length at {0,#} while reading {1}", position,
                               m_data.toString(), name);
  end = position + length;
  return start;
}

void ChunkInputStream::endChunk(int end) {
  long long remaining = static_cast<long long>(end) - getPosition();
  if (remaining < 0)
    detail::raise<IOException>("Chunk read overflow at {0,#} while reading {1}", getPosition(),
                               m_data.toString());
  // A source that ends early stops the skip there, without error.
  if (remaining > 0) m_data.skip(static_cast<int>(remaining));
}

int ChunkInputStream::readInt() {
  int start = getPosition();
  unsigned b = m_data.readByte();
  bool negative = (b & chunk::kNegativeFlag) != 0;
  uint64_t magnitude = b >> 2;
  int shift = chunk::kFirstGroupBits;
  for (int count = 1; b & chunk::kMoreFlag; ++count) {
    if (count == chunk::kMaxIntegerBytes)
      detail::raise<IOException>("Invalid chunk integer at {0,#} while reading {1}", start,
                                 m_data.toString());
    b = m_data.readByte();
    magnitude |= static_cast<uint64_t>(b >> 1) << shift;
    shift += chunk::kNextGroupBits;
  }
  if (magnitude > chunk::kMaxMagnitude)
    detail::raise<IOException>("Invalid chunk integer at {0,#} while reading {1}", start,
                               m_data.toString());
  int value = static_cast<int>(magnitude);
  return negative ? -value : value;
}

float ChunkInputStream::readFloat() { return m_data.readFloat(); }

lang::String ChunkInputStream::readString() { return m_data.readUTF(); }

unsigned char ChunkInputStream::readByte() { return m_data.readByte(); }

void ChunkInputStream::readBytes(std::vector<unsigned char>& buffer, int start, int length) {
  int saved = getPosition();
  if (!m_data.seek(start, 0))
    detail::raise<IOException>("Failed to seek file position: {0}", m_data.toString());
  // No range reaches past the last position a chunk can have.
  length = std::min(std::max(length, 0), INT_MAX - start);

  // Read in growing steps so that a declared length the source does not
  // have never turns into an allocation of that size.
  size_t got = 0;
  size_t step = static_cast<size_t>(std::min(length, kFirstReadStep));
  buffer.clear();
  while (got < static_cast<size_t>(length)) {
    size_t want = std::min(static_cast<size_t>(length) - got, step);
    buffer.resize(got + want);
    int n = m_data.read(buffer.data() + got, static_cast<int>(want));
    if (n > 0) got += static_cast<size_t>(n);
    if (n < static_cast<int>(want)) break;
    step *= 2;
  }
  buffer.resize(got);

  if (!m_data.seek(saved, 0))
    detail::raise<IOException>("Failed to seek file position: {0}", m_data.toString());
}

}  // namespace io
