#include "io/ByteArrayInputStream.h"
#include "io/DataInputStream.h"
#include "testing/IoTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <vector>

namespace {

using xmdtest::bytes;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

TEST(DataInputStream, FixedWidthValuesAreBigEndian) {
  struct Case {
    Bytes in;
    std::function<long long(io::DataInputStream&)> read;
    long long value;
  } cases[] = {
      {bytes({0xFF}), [](io::DataInputStream& d) { return d.readByte(); }, 255},
      {bytes({0xFF, 0xFE}), [](io::DataInputStream& d) { return d.readShort(); }, -2},
      {bytes({0x7F, 0xFF}), [](io::DataInputStream& d) { return d.readShort(); }, 32767},
      {bytes({0x00, 0x00, 0x00, 0x01}), [](io::DataInputStream& d) { return d.readInt(); }, 1},
      {bytes({0x12, 0x34, 0x56, 0x78}), [](io::DataInputStream& d) { return d.readInt(); },
       0x12345678},
      {bytes({0x80, 0x00, 0x00, 0x00}), [](io::DataInputStream& d) { return d.readInt(); },
       INT_MIN},
      {bytes({0xFF, 0xFF, 0xFF, 0xFF}), [](io::DataInputStream& d) { return d.readInt(); }, -1},
  };
  for (const Case& c : cases) {
    io::ByteArrayInputStream src(c.in);
    io::DataInputStream d(&src);
    EXPECT_EQ(c.read(d), c.value);
    EXPECT_EQ(d.getPosition(), static_cast<int>(c.in.size()));
  }
}

TEST(DataInputStream, FloatIsTheBigEndianBitPattern) {
  io::ByteArrayInputStream src(bytes({0x3F, 0x80, 0x00, 0x00, 0xC0, 0x49, 0x0F, 0xDB}));
  io::DataInputStream d(&src);
  EXPECT_EQ(d.readFloat(), 1.0f);
  EXPECT_EQ(d.readFloat(), -3.14159274101257324f);
}

TEST(DataInputStream, ReadUTF) {
  struct Case {
    Bytes in;
    std::u16string text;
    int consumed;
  } cases[] = {
      {bytes({0x00, 0x00, 0x41}), u"", 2},  // nothing read past the count
      {bytes({0x00, 0x03, 'a', 'b', 'c'}), u"abc", 5},
      {bytes({0x00, 0x02, 0xC3, 0xA9}), u"\u00E9", 4},
      {bytes({0x00, 0x03, 0xE2, 0x82, 0xAC}), u"\u20AC", 5},
      {bytes({0x00, 0x04, 0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600", 6},  // a surrogate pair
      {bytes({0x00, 0x01, 0x80}), u"", 3},              // a stray continuation byte is skipped
      {bytes({0x00, 0x02, 'A', 0xF8}), u"A", 4},        // no such lead byte
      {bytes({0x00, 0x02, 'A', 0xC3}), u"A", 4},        // a lead byte cut off by the count
      {bytes({0x00, 0x02, 0xC3, 0x41}), u"\u00C1", 4},  // continuation bits are not checked
      {bytes({0x00, 0x01, 0x00}), std::u16string(1, u'\0'),
       3},                                                    // a zero unit is text like any other
      {bytes({0x00, 0x03, 0xED, 0xB0, 0x80}), u"\xDC00", 5},  // a lone low surrogate comes back
  };
  for (const Case& c : cases) {
    io::ByteArrayInputStream src(c.in);
    io::DataInputStream d(&src);
    lang::String s = d.readUTF();
    EXPECT_EQ(std::u16string(s.c_str(), s.length()), c.text);
    EXPECT_EQ(d.getPosition(), c.consumed);
  }
}

TEST(DataInputStream, ReadUTFReusesItsBufferAcrossLengths) {
  Bytes in;
  for (int n : {3, 200, 5, 1000, 999}) {
    in.push_back(static_cast<unsigned char>(n >> 8));
    in.push_back(static_cast<unsigned char>(n));
    for (int i = 0; i < n; ++i) in.push_back(static_cast<unsigned char>('a' + i % 26));
  }
  io::ByteArrayInputStream src(in);
  io::DataInputStream d(&src);
  for (int n : {3, 200, 5, 1000, 999}) {
    lang::String s = d.readUTF();
    ASSERT_EQ(s.length(), n);
    EXPECT_EQ(s.charAt(n - 1), u'a' + (n - 1) % 26);
  }
}

TEST(DataInputStream, Failures) {
  struct Case {
    Bytes in;
    std::function<void(io::DataInputStream&)> read;
    std::string error;
    int position;
  } cases[] = {
      {bytes({0x80, 0x00, 'a'}), [](io::DataInputStream& d) { d.readUTF(); },
       "IOException: Invalid UTF-8 data in {0}. | n:src", 2},
      {bytes({0xFF, 0xFF}), [](io::DataInputStream& d) { d.readUTF(); },
       "IOException: Invalid UTF-8 data in {0}. | n:src", 2},
      {bytes({1, 2, 3}), [](io::DataInputStream& d) { d.readInt(); },
       "EOFException: Unexpected end of file in {0}. | n:src", 3},
      {bytes({1, 2, 3}), [](io::DataInputStream& d) { d.readFloat(); },
       "EOFException: Unexpected end of file in {0}. | n:src", 3},
      {bytes({1}), [](io::DataInputStream& d) { d.readShort(); },
       "EOFException: Unexpected end of file in {0}. | n:src", 1},
      {bytes({}), [](io::DataInputStream& d) { d.readByte(); },
       "EOFException: Unexpected end of file in {0}. | n:src", 0},
      {bytes({0x00, 0x05, 'a', 'b'}), [](io::DataInputStream& d) { d.readUTF(); },
       "EOFException: Unexpected end of file in {0}. | n:src", 4},
  };
  for (const Case& c : cases) {
    io::ByteArrayInputStream src(c.in, "src");
    io::DataInputStream d(&src);
    EXPECT_EQ(thrown([&] { c.read(d); }), c.error);
    EXPECT_EQ(d.getPosition(), c.position) << c.error;
  }
}

TEST(DataInputStream, AShortReadCountsAsTheEnd) {
  io::ByteArrayInputStream src(bytes({0, 0, 0, 1}), "trickle", 2);
  io::DataInputStream d(&src);
  EXPECT_EQ(thrown([&] { d.readInt(); }),
            "EOFException: Unexpected end of file in {0}. | n:trickle");
  EXPECT_EQ(d.getPosition(), 2);
}

TEST(DataInputStream, PositionFollowsReadSkipAndSeek) {
  Bytes in(100, 7);
  io::ByteArrayInputStream src(in);
  io::DataInputStream d(&src);
  unsigned char buf[10];
  EXPECT_EQ(d.read(buf, 10), 10);
  EXPECT_EQ(d.skip(15), 15);
  EXPECT_EQ(d.getPosition(), 25);
  EXPECT_TRUE(d.seek(60, 0));
  EXPECT_EQ(d.getPosition(), 60);
  EXPECT_TRUE(d.seek(-10, 1));  // relative moves are converted
  EXPECT_EQ(d.getPosition(), 50);
  EXPECT_EQ(src.tell(), 50);
  EXPECT_EQ(d.skip(1000), 50);
  EXPECT_EQ(d.getPosition(), 100);
  EXPECT_EQ(d.read(buf, 10), 0);

  // Refused or failed seeks move nothing.
  EXPECT_FALSE(d.seek(-1, 0));
  EXPECT_FALSE(d.seek(0, 2));
  EXPECT_FALSE(d.seek(-101, 1));
  EXPECT_FALSE(d.seek(200, 0));  // the source refuses
  EXPECT_EQ(d.getPosition(), 100);
  EXPECT_EQ(src.tell(), 100);

  // Reads through the source itself are not counted.
  EXPECT_TRUE(d.seek(0, 0));
  src.read(buf, 5);
  EXPECT_EQ(d.getPosition(), 0);
  EXPECT_EQ(d.toString(), "ByteArrayInputStream");
}

// A source that claims to skip whatever it is asked to.
class EndlessSource : public io::ByteArrayInputStream {
 public:
  EndlessSource() : io::ByteArrayInputStream(Bytes(), "endless") {}
  int skip(int count) override { return count; }
};

TEST(DataInputStream, ThePositionNeverWrapsAround) {
  EndlessSource src;
  io::DataInputStream d(&src);
  EXPECT_EQ(d.skip(INT_MAX - 1), INT_MAX - 1);
  EXPECT_EQ(d.skip(1), 1);
  EXPECT_EQ(d.getPosition(), INT_MAX);
  EXPECT_EQ(thrown([&] { d.skip(1); }),
            "IOException: Stream position overflow in {0}. | n:endless");
  EXPECT_EQ(d.getPosition(), INT_MAX);
}

TEST(DataInputStream, EveryPrefixEndsInEOF) {
  Bytes full = bytes({0x12, 0x34, 0x00, 0x00, 0x00, 0x05, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x03, 'x',
                      'y', 'z', 0x99});
  for (size_t cut = 0; cut < full.size(); ++cut) {
    io::ByteArrayInputStream src(Bytes(full.begin(), full.begin() + cut), "cut");
    io::DataInputStream d(&src);
    EXPECT_EQ(thrown([&] {
                d.readShort();
                d.readInt();
                d.readFloat();
                d.readUTF();
                d.readByte();
              }),
              "EOFException: Unexpected end of file in {0}. | n:cut")
        << cut;
    EXPECT_EQ(d.getPosition(), static_cast<int>(cut));
  }
}

}  // namespace
