#include "io/ChunkOutputStream.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "io/BigEndian.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkFormat.h"
#include "io/DataOutputStream.h"
#include "io/PatchableOutputStream.h"
#include "io/Raise.h"
#include "lang/Object.h"
#include "util/Vector.h"

namespace io {

// A header is appended to the buffer whole, so its length field is either
// entirely in the buffer or entirely passed on.
static_assert(chunk::kNameCountSize + DataOutputStream::kMaxUTFBytes + chunk::kLengthSize <
                  ChunkOutputStream::kPassOnSize,
              "the longest header fits the buffer");
static_assert(chunk::kLengthSize == static_cast<int>(sizeof(int32_t)),
              "the length field is a 32-bit int");

// The state of a chunk output stream. Values are encoded one at a time into
// scratch, then appended. Offsets count the bytes appended since the last
// hand-over (held of them); the first passed of those have gone to the
// stream already (always none over a plain stream), buffer holds the rest.
// chunkStarts and chunkNames hold, innermost last, each open chunk's body
// offset and its name; bodyPositions, over a patchable stream, the position
// in the stream where each body starts once its header was passed on (-1
// until then).
class ChunkOutputStream::ChunkOutputStreamImpl : public lang::Object {
 public:
  explicit ChunkOutputStreamImpl(OutputStream* o)
      : out(o), patchable(dynamic_cast<PatchableOutputStream*>(o)), scratch(0), encoder(&scratch) {}

  // Appends the bytes of scratch.
  void appendScratch() { append(scratch.data(), static_cast<size_t>(scratch.size())); }

  void append(const unsigned char* bytes, size_t count) {
    if (count == 0) return;
    // Offsets are ints: they cannot pass 2^31 - 1 bytes.
    if (count > static_cast<size_t>(INT_MAX - held)) raiseSize(innermostName());
    if (patchable && buffer.size() + count > static_cast<size_t>(kPassOnSize)) {
      passOn();
      if (count >= static_cast<size_t>(kPassOnSize)) {
        out->write(bytes, static_cast<int>(count));
        held += static_cast<int>(count);
        passed = held;
        return;
      }
    }
    buffer.insert(buffer.end(), bytes, bytes + count);
    held += static_cast<int>(count);
  }

  // Strings are encoded into scratch: refuse one too long for the string
  // encoding here, naming the stream the user writes to.
  void checkString(const lang::String& value) {
    long long bytes = DataOutputStream::measureUTF(value);
    if (bytes > DataOutputStream::kMaxUTFBytes)
      detail::raise<IOException>("UTF-8 data of {0} bytes too long when writing {1}", bytes,
                                 out->toString());
  }

  // Over a patchable stream: writes the buffer and notes where the bodies
  // of the chunks whose headers it held start in the stream. Nothing
  // changes when the stream throws.
  void passOn() {
    if (buffer.size() == 0) return;
    const std::int64_t at = patchable->getPosition();
    out->write(buffer.data(), static_cast<int>(buffer.size()));
    for (size_t i = bodyPositions.size(); i-- > 0 && bodyPositions[i] < 0;)
      bodyPositions[i] = at + (chunkStarts[i] - passed);
    passed = held;
    buffer.clear();
  }

  // One write of the whole buffer (also when empty), then it is emptied.
  void handOver() {
    out->write(buffer.data(), static_cast<int>(buffer.size()));
    buffer.clear();
    held = passed = 0;
  }

  // Fills in the length of the chunk whose body starts at offset start (or,
  // once passed on, at position body in the stream) and ends here.
  void fillLength(const lang::String& name, int start, std::int64_t body) {
    unsigned char field[chunk::kLengthSize];
    if (body < 0) {
      const int inBuffer = start - passed;
      const int length = held - start;
      if (!(length >= 0 && inBuffer >= chunk::kLengthSize && start <= held)) raiseSize(name);
      storeBigEndian(static_cast<int32_t>(length), &buffer[inBuffer - chunk::kLengthSize]);
      return;
    }
    const std::int64_t length =
        patchable->getPosition() + static_cast<std::int64_t>(buffer.size()) - body;
    if (length < 0 || length > INT_MAX) raiseSize(name);
    storeBigEndian(static_cast<int32_t>(length), field);
    patchable->patch(body - chunk::kLengthSize, field, chunk::kLengthSize);
  }

  // Forgets the open chunks and drops their bytes that are still buffered.
  void dropOpenChunks() {
    if (outerHeaderStart >= passed) {
      buffer.resize(static_cast<size_t>(outerHeaderStart - passed));
      held = outerHeaderStart;
    } else {
      // The outermost header went on: everything buffered belongs to it.
      buffer.clear();
      held = passed;
    }
    chunkStarts.clear();
    chunkNames.clear();
    bodyPositions.clear();
  }

