// Fuzz target: the chunk reader and the data stream decoders over arbitrary
// bytes.
//
// Input: one control byte, then the bytes of the source stream.
//   bits 0..2  at most that many bytes per read of the source (0: no limit),
//              so that short reads are exercised;
//   bit 3      clear: walk the bytes as a chunk container; set: decode them
//              with io::DataInputStream, driven by opcodes taken from the
//              stream itself.
// Chunk walk: every code unit of a chunk's name picks one operation (read an
// int, a float, a string, a byte, copy the chunk with readBytes, walk its
// children, skip through the InputStream interface), then endChunk; depth is
// bounded. Every failure must be one of the system's exceptions
// (lang::Throwable); anything else is a fault. Values read are checked: a
// chunk integer writes back and reads to the same value, a string rewritten
// reads back to the same text, readBytes delivers exactly the source's bytes
// and leaves the position alone, endChunk never leaves the position past end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/DataInputStream.h"
#include "io/DataOutputStream.h"
#include "lang/Throwable.h"

namespace {

constexpr int kMaxDepth = 32;
constexpr int kMaxOpsPerName = 64;
// readBytes copies per input, in bytes, beyond which copies are left out
// (each copy may span the whole input; this keeps one input fast).
constexpr size_t kMaxCopiedBytes = 1 << 20;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "chunk_fuzz: %s\n", what);
  std::abort();
}
void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

bool hasSurrogate(const lang::String& s) {
  for (int32_t i = 0; i < s.length(); ++i)
    if (s.charAt(i) >= 0xD800 && s.charAt(i) <= 0xDFFF) return true;
  return false;
}

std::vector<unsigned char> bytesOf(const io::ByteArrayOutputStream& out) {
  return std::vector<unsigned char>(out.data(), out.data() + out.size());
}

// The bytes of value in one chunk, "v": a chunk integer or a string.
template <class Write>
std::vector<unsigned char> encodeInChunk(Write write) {
  io::ByteArrayOutputStream sink(0);
  io::ChunkOutputStream out(&sink);
  out.beginChunk(lang::String("v"));
  write(out);
  out.endChunk();
  return bytesOf(sink);
}

// Writing a value that was read and reading it back gives the same value.
// Neither may throw: a value the reader delivered is one the writer takes.
void checkIntRoundTrip(int value) try {
  std::vector<unsigned char> bytes =
      encodeInChunk([&](io::ChunkOutputStream& o) { o.writeInt(value); });
  io::ByteArrayInputStream src(bytes);
  io::ChunkInputStream in(&src);
  lang::String name;
  int end = 0;
  in.beginChunk(name, end);
  check(in.readInt() == value, "a chunk integer does not read back");
  check(in.getPosition() == end, "a chunk integer's length differs between writer and reader");
  check(end - 7 <= 5, "a chunk integer written with more than 5 bytes");
} catch (const lang::Throwable& e) {
  fail(("a chunk integer that was read does not write back: " + lang::toText(e)).c_str());
}

void checkStringRoundTrip(const lang::String& value) try {
  std::vector<unsigned char> once =
      encodeInChunk([&](io::ChunkOutputStream& o) { o.writeString(value); });
  io::ByteArrayInputStream src(once);
  io::ChunkInputStream in(&src);
  lang::String name;
  int end = 0;
  in.beginChunk(name, end);
  lang::String back = in.readString();
  check(in.getPosition() == end, "a string's length differs between writer and reader");
  if (!hasSurrogate(value)) check(back == value, "a string does not read back");
  std::vector<unsigned char> twice =
      encodeInChunk([&](io::ChunkOutputStream& o) { o.writeString(back); });
  check(twice == once, "a string rewritten twice changes");
} catch (const lang::Throwable& e) {
  fail(("a string that was read does not write back: " + lang::toText(e)).c_str());
}

struct Walker {
  io::ChunkInputStream& in;
  const std::vector<unsigned char>& source;  // what the stream delivers, for readBytes
  std::vector<unsigned char> buffer;
  size_t copied = 0;

