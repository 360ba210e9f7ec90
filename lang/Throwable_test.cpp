#include "lang/Throwable.h"

#include <gtest/gtest.h>

#include "io/EOFException.h"
#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "io/UnsupportedEncodingException.h"
#include "lang/Exception.h"

namespace lang {
namespace {

Format sample() {
  return Format(String("Chunk read overflow at {0,#} while reading {1}"), 42.0, "in.xmd");
}

TEST(Throwable, CarriesTheFormatAndAnEmptyDetail) {
  const io::IOException e(sample());
  EXPECT_EQ(e.getMessage().pattern(), "Chunk read overflow at {0,#} while reading {1}");
  EXPECT_EQ(e.getMessage().argCount(), 2u);
  EXPECT_EQ(e.getDetail().length(), 0);
  EXPECT_EQ(toText(e), "Chunk read overflow at 42 while reading in.xmd");
  const io::IOException copy(e);
  EXPECT_EQ(copy.getMessage().pattern(), e.getMessage().pattern());
  EXPECT_EQ(copy.getMessage().argCount(), 2u);
  EXPECT_EQ(copy.getMessage().arg(0).number(), 42.0);
  EXPECT_EQ(copy.getMessage().arg(1).narrow(), "in.xmd");
  EXPECT_EQ(copy.getMessage().arg(2).kind(), FormatArg::None);
  EXPECT_EQ(copy.getDetail().length(), 0);
}

TEST(Throwable, IoExceptionsAreMadeFromAThrowable) {
  const Throwable t(Format(String("Failed to open file for reading: {0}"), "x.xmd"));
  const io::FileNotFoundException missing(t);
  EXPECT_EQ(toText(missing), "Failed to open file for reading: x.xmd");
  const io::IOException failed(t);
  EXPECT_EQ(failed.getMessage().arg(0).narrow(), "x.xmd");
}

// Which handler of the list catches each class, in handler order.
template <typename E>
const char* caughtBy() {
  try {
    throw E(sample());
  } catch (const io::EOFException&) {
    return "EOFException";
  } catch (const io::FileNotFoundException&) {
    return "FileNotFoundException";
  } catch (const io::UnsupportedEncodingException&) {
    return "UnsupportedEncodingException";
  } catch (const io::IOException&) {
    return "IOException";
  } catch (const Exception&) {
    return "Exception";
  } catch (const Throwable&) {
    return "Throwable";
  }
}

template <typename E, typename Handler>
bool caughtAs() {
  try {
    throw E(sample());
  } catch (const Handler&) {
    return true;
  } catch (...) {
    return false;
  }
}

TEST(Throwable, HandlersCatchTheirSubclasses) {
  EXPECT_STREQ(caughtBy<io::EOFException>(), "EOFException");
  EXPECT_STREQ(caughtBy<io::FileNotFoundException>(), "FileNotFoundException");
  EXPECT_STREQ(caughtBy<io::UnsupportedEncodingException>(), "UnsupportedEncodingException");
  EXPECT_STREQ(caughtBy<io::IOException>(), "IOException");
  EXPECT_STREQ(caughtBy<Exception>(), "Exception");
  EXPECT_STREQ(caughtBy<Throwable>(), "Throwable");
  EXPECT_TRUE((caughtAs<io::EOFException, io::IOException>()));
  EXPECT_TRUE((caughtAs<io::EOFException, Exception>()));
  EXPECT_TRUE((caughtAs<io::EOFException, Throwable>()));
  EXPECT_FALSE((caughtAs<io::FileNotFoundException, io::EOFException>()));
  EXPECT_FALSE((caughtAs<io::IOException, io::EOFException>()));
  EXPECT_FALSE((caughtAs<io::EOFException, std::exception>()));  // not a standard exception
  // The exception reaches the handler with its arguments.
  try {
    throw io::EOFException(Format(String("Unexpected end of file in {0}."), "in.xmd"));
  } catch (const Throwable& t) {
    EXPECT_EQ(toText(t), "Unexpected end of file in in.xmd.");
  }
}

}  // namespace
}  // namespace lang
