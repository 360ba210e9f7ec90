#include "io/ChunkInputStream.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "io/BigEndian.h"
#include "io/ChunkFormat.h"
#include "io/EOFException.h"
#include "io/Raise.h"

namespace io {

namespace {

// readBytes grows its buffer by what arrives, starting with this much.
const int kFirstReadStep = 64 * 1024;

// readInts decodes from a block of at most this many bytes on the stack.
const int kIntegerBlock = 16 * 1024;
static_assert(kIntegerBlock > chunk::kMaxIntegerBytes, "a block holds a partial integer and more");

// Turns count floats whose big-endian bytes lie in their own storage into
// their values, in place.
void floatsFromBigEndian(float* values, int count) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(values);
  for (int i = 0; i < count; ++i) values[i] = loadBigEndian<float>(bytes + 4 * i);
}

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
  chunk::IntegerDecoder decoder(m_data.readByte());
  while (decoder.more()) decoder.take(m_data.readByte());
  int value = 0;
  if (!decoder.finish(value))
    detail::raise<IOException>("Invalid chunk integer at {0,#} while reading {1}", start,
                               m_data.toString());
  return value;
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

void ChunkInputStream::readFloats(float* out, int count) {
  if (count <= 0) return;
  // The floats that end by position 2^31 - 1 come in one read; one past it
  // fails in readFloat as it would alone.
  const int start = getPosition();
  const int block = std::min(count, (INT_MAX - start) / 4);
  try {
    m_data.readFully(out, 4 * block);
  } catch (const EOFException&) {
    floatsFromBigEndian(out, (getPosition() - start) / 4);
    throw;
  }
  floatsFromBigEndian(out, block);
  for (int i = block; i < count; ++i) out[i] = readFloat();
}

int ChunkInputStream::readInts(int* out, int count, int low, int high) {
  // Every integer takes at least one byte, so reading as many bytes as
  // integers remain (one begun counting among them) never reaches past the
  // last of them. Only a stop before count (a value out of range, an integer
  // refused) can leave bytes read beyond the single reads' position: the
  // source is then sought back to it.
  unsigned char block[kIntegerBlock];
  int have = 0;  // bytes in block; block[0] starts the next integer
  int stored = 0;
  while (stored < count) {
    int used = 0;
    while (stored < count) {
      int value = 0;
      const int n = chunk::decodeInteger(block + used, static_cast<size_t>(have - used), value);
      if (n == 0) break;
      if (n == chunk::kInvalidInteger) {
        // readInt raises the failure, from the integer's first byte on.
        seekBack(getPosition() - (have - used));
        have = used = 0;
        value = readInt();
      } else {
        used += n;
      }
      out[stored++] = value;
      if (value < low || value > high) {
        seekBack(getPosition() - (have - used));
        return stored;
      }
    }
    std::memmove(block, block + used, static_cast<size_t>(have - used));
    have -= used;
    if (stored == count) break;
    // Never past position 2^31 - 1: there readByte fails as readInt would.
    const int want = std::min({count - stored, kIntegerBlock - have, INT_MAX - getPosition()});
    const int got = want > 0 ? m_data.read(block + have, want) : 0;
    if (got > 0) {
      have += got;
    } else {
      block[have++] = m_data.readByte();  // at the source's end: its failure
    }
  }
  seekBack(getPosition() - have);  // nothing left over when no stop came
  return stored;
}

void ChunkInputStream::skipBytes(int count) {
  if (count <= 0) return;
  const long long target = static_cast<long long>(getPosition()) + count;
  if (target <= INT_MAX) {
    skipTo(static_cast<int>(target));
    return;
  }
  skipTo(INT_MAX);
  m_data.readByte();  // one past 2^31 - 1: fails as the single read there
}

void ChunkInputStream::skipTo(int position) {
  while (getPosition() < position) {
    const int remaining = position - getPosition();
    // A short skip means the source ended: readByte raises its failure.
    if (m_data.skip(remaining) < remaining) m_data.readByte();
  }
}

void ChunkInputStream::seekBack(int position) {
  if (position == getPosition()) return;
  if (!m_data.seek(position, 0))
    detail::raise<IOException>("Failed to seek file position: {0}", m_data.toString());
}

}  // namespace io