  void chunk(int depth) {
    const int before = in.getPosition();
    lang::String name;
    int end = 0;
    const int start = in.beginChunk(name, end);
    check(start == before, "beginChunk does not return the header's position");
    check(end >= in.getPosition(), "a chunk ends before its body starts");
    const int ops = name.length() < kMaxOpsPerName ? name.length() : kMaxOpsPerName;
    for (int i = 0; i < ops; ++i) op(name.charAt(i) % 7, start, end, depth);
    in.endChunk(end);
    check(in.getPosition() <= end, "endChunk moved past the chunk's end");
  }

  void op(int which, int start, int end, int depth) {
    switch (which) {
      case 0:
        checkIntRoundTrip(in.readInt());
        break;
      case 1:
        in.readFloat();
        break;
      case 2:
        checkStringRoundTrip(in.readString());
        break;
      case 3:
        in.readByte();
        break;
      case 4:
        copy(start, end - start);
        break;
      case 5:
        while (depth < kMaxDepth && in.getPosition() < end) chunk(depth + 1);
        break;
      default:
        // Through the InputStream interface: moves the source, not the
        // position (readBytes seeks the source back in line).
        in.skip(1);
        break;
    }
  }

  void copy(int start, int length) {
    if (copied > kMaxCopiedBytes) return;
    const int position = in.getPosition();
    in.readBytes(buffer, start, length);
    check(in.getPosition() == position, "readBytes moved the position");
    check(static_cast<int>(buffer.size()) <= length, "readBytes delivered more than asked");
    check(start >= 0 && static_cast<size_t>(start) + buffer.size() <= source.size(),
          "readBytes delivered bytes the source does not have");
    check(buffer.empty() || std::memcmp(buffer.data(), source.data() + start, buffer.size()) == 0,
          "readBytes delivered other bytes than the source's");
    copied += buffer.size();
  }
};

void walkChunks(const std::vector<unsigned char>& bytes, int maxRead) {
  io::ByteArrayInputStream src(bytes, "fuzz input", maxRead);
  io::ChunkInputStream in(&src);
  Walker walker{in, bytes, {}, 0};
  try {
    while (in.getPosition() < static_cast<int>(bytes.size())) walker.chunk(0);
  } catch (const lang::Throwable&) {
    // A malformed container: the expected failure.
  }
}

// Opcodes and operands both come from the stream being decoded.
void decodeData(const std::vector<unsigned char>& bytes, int maxRead) {
  io::ByteArrayInputStream src(bytes, "fuzz input", maxRead);
  io::DataInputStream in(&src);
  unsigned char scratch[64];
  try {
    // Seeks can go back, so the steps are bounded (by a little more than one
    // step per byte, which a stream without seeks cannot exceed).
    const int maxSteps = 64 + static_cast<int>(bytes.size());
    for (int steps = 0; steps < maxSteps; ++steps) {
      const int before = in.getPosition();
      switch (in.readByte() % 8) {
        case 0:
          in.readShort();
          break;
        case 1:
          in.readInt();
          break;
        case 2:
          in.readFloat();
          break;
        case 3: {
          lang::String s = in.readUTF();
          io::ByteArrayOutputStream sink(0);
          io::DataOutputStream out(&sink);
          out.writeUTF(s);
          io::ByteArrayInputStream again(bytesOf(sink));
          io::DataInputStream back(&again);
          lang::String t = back.readUTF();
          check(back.getPosition() == sink.size(), "writeUTF and readUTF disagree on a length");
          if (!hasSurrogate(s)) check(t == s, "readUTF of writeUTF changes the text");
          break;
        }
        case 4: {
          int n = in.readByte();
          int got = in.skip(n);
          check(got >= 0 && got <= n, "skip reports a count it was not asked for");
          break;
        }
        case 5: {
          int n = in.readByte() % sizeof(scratch);
          int got = in.read(scratch, n);
          check(got >= 0 && got <= n, "read reports a count it was not asked for");
          break;
        }
        case 6: {
          int to = in.readByte();
          in.seek(to, 0);  // may be refused past the end
          break;
        }
        default:
          in.readFully(scratch, in.readByte() % sizeof(scratch));
          break;
      }
      if (in.getPosition() == before) break;  // nothing consumed: the source has ended
    }
  } catch (const lang::Throwable&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int maxRead = data[0] & 7;
  std::vector<unsigned char> bytes(data + 1, data + size);
  if (data[0] & 8)
    decodeData(bytes, maxRead);
  else
    walkChunks(bytes, maxRead);
  return 0;
}
