#include "lang/Format.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/AnsiText.h"

namespace lang {
namespace {

TEST(FormatArg, KindsAndValues) {
  const FormatArg none;
  EXPECT_EQ(none.kind(), FormatArg::None);
  const FormatArg number(12.5);
  EXPECT_EQ(number.kind(), FormatArg::Number);
  EXPECT_EQ(number.number(), 12.5);
  const FormatArg position(std::uint32_t{4000000000u});  // integers become numbers
  EXPECT_EQ(position.kind(), FormatArg::Number);
  EXPECT_EQ(position.number(), 4000000000.0);
  EXPECT_EQ(FormatArg(0).kind(), FormatArg::Number);
  EXPECT_EQ(FormatArg(-7).number(), -7.0);
  const String long40(std::u16string(40, u'q').c_str());
  const FormatArg text(long40);
  EXPECT_EQ(text.kind(), FormatArg::Text);
  EXPECT_EQ(text.text(), long40);
  EXPECT_EQ(long40.shareCount(), 2u);  // shares the heap block
  EXPECT_TRUE(text.narrow().empty());
  const FormatArg narrow(std::string("a.xmd"));
  EXPECT_EQ(narrow.kind(), FormatArg::NarrowText);
  EXPECT_EQ(narrow.narrow(), "a.xmd");
  EXPECT_EQ(narrow.text().length(), 0);
  const FormatArg bytes("b.xmd");
  EXPECT_EQ(bytes.kind(), FormatArg::NarrowText);
  EXPECT_EQ(bytes.narrow(), "b.xmd");
  const FormatArg null(static_cast<const char*>(nullptr));
  EXPECT_EQ(null.kind(), FormatArg::NarrowText);
  EXPECT_EQ(null.narrow(), "");
  const FormatArg copy(text);
  EXPECT_EQ(copy.kind(), FormatArg::Text);
  EXPECT_EQ(long40.shareCount(), 3u);
}

TEST(Format, ConstructorsFillSlotsInOrder) {
  const Format empty;
  EXPECT_EQ(empty.argCount(), 0u);
  EXPECT_EQ(empty.pattern().length(), 0);
  for (int i = 0; i < Format::kSlotCount; ++i) EXPECT_EQ(empty.arg(i).kind(), FormatArg::None);

  const Format one(String("Unexpected end of file in {0}."), "in.xmd");
  EXPECT_EQ(one.argCount(), 1u);
  EXPECT_EQ(one.arg(0).narrow(), "in.xmd");
  for (int i = 1; i < Format::kSlotCount; ++i) EXPECT_EQ(one.arg(i).kind(), FormatArg::None);

  const Format three(String("Invalid chunk {2} length at {0,#} while reading {1}"), 17.0, "in.xmd",
                     String("model"));
  EXPECT_EQ(three.argCount(), 3u);
  EXPECT_EQ(three.arg(0).kind(), FormatArg::Number);
  EXPECT_EQ(three.arg(1).kind(), FormatArg::NarrowText);
  EXPECT_EQ(three.arg(2).kind(), FormatArg::Text);
  for (int i = 3; i < Format::kSlotCount; ++i) EXPECT_EQ(three.arg(i).kind(), FormatArg::None);
  EXPECT_EQ(Format(String("{0}{1}"), 1.0, 2.0).argCount(), 2u);
}

TEST(Format, CopiesCarryAllSlots) {
  const Format source(String("{0} {1} {2}"), 1.0, "two", String("three"));
  Format copy(source);
  Format assigned;
  assigned = source;
  for (const Format* f : {&copy, &assigned}) {
    EXPECT_EQ(f->pattern(), source.pattern());
    EXPECT_EQ(f->argCount(), 3u);
    EXPECT_EQ(f->arg(0).number(), 1.0);
    EXPECT_EQ(f->arg(1).narrow(), "two");
    EXPECT_EQ(f->arg(2).text(), "three");
    for (int i = 3; i < Format::kSlotCount; ++i) EXPECT_EQ(f->arg(i).kind(), FormatArg::None);
  }
  // Assignment replaces every slot of the target, also those past its count.
  Format target(String("x"), 9.0, 9.0, 9.0);
  target = Format(String("y"), "only");
  EXPECT_EQ(target.argCount(), 1u);
  EXPECT_EQ(target.arg(1).kind(), FormatArg::None);
  EXPECT_EQ(target.arg(2).kind(), FormatArg::None);
}

TEST(Format, RendersToText) {
  struct Case {
    Format format;
    const char* text;
  } cases[] = {
      {Format(String("Invalid chunk {2} length at {0,#} while reading {1}"), 1234.0, "in.xmd",
              String("model")),
       "Invalid chunk model length at 1234 while reading in.xmd"},
      {Format(String("Unsupported encoding: {0}"), "utf-8"), "Unsupported encoding: utf-8"},
      {Format(String("{0} {0,#} {0}"), 4000000000.0), "4000000000 4000000000 4000000000"},
      {Format(String("at {0}"), -3.0), "at -3"},
      {Format(String("at {0}"), 2.5), "at 2.5"},
      {Format(String("at {0}"), 0.1), "at 0.1"},
      {Format(String("at {0}"), 1e20), "at 100000000000000000000"},
      {Format(String("at {0}"), -0.0), "at 0"},
      {Format(String("{0}"), std::string("bad \xE9 bytes")), "bad \xE9 bytes"},
      // Text that is no placeholder of a given argument stays as it is.
      {Format(String("{1} {9} {10} {0,x} {0 {} { {0"), "a"), "{1} {9} {10} {0,x} {0 {} { {0"},
      {Format(String("{0}}{{0}"), "a"), "a}{a"},
      {Format(), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(toText(c.format), c.text);
  // Text arguments render in the system code page, an unpaired surrogate as "?".
  EXPECT_EQ(toText(Format(String("{0}"), String(u"caf\u00E9 \xD800"))),
            "caf" + xmdtest::ansi(u"\u00E9") + " ?");
  // Arguments longer than any conversion buffer render whole.
  const std::string path(5000, 'p');
  EXPECT_EQ(toText(Format(String("{0}"), String(path.c_str()))), path);
}

}  // namespace
}  // namespace lang
