#include "lang/String.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "testing/AnsiText.h"

namespace lang {
namespace {

std::u16string units(int n, char16_t first = u'a') {
  std::u16string s;
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char16_t>(first + i % 26));
  return s;
}

TEST(String, PlacementAndCapacityFollowTheLength) {
  struct Case {
    int length;
    bool inObject;
    int capacity;
  } cases[] = {
      {0, true, 29},   {1, true, 29},   {28, true, 29},  {29, false, 32}, {30, false, 32},
      {31, false, 32}, {32, false, 64}, {63, false, 64}, {64, false, 96}, {1000, false, 1024},
  };
  for (const Case& c : cases) {
    const std::u16string text = units(c.length);
    const String s(text.c_str());
    EXPECT_EQ(s.length(), c.length);
    EXPECT_EQ(s.isInObject(), c.inObject) << c.length;
    EXPECT_EQ(s.capacity(), c.capacity) << c.length;
    EXPECT_EQ(s.shareCount(), 1u);
    EXPECT_EQ(std::u16string(s.c_str()), text);  // zero-terminated
  }
  const String empty;
  EXPECT_EQ(empty.length(), 0);
  EXPECT_TRUE(empty.isInObject());
  EXPECT_EQ(empty.c_str()[0], 0);
}

TEST(String, InObjectCopiesAreIndependent) {
  const std::u16string text = units(28);
  String a(text.c_str());
  String b(a);
  EXPECT_TRUE(b.isInObject());
  EXPECT_NE(a.c_str(), b.c_str());
  EXPECT_EQ(a.shareCount(), 1u);
  EXPECT_EQ(b.shareCount(), 1u);
  EXPECT_EQ(a, b);
  a = String("other");  // replacing a's block leaves b alone
  EXPECT_EQ(std::u16string(b.c_str()), text);
}

TEST(String, HeapBlocksAreSharedAndFreedOnce) {
  const std::u16string text = units(40);
  auto* a = new String(text.c_str());
  auto* b = new String(*a);
  EXPECT_EQ(a->c_str(), b->c_str());
  EXPECT_EQ(a->shareCount(), 2u);
  String c;
  c = *b;
  EXPECT_EQ(a->shareCount(), 3u);
  c = *a;  // the same block already: nothing changes
  EXPECT_EQ(a->shareCount(), 3u);
  c = c;
  EXPECT_EQ(a->shareCount(), 3u);
  delete a;
  EXPECT_EQ(b->shareCount(), 2u);
  delete b;
  EXPECT_EQ(c.shareCount(), 1u);
  EXPECT_EQ(std::u16string(c.c_str()), text);  // still readable (ASan checks the rest)
  c = String("short");                         // the last holder frees the block
  EXPECT_EQ(c, "short");
}

TEST(String, AssigningBetweenPlacementsKeepsCountsRight) {
  String heap(units(50).c_str());
  String local("abc");
  String other(heap);
  local = heap;  // in-object -> shared heap
  EXPECT_EQ(heap.shareCount(), 3u);
  other = String("x");  // heap -> in-object
  EXPECT_EQ(heap.shareCount(), 2u);
  EXPECT_TRUE(other.isInObject());
  EXPECT_EQ(other, "x");
}

TEST(String, MovingHandsTheBlockOverAndLeavesTheSourceEmpty) {
  // Around the in-object limit and well beyond it.
  for (int length : {0, 1, 28, 29, 100}) {
    const std::u16string text = units(length);
    String source(text.c_str());
    const String witness(source);  // a second holder of a heap block
    const char16_t* block = source.c_str();
    const std::uint32_t count = source.shareCount();

    String moved(std::move(source));
    EXPECT_EQ(std::u16string(moved.c_str()), text) << length;
    EXPECT_EQ(moved.isInObject(), length <= String::kMaxInObjectLength) << length;
    if (!moved.isInObject()) {
      EXPECT_EQ(moved.c_str(), block) << length;  // the same block, no copy
      EXPECT_EQ(moved.shareCount(), count) << length;
    }
    EXPECT_EQ(source, "") << length;  // a moved-from string is empty
    EXPECT_TRUE(source.isInObject()) << length;
    EXPECT_EQ(witness, moved) << length;

    // Move-assigning into an empty, an in-object and a heap string.
    for (const char* before : {"", "abc", "a text well beyond the in-object limit of units"}) {
      String target(before);
      String from(moved);
      const std::uint32_t shares = moved.shareCount();
      target = std::move(from);
      EXPECT_EQ(std::u16string(target.c_str()), text) << length << " over " << before;
      EXPECT_EQ(from, "") << length << " over " << before;
      EXPECT_EQ(moved.shareCount(), shares) << length << " over " << before;
    }
    // `source` is usable again after the move.
    source = String("again");
    EXPECT_EQ(source, "again");
  }
}

TEST(String, MoveAssignmentKeepsCountsRight) {
  const std::u16string text = units(40);
  String a(text.c_str());
  String b(a);
  String c(a);
  EXPECT_EQ(a.shareCount(), 3u);
  b = std::move(c);  // two holders of one block: one share goes
  EXPECT_EQ(a.shareCount(), 2u);
  EXPECT_EQ(c, "");
  String& alias = b;
  b = std::move(alias);  // onto itself: unchanged
  EXPECT_EQ(std::u16string(b.c_str()), text);
  EXPECT_EQ(a.shareCount(), 2u);
  b = String("x");  // the moved-in in-object text; b's share goes
  EXPECT_EQ(a.shareCount(), 1u);
  EXPECT_EQ(b, "x");
  a = std::move(b);  // the last holder of the heap block frees it (ASan checks)
  EXPECT_EQ(a, "x");
  EXPECT_TRUE(a.isInObject());
}

TEST(String, ByteConstructorWidensEachByte) {
  const String s("\xE9");
  ASSERT_EQ(s.length(), 1);
  EXPECT_EQ(s.charAt(0), 0x00E9);
  const String all("\x01\x7F\x80\xFF");
  EXPECT_EQ(all, String(u"\x0001\x007F\x0080\x00FF"));
  const std::string longBytes(100, '\xC3');
  const String heap(longBytes.c_str());
  EXPECT_EQ(heap.length(), 100);
  EXPECT_EQ(heap.capacity(), 128);
  EXPECT_EQ(heap.charAt(99), 0x00C3);
  EXPECT_EQ(String(static_cast<const char*>(nullptr)).length(), 0);
  EXPECT_EQ(String(static_cast<const char16_t*>(nullptr)).length(), 0);
}

TEST(String, UnitArrayConstructorKeepsZerosAndSurrogates) {
  const char16_t raw[] = {u'a', 0, 0xD800, 0xDFFF, 0xFFFF};
  const String s(raw, 5);
  ASSERT_EQ(s.length(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s.charAt(i), raw[i]);
  EXPECT_EQ(s.c_str()[5], 0);
  EXPECT_EQ(String(raw, -1).length(), 0);
  EXPECT_EQ(String(nullptr, 3).length(), 0);
}

TEST(String, EqualityComparesRawUnits) {
  struct Case {
    String a;
    String b;
    bool equal;
  } cases[] = {
      {String("abc"), String(u"abc"), true},
      {String("abc"), String("abcd"), false},
      {String("abc"), String("ABC"), false},
      {String(""), String(), true},
      {String("ab"), String(u"ab\x0000", 3), false},
      {String(units(40).c_str()), String(units(40).c_str()), true},
      {String(u"\x00E9"), String(u"e\x0301"), false},  // no normalisation
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.a != c.b, !c.equal);
  }
}

TEST(String, EqualityWithByteStrings) {
  EXPECT_TRUE(String("model") == "model");
  EXPECT_TRUE("model" == String("model"));
  EXPECT_FALSE(String("model") == "models");
  EXPECT_FALSE(String("models") == "model");
  EXPECT_FALSE(String("Model") == "model");
  EXPECT_TRUE(String("\xE9") == "\xE9");       // byte 0xE9 matches unit 0x00E9
  EXPECT_FALSE(String(u"\x01E9") == "\xE9");   // a unit above 0xFF never matches
  EXPECT_FALSE(String(u"a\x0000", 2) == "a");  // the byte string ends at its zero
  EXPECT_TRUE(String() == "");
  EXPECT_TRUE(String() == static_cast<const char*>(nullptr));
  EXPECT_TRUE(String("x") != "y");
}

TEST(String, ConcatenationPlacesTheResultByItsLength) {
  const String a(units(14).c_str());
  const String b(units(15).c_str());
  const String ab = a + b;
  EXPECT_EQ(ab.length(), 29);
  EXPECT_FALSE(ab.isInObject());
  EXPECT_EQ(ab.capacity(), 32);
  EXPECT_EQ(std::u16string(ab.c_str()), units(14) + units(15));
  const String small = String("ab") + String("cd");
  EXPECT_TRUE(small.isInObject());
  EXPECT_EQ(small, "abcd");
  EXPECT_EQ(String() + String(), "");
  const String heap(units(40).c_str());
  EXPECT_EQ((heap + String()).shareCount(), 1u);  // always a new block
}

TEST(String, NarrowTextForDiagnostics) {
  EXPECT_EQ(toText(String()), "");
  EXPECT_EQ(toText(String(u"caf\u00E9")), "caf" + xmdtest::ansi(u"\u00E9"));
  EXPECT_EQ(toText(String(u"a\xD800"
                          u"b")),
            "a?b");
  const std::u16string longText(3000, u'\u20AC');  // far past the conversion buffer
  EXPECT_EQ(toText(String(longText.c_str())), xmdtest::ansi(longText));
}

}  // namespace
}  // namespace lang
