#include "io/ChunkOutputStream.h"

#include <climits>
#include <cstdint>

#include "io/BigEndian.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkFormat.h"
#include "io/DataOutputStream.h"
#include "io/Raise.h"
#include "lang/Object.h"
#include "util/Vector.h"

namespace io {

// The state of a chunk output stream: values are encoded one at a time into
// scratch, then appended to buffer, which holds every byte not yet handed
// over. chunkStarts and chunkNames hold, innermost last, each open chunk's
// body offset in buffer and its name.
class ChunkOutputStream::ChunkOutputStreamImpl : public lang::Object {
 public:
  explicit ChunkOutputStreamImpl(OutputStream* o) : out(o), scratch(0), encoder(&scratch) {}

  // Appends the bytes of scratch to buffer.
  void appendScratch() { append(scratch.data(), static_cast<size_t>(scratch.size())); }

  void append(const unsigned char* bytes, size_t count) {
    if (count == 0) return;
    size_t size = buffer.size();
    // Offsets into the buffer are ints: it cannot pass 2^31 - 1 bytes.
    if (count > static_cast<size_t>(INT_MAX) - size) {
      lang::String name =
          chunkNames.size() > 0 ? chunkNames[chunkNames.size() - 1] : lang::String();
      detail::raise<IOException>("Invalid chunk {0} size when writing {1}", name, out->toString());
    }
    buffer.insert(buffer.end(), bytes, bytes + count);
  }

  // Strings are encoded into scratch: refuse one too long for the string
  // encoding here, naming the stream the user writes to.
  void checkString(const lang::String& value) {
    long long bytes = DataOutputStream::measureUTF(value);
    if (bytes > DataOutputStream::kMaxUTFBytes)
      detail::raise<IOException>("UTF-8 data of {0} bytes too long when writing {1}", bytes,
                                 out->toString());
  }

  // One write of the whole buffer (also when empty), then it is emptied.
  void handOver() {
    out->write(buffer.data(), static_cast<int>(buffer.size()));
    buffer.clear();
  }

  OutputStream* out;  // not owned
  ByteArrayOutputStream scratch;
  DataOutputStream encoder;
  util::Vector<unsigned char> buffer;
  util::Vector<int> chunkStarts;
  util::Vector<lang::String> chunkNames;
  int outerHeaderStart = 0;  // offset in buffer of the outermost open chunk's header
};

ChunkOutputStream::ChunkOutputStream(OutputStream* out)
    : FilterOutputStream(out), m_impl(new ChunkOutputStreamImpl(out)) {}

ChunkOutputStream::~ChunkOutputStream() = default;

void ChunkOutputStream::beginChunk(const lang::String& name) {
  ChunkOutputStreamImpl& d = *m_impl;
  d.checkString(name);
  d.scratch.reset();
  d.encoder.writeUTF(name);
  d.encoder.writeInt(0);  // placeholder for the body length
  int headerStart = static_cast<int>(d.buffer.size());
  d.appendScratch();
  if (d.chunkStarts.size() == 0) d.outerHeaderStart = headerStart;
  d.chunkStarts.push_back(static_cast<int>(d.buffer.size()));
  d.chunkNames.push_back(name);
}

void ChunkOutputStream::endChunk() {
  ChunkOutputStreamImpl& d = *m_impl;
  size_t open = d.chunkStarts.size();
  if (open == 0)
    detail::raise<IOException>("Unpaired end chunk when writing {0}", d.out->toString());
  lang::String name = d.chunkNames[open - 1];
  int start = d.chunkStarts[open - 1];
  d.chunkNames.resize(open - 1);
  d.chunkStarts.resize(open - 1);

  int size = static_cast<int>(d.buffer.size());
  int length = size - start;
  if (!(length >= 0 && start >= chunk::kLengthSize && start <= size))
    detail::raise<IOException>("Invalid chunk {0} size when writing {1}", name, d.out->toString());
  static_assert(chunk::kLengthSize == static_cast<int>(sizeof(int32_t)),
                "the length field is a 32-bit int");
  storeBigEndian(static_cast<int32_t>(length), &d.buffer[start - chunk::kLengthSize]);
  if (d.chunkStarts.size() == 0) d.handOver();
}

void ChunkOutputStream::writeInt(int value) {
  ChunkOutputStreamImpl& d = *m_impl;
  if (value == INT_MIN)
    detail::raise<IOException>("Chunk integer {0} out of range when writing {1}", value,
                               d.out->toString());
  // Fixed-size encodings need no scratch stream: they go straight to the
  // buffer (the same bytes the encoder would give).
  unsigned char bytes[chunk::kMaxIntegerBytes];
  int n = chunk::encodeInteger(value, bytes);
  d.append(bytes, static_cast<size_t>(n));
}

void ChunkOutputStream::writeFloat(float value) {
  unsigned char bytes[sizeof value];
  storeBigEndian(value, bytes);
  m_impl->append(bytes, sizeof bytes);
}

void ChunkOutputStream::writeString(const lang::String& value) {
  ChunkOutputStreamImpl& d = *m_impl;
  d.checkString(value);
  d.scratch.reset();
  d.encoder.writeUTF(value);
  d.appendScratch();
}

void ChunkOutputStream::writeBytes(const std::vector<unsigned char>& bytes) {
  // Raw bytes need no encoding: they go straight to the buffer.
  m_impl->append(bytes.data(), bytes.size());
}

void ChunkOutputStream::close() {
  ChunkOutputStreamImpl& d = *m_impl;
  if (d.chunkStarts.size() > 0) {
    // Open chunks have no length yet: drop them, keep what precedes them.
    d.buffer.resize(d.outerHeaderStart);
    d.chunkStarts.clear();
    d.chunkNames.clear();
  }
  d.handOver();
}

int ChunkOutputStream::openChunks() const { return static_cast<int>(m_impl->chunkStarts.size()); }

int ChunkOutputStream::bufferedSize() const { return static_cast<int>(m_impl->buffer.size()); }

}  // namespace io
