#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/DataInputStream.h"
#include "io/DataOutputStream.h"
#include "testing/IoTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <vector>

namespace {

using xmdtest::bytes;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

// Records each write it receives.
class RecordingStream : public io::OutputStream {
 public:
  int write(const void* src, int size) override {
    const unsigned char* p = static_cast<const unsigned char*>(src);
    all.insert(all.end(), p, p + size);
    sizes.push_back(size);
    return size;
  }
  std::string toString() const override { return "recorder"; }
  Bytes all;
  std::vector<int> sizes;
};

lang::String units(const std::u16string& s) {
  return lang::String(s.data(), static_cast<int>(s.size()));
}

TEST(DataOutputStream, Encodings) {
  struct Case {
    std::function<void(io::DataOutputStream&)> write;
    Bytes out;
  } cases[] = {
      {[](io::DataOutputStream& d) { d.writeByte(0x1FF); }, bytes({0xFF})},
      {[](io::DataOutputStream& d) { d.writeShort(0x12345); }, bytes({0x23, 0x45})},
      {[](io::DataOutputStream& d) { d.writeShort(-2); }, bytes({0xFF, 0xFE})},
      {[](io::DataOutputStream& d) { d.writeInt(1); }, bytes({0, 0, 0, 1})},
      {[](io::DataOutputStream& d) { d.writeInt(INT_MIN); }, bytes({0x80, 0, 0, 0})},
      {[](io::DataOutputStream& d) { d.writeFloat(1.0f); }, bytes({0x3F, 0x80, 0, 0})},
      {[](io::DataOutputStream& d) { d.writeFloat(-0.0f); }, bytes({0x80, 0, 0, 0})},
      {[](io::DataOutputStream& d) { d.writeUTF(lang::String()); }, bytes({0, 0})},
      {[](io::DataOutputStream& d) { d.writeUTF(units(u"\u00E9")); }, bytes({0, 2, 0xC3, 0xA9})},
      {[](io::DataOutputStream& d) { d.writeUTF(units(u"\u20AC")); },
       bytes({0, 3, 0xE2, 0x82, 0xAC})},
      {[](io::DataOutputStream& d) { d.writeUTF(units(u"\U0001F600")); },
       bytes({0, 4, 0xF0, 0x9F, 0x98, 0x80})},
      // A high surrogate with no low one after it is left out.
      {[](io::DataOutputStream& d) { d.writeUTF(units(u"ab\xD83D")); }, bytes({0, 2, 'a', 'b'})},
      {[](io::DataOutputStream& d) {
         d.writeUTF(
             units(u"\xD83D"
                   u"A"));
       },
       bytes({0, 1, 'A'})},
      // A lone low surrogate is written as its own value.
      {[](io::DataOutputStream& d) { d.writeUTF(units(u"\xDC00")); },
       bytes({0, 3, 0xED, 0xB0, 0x80})},
      {[](io::DataOutputStream& d) { d.writeUTF(units(std::u16string(1, u'\0'))); },
       bytes({0, 1, 0})},
  };
  for (const Case& c : cases) {
    RecordingStream sink;
    io::DataOutputStream d(&sink);
    c.write(d);
    EXPECT_EQ(sink.all, c.out);
  }
}

TEST(DataOutputStream, WriteUTFStagesItsBytes) {
  RecordingStream sink;
  io::DataOutputStream d(&sink);
  d.writeUTF(units(std::u16string(300, u'a')));
  EXPECT_EQ(sink.sizes, (std::vector<int>{2, 249, 51}));
  // Three-byte characters cross 249 at 249 exactly; four-byte ones at 252.
  sink.sizes.clear();
  d.writeUTF(units(std::u16string(100, u'\u20AC')));
  EXPECT_EQ(sink.sizes, (std::vector<int>{2, 249, 51}));
  sink.sizes.clear();
  std::u16string pairs;
  for (int i = 0; i < 70; ++i) pairs += u"\U0001F600";
  d.writeUTF(units(pairs));
  EXPECT_EQ(sink.sizes, (std::vector<int>{2, 252, 28}));
}

TEST(DataOutputStream, WriteUTFRefusesMoreThan32767BytesBeforeWriting) {
  RecordingStream sink;
  io::DataOutputStream d(&sink);
  d.writeUTF(units(std::u16string(32767, u'x')));
  EXPECT_EQ(sink.all.size(), 32769u);
  sink.all.clear();
  EXPECT_EQ(thrown([&] { d.writeUTF(units(std::u16string(32768, u'x'))); }),
            "IOException: UTF-8 data of {0} bytes too long when writing {1} | #32768 | n:recorder");
  EXPECT_EQ(thrown([&] { d.writeUTF(units(std::u16string(10923, u'\u20AC'))); }),
            "IOException: UTF-8 data of {0} bytes too long when writing {1} | #32769 | n:recorder");
  EXPECT_TRUE(sink.all.empty());
}

TEST(DataStreams, RandomTextRoundTrips) {
  std::mt19937 rng(42);
  const char16_t pool[] = {u'a',      u'\0',  u'\u00E9', u'\u07FF', u'\u0800',
                           u'\uFFFF', 0xD800, 0xDBFF,    0xDC00,    0xDFFF};
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) text.push_back(pool[rng() % (sizeof pool / sizeof pool[0])]);
    // What survives: high surrogates only as the first half of a pair.
    std::u16string expected;
    for (size_t i = 0; i < text.size(); ++i) {
      bool high = (text[i] & 0xFC00) == 0xD800;
      if (!high) {
        expected.push_back(text[i]);
      } else if (i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00) {
        expected.push_back(text[i]);
        expected.push_back(text[++i]);
      }
    }
    io::ByteArrayOutputStream out(0);
    io::DataOutputStream w(&out);
    w.writeUTF(units(text));
    io::ByteArrayInputStream in(out.data(), out.size());
    io::DataInputStream r(&in);
    lang::String back = r.readUTF();
    ASSERT_EQ(std::u16string(back.c_str(), back.length()), expected) << round;
    EXPECT_EQ(r.getPosition(), out.size());
  }
}

}  // namespace