  lang::String innermostName() const {
    return chunkNames.size() > 0 ? chunkNames[chunkNames.size() - 1] : lang::String();
  }

  [[noreturn]] void raiseSize(const lang::String& name) const {
    detail::raise<IOException>("Invalid chunk {0} size when writing {1}", name, out->toString());
  }

  OutputStream* out;                 // not owned
  PatchableOutputStream* patchable;  // out when it is one, else null
  ByteArrayOutputStream scratch;
  DataOutputStream encoder;
  util::Vector<unsigned char> buffer;
  int held = 0;    // bytes appended since the last hand-over
  int passed = 0;  // of those, the bytes passed on
  util::Vector<int> chunkStarts;
  util::Vector<lang::String> chunkNames;
  util::Vector<std::int64_t> bodyPositions;
  int outerHeaderStart = 0;  // offset of the outermost open chunk's header
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
  const int headerStart = d.held;
  d.appendScratch();
  if (d.chunkStarts.size() == 0) d.outerHeaderStart = headerStart;
  d.chunkStarts.push_back(d.held);
  d.chunkNames.push_back(name);
  d.bodyPositions.push_back(-1);
}

void ChunkOutputStream::endChunk() {
  ChunkOutputStreamImpl& d = *m_impl;
  size_t open = d.chunkStarts.size();
  if (open == 0)
    detail::raise<IOException>("Unpaired end chunk when writing {0}", d.out->toString());
  const lang::String name = d.chunkNames[open - 1];
  const int start = d.chunkStarts[open - 1];
  const std::int64_t body = d.bodyPositions[open - 1];
  d.chunkNames.resize(open - 1);
  d.chunkStarts.resize(open - 1);
  d.bodyPositions.resize(open - 1);
  d.fillLength(name, start, body);
  if (d.chunkStarts.size() == 0) d.handOver();
}

void ChunkOutputStream::writeInt(int value) {
  ChunkOutputStreamImpl& d = *m_impl;
  if (value == INT_MIN)
    detail::raise<IOException>("Chunk integer {0} out of range when writing {1}", value,
                               d.out->toString());
  // Fixed-size encodings need no scratch stream: they are appended directly
  // (the same bytes the encoder would give).
  unsigned char bytes[chunk::kMaxIntegerBytes];
  int n = chunk::encodeInteger(value, bytes);
  d.append(bytes, static_cast<size_t>(n));
}

void ChunkOutputStream::writeFloat(float value) {
  unsigned char bytes[sizeof value];
  storeBigEndian(value, bytes);
  m_impl->append(bytes, sizeof bytes);
}

void ChunkOutputStream::writeFloats(const float* values, int count) {
  ChunkOutputStreamImpl& d = *m_impl;
  constexpr int kBlock = 1024;  // values encoded per append: 4 KB on the stack
  unsigned char bytes[kBlock * sizeof(float)];
  while (count > 0) {
    // Values that fit the buffer without passing it on and stay within the
    // size limit go in one append; the value that does neither goes alone,
    // so that it passes on or fails exactly where writeFloat would.
    int n = std::min(count, kBlock);
    if (d.patchable) {
      const size_t room = kPassOnSize - std::min<size_t>(d.buffer.size(), kPassOnSize);
      n = std::min(n, static_cast<int>(room / sizeof(float)));
    }
    n = std::min<int>(n, (INT_MAX - d.held) / static_cast<int>(sizeof(float)));
    if (n == 0) {
      writeFloat(*values++);
      --count;
      continue;
    }
    storeBigEndianFloats(values, static_cast<size_t>(n), bytes);
    d.append(bytes, static_cast<size_t>(n) * sizeof(float));
    values += n;
    count -= n;
  }
}

void ChunkOutputStream::writeString(const lang::String& value) {
  ChunkOutputStreamImpl& d = *m_impl;
  d.checkString(value);
  d.scratch.reset();
  d.encoder.writeUTF(value);
  d.appendScratch();
}

void ChunkOutputStream::writeBytes(const std::vector<unsigned char>& bytes) {
  // Raw bytes need no encoding: they are appended directly.
  m_impl->append(bytes.data(), bytes.size());
}

void ChunkOutputStream::close() {
  ChunkOutputStreamImpl& d = *m_impl;
  // Open chunks have no length yet: drop them, keep what precedes them.
  if (d.chunkStarts.size() > 0) d.dropOpenChunks();
  d.handOver();
}

int ChunkOutputStream::openChunks() const { return static_cast<int>(m_impl->chunkStarts.size()); }

int ChunkOutputStream::bufferedSize() const { return static_cast<int>(m_impl->buffer.size()); }

bool ChunkOutputStream::patchesLengths() const { return m_impl->patchable != nullptr; }

}  // namespace io
