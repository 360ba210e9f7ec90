// The bulk reads of io::ChunkInputStream against the loops of single reads
// they stand for: on every prefix of each input, both run on a fresh stream
// and must store the same values, stop at the same position and throw the
// same exception (class, template and arguments).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/ChunkInputStream.h"
#include "io/InputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/ChunkBuilder.h"

namespace {

using xmdtest::ChunkBuilder;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

// Slots of `out` that no read wrote keep this pattern (no chunk integer
// decodes to INT_MIN, and no float of the inputs has this pattern).
const uint32_t kUntouched = 0x80000000u;
const int kSlots = 40;

// A read through one stream: fills out (bit patterns) and may return a count.
typedef std::function<int(io::ChunkInputStream&, uint32_t* out)> Read;

struct Outcome {
  std::vector<uint32_t> out;
  int returned = -1;
  int position = 0;
  std::string thrown;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "returned " << o.returned << ", position " << o.position << ", " << o.thrown << ", out";
  for (uint32_t v : o.out) *os << ' ' << std::hex << v << std::dec;
}
bool operator==(const Outcome& a, const Outcome& b) {
  return a.out == b.out && a.returned == b.returned && a.position == b.position &&
         a.thrown == b.thrown;
}

// The bytes before the values: the reads start at position 3.
const Bytes kLead = {0xAA, 0xBB, 0xCC};

Outcome run(io::InputStream& source, const Read& read, size_t slots = kSlots) {
  io::ChunkInputStream in(&source);
  Outcome o;
  o.out.assign(slots, kUntouched);
  o.thrown = thrown([&] {
    for (size_t i = 0; i < kLead.size(); ++i) in.readByte();
    o.returned = read(in, o.out.data());
  });
  o.position = in.getPosition();
  return o;
}

Outcome runOver(const Bytes& bytes, const Read& read, int maxRead = 0) {
  io::ByteArrayInputStream source(bytes, "cut.xmd", maxRead);
  return run(source, read);
}

int* asInts(uint32_t* out) { return reinterpret_cast<int*>(out); }
float* asFloats(uint32_t* out) { return reinterpret_cast<float*>(out); }

// The loops of single reads.
Read singleFloats(int count) {
  return [count](io::ChunkInputStream& in, uint32_t* out) {
    for (int i = 0; i < count; ++i) asFloats(out)[i] = in.readFloat();
    return -1;
  };
}
Read singleInts(int count, int low = INT_MIN, int high = INT_MAX) {
  return [=](io::ChunkInputStream& in, uint32_t* out) {
    int i = 0;
    while (i < count) {
      const int v = in.readInt();
      asInts(out)[i++] = v;
      if (v < low || v > high) break;
    }
    return i;
  };
}
Read singleBytes(int count) {
  return [count](io::ChunkInputStream& in, uint32_t*) {
    for (int i = 0; i < count; ++i) in.readByte();
    return -1;
  };
}

// The bulk reads.
Read bulkFloats(int count) {
  return [count](io::ChunkInputStream& in, uint32_t* out) {
    const int start = in.getPosition();
    try {
      in.readFloats(asFloats(out), count);
    } catch (...) {
      // The slot of a partial float is the one the loop never wrote.
      const int whole = (in.getPosition() - start) / 4;
      if (whole < count) out[whole] = kUntouched;
      throw;
    }
    return -1;
  };
}
Read bulkInts(int count, int low = INT_MIN, int high = INT_MAX) {
  return [=](io::ChunkInputStream& in, uint32_t* out) {
    return in.readInts(asInts(out), count, low, high);
  };
}
Read bulkSkip(int count) {
  return [count](io::ChunkInputStream& in, uint32_t*) {
    in.skipBytes(count);
    return -1;
  };
}
Read bulkSkipTo(int position) {
  return [position](io::ChunkInputStream& in, uint32_t*) {
    in.skipTo(position);
    return -1;
  };
}

struct Case {
  const char* name;
  Bytes values;  // after kLead
  Read single;
  Read bulk;
  const char* whole;  // what the bulk read gives over all the bytes
};

Bytes floats(std::initializer_list<float> list) {
  ChunkBuilder b;
  for (float f : list) b.f32(f);
  return b.bytes();
}
Bytes ints(std::initializer_list<int64_t> list) {
  ChunkBuilder b;
  for (int64_t v : list) b.integer(v);
  return b.bytes();
}
Bytes join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
// Five bytes, every one announcing another: a sixth would be needed.
const Bytes kSixthAnnounced = {0x01, 0x03, 0x05, 0x07, 0x09, 0x00};
// 2^31: five well-formed bytes, one too many magnitude bits.
const Bytes kTooLarge = {0x01, 0x01, 0x01, 0x01, 0x20};

std::vector<Case> cases() {
  const Bytes mixed = ints({0, 63, 64, -100, 65535, INT_MAX, -INT_MAX, 1000, -1});
  return {
      {"floats", floats({1.5f, -0.0f, kInf, kNaN, 3e-40f, -2.25f}), singleFloats(6), bulkFloats(6),
       "nothing thrown"},
      {"floats, more asked than there are", floats({1.0f, 2.0f}), singleFloats(3), bulkFloats(3),
       "EOFException: Unexpected end of file in {0}. | n:cut.xmd"},
      {"no float", floats({1.0f}), singleFloats(0), bulkFloats(0), "nothing thrown"},
      {"a negative float count", floats({1.0f}), singleFloats(-4), bulkFloats(-4),
       "nothing thrown"},
      {"integers of every length", mixed, singleInts(9), bulkInts(9), "nothing thrown"},
      {"integers, the last one short", join(mixed, {0x01}), singleInts(10), bulkInts(10),
       "EOFException: Unexpected end of file in {0}. | n:cut.xmd"},
      {"no integer", mixed, singleInts(0), bulkInts(0), "nothing thrown"},
      {"integers stop at one out of range, bytes after it", ints({0, 5, 2, 9, 1, 100000, 4}),
       singleInts(7, 0, 5), bulkInts(7, 0, 5), "nothing thrown"},
      {"integers stop at a negative one", ints({3, -1, 4}), singleInts(3, 0, 9), bulkInts(3, 0, 9),
       "nothing thrown"},
      {"the last integer out of range", ints({1, 2, 70000}), singleInts(3, 0, 65533),
       bulkInts(3, 0, 65533), "nothing thrown"},
      {"a sixth byte announced", join(join(ints({7, 300}), kSixthAnnounced), ints({1, 2})),
       singleInts(5), bulkInts(5),
       "IOException: Invalid chunk integer at {0,#} while reading {1} | #6 | n:cut.xmd"},
      {"a magnitude past 2^31 - 1", join(join(ints({-7}), kTooLarge), ints({1, 2, 3})),
       singleInts(4), bulkInts(4),
       "IOException: Invalid chunk integer at {0,#} while reading {1} | #4 | n:cut.xmd"},
      {"a refused integer after the range stop", join(ints({1, 99}), kSixthAnnounced),
       singleInts(3, 0, 9), bulkInts(3, 0, 9), "nothing thrown"},
      {"skipped bytes", Bytes(12, 0x5A), singleBytes(10), bulkSkip(10), "nothing thrown"},
      {"skipped bytes past the end", Bytes(6, 0x5A), singleBytes(9), bulkSkip(9),
       "EOFException: Unexpected end of file in {0}. | n:cut.xmd"},
      {"no byte skipped", Bytes(4, 0x5A), singleBytes(-2), bulkSkip(-2), "nothing thrown"},
      {"skipped to a position", Bytes(9, 0x5A), singleBytes(7), bulkSkipTo(3 + 7),
       "nothing thrown"},
      {"skipped to where it stands", Bytes(2, 0x5A), singleBytes(0), bulkSkipTo(3),
       "nothing thrown"},
      {"skipped to a position behind", Bytes(2, 0x5A), singleBytes(0), bulkSkipTo(1),
       "nothing thrown"},
  };
}

TEST(ChunkBulkReads, EveryPrefixAsTheLoopOfSingleReads) {
  for (const Case& c : cases()) {
    const Bytes all = join(kLead, c.values);
    EXPECT_EQ(runOver(all, c.bulk).thrown, c.whole) << c.name;
    for (size_t cut = kLead.size(); cut <= all.size(); ++cut) {
      const Bytes prefix(all.begin(), all.begin() + cut);
      EXPECT_EQ(runOver(prefix, c.bulk), runOver(prefix, c.single)) << c.name << ", cut " << cut;
    }
  }
}

// Sources that deliver a few bytes per read: the integer and byte reads
// take whatever comes, as their single reads do byte by byte.
TEST(ChunkBulkReads, IntegersAndSkipsOverShortReads) {
  for (int maxRead : {1, 2, 3, 7}) {
    for (const Case& c : cases()) {
      if (std::string(c.name).find("float") != std::string::npos) continue;
      const Bytes all = join(kLead, c.values);
      for (size_t cut = kLead.size(); cut <= all.size(); ++cut) {
        const Bytes prefix(all.begin(), all.begin() + cut);
        EXPECT_EQ(runOver(prefix, c.bulk, maxRead), runOver(prefix, c.single, maxRead))
            << c.name << ", cut " << cut << ", " << maxRead << " bytes a read";
      }
    }
  }
}

// The floats' bytes come in one read, as each float's do for readFloat: a
// source that delivers fewer than asked counts as ended.
TEST(ChunkBulkReads, FloatsTakeAShortReadAsTheEnd) {
  const Bytes all = join(kLead, floats({1.0f, 2.0f, 3.0f}));
  // Three bytes a read: the loop ends at its first float too.
  EXPECT_EQ(runOver(all, bulkFloats(3), 3), runOver(all, singleFloats(3), 3));
  const Outcome bulk = runOver(all, bulkFloats(3), 8);
  EXPECT_EQ(bulk.thrown, "EOFException: Unexpected end of file in {0}. | n:cut.xmd");
  EXPECT_EQ(bulk.position, 3 + 8);
  EXPECT_EQ(bulk.out[0], 0x3F800000u);  // the whole float, 1.0
  EXPECT_EQ(bulk.out[1], 0x40000000u);  // 2.0
}

// Many integers of mixed lengths: blocks end inside integers, and a stop or
// a refused integer can lie anywhere.
TEST(ChunkBulkReads, LongRunsOfIntegers) {
  ChunkBuilder b;
  b.raw(kLead);
  const int count = 30000;
  // Values within +-70000 but one, far on, that is not.
  const int far = 25000;
  for (int i = 0; i < count; ++i)
    b.integer(i == far ? 80000 : (i % 5 == 0 ? -1 : 1) * (i * 7919 % 70001));
  const Bytes all = b.bytes();
  struct Run {
    Read single, bulk;
    int returned;  // over all the bytes
  } runs[] = {
      {singleInts(count), bulkInts(count), count},
      {singleInts(count, -70000, 70000), bulkInts(count, -70000, 70000), far + 1},
  };
  std::vector<size_t> cuts;
  for (size_t cut = kLead.size(); cut <= all.size(); cut += 1009) cuts.push_back(cut);
  for (size_t cut = all.size() - 12; cut <= all.size(); ++cut) cuts.push_back(cut);
  for (const Run& r : runs) {
    for (size_t cut : cuts) {
      io::ByteArrayInputStream a(Bytes(all.begin(), all.begin() + cut), "cut.xmd");
      io::ByteArrayInputStream s(Bytes(all.begin(), all.begin() + cut), "cut.xmd");
      const Outcome bulk = run(a, r.bulk, count);
      EXPECT_EQ(bulk, run(s, r.single, count)) << "cut " << cut;
      if (cut == all.size()) {
        EXPECT_EQ(bulk.thrown, "nothing thrown");
        EXPECT_EQ(bulk.returned, r.returned);
      }
    }
  }
  // A refused integer at every offset from 16,370 to 16,400.
  for (size_t at = 16370; at <= 16400; ++at) {
    Bytes poked = all;
    poked.insert(poked.begin() + static_cast<long>(at), kSixthAnnounced.begin(),
                 kSixthAnnounced.end() - 1);
    io::ByteArrayInputStream a(poked, "cut.xmd");
    io::ByteArrayInputStream s(poked, "cut.xmd");
    const Outcome bulk = run(a, bulkInts(count), count);
    EXPECT_NE(bulk.thrown, "nothing thrown") << at;
    EXPECT_EQ(bulk, run(s, singleInts(count), count)) << at;
  }
}

// An endless source that repeats a pattern of bytes (the byte at offset p
// is pattern[p % size]) and skips at no cost: the reads near the last
// position a stream can have (2^31 - 1).
class Endless : public io::InputStream {
 public:
  explicit Endless(Bytes pattern) : m_pattern(std::move(pattern)) {}
  lang::Ptr<io::InputStream> clone() override { return lang::Ptr<io::InputStream>(); }
  bool seek(int offset, int origin) override {
    if (origin != 0 || offset < 0) return false;
    m_offset = offset;
    return true;
  }
  int tell() override { return -1; }
  int read(void* dest, int size) override {
    unsigned char* d = static_cast<unsigned char*>(dest);
    for (int i = 0; i < size; ++i) d[i] = m_pattern[m_offset++ % m_pattern.size()];
    return std::max(size, 0);
  }
  int skip(int count) override {
    m_offset += std::max(count, 0);
    return std::max(count, 0);
  }
  int available() override { return INT_MAX; }
  std::string toString() const override { return "endless"; }

 private:
  Bytes m_pattern;
  unsigned long long m_offset = 0;
};

TEST(ChunkBulkReads, AtTheLastPosition) {
  struct Near {
    const char* name;
    Bytes pattern;
    int start;  // position the read starts at
    Read single, bulk;
    int position;  // where both stop
  } cases[] = {
      {"floats", {0x3F}, INT_MAX - 9, singleFloats(5), bulkFloats(5), INT_MAX - 1},
      {"integers", {0x04}, INT_MAX - 3, singleInts(6), bulkInts(6), INT_MAX},
      // 0x05 0x04 at every odd offset: the two-byte integer 129.
      {"two-byte integers", {0x04, 0x05}, INT_MAX - 4, singleInts(6), bulkInts(6), INT_MAX},
      {"skipped bytes", {0x00}, INT_MAX - 3, singleBytes(6), bulkSkip(6), INT_MAX},
  };
  for (const Near& c : cases) {
    Outcome o[2];
    const Read* reads[2] = {&c.single, &c.bulk};
    for (int k = 0; k < 2; ++k) {
      Endless source(c.pattern);
      o[k] = run(source, [&](io::ChunkInputStream& in, uint32_t* out) {
        in.endChunk(c.start);
        return (*reads[k])(in, out);
      });
    }
    EXPECT_EQ(o[1], o[0]) << c.name;
    EXPECT_EQ(o[1].thrown, "IOException: Stream position overflow in {0}. | n:endless") << c.name;
    EXPECT_EQ(o[1].position, c.position) << c.name;
  }
}

}  // namespace
