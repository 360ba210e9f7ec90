#include "io/fs/ResultName.h"

#include <gtest/gtest.h>

#include <string>

namespace io {
namespace fs {
namespace {

TEST(ResultName, TheSourcesNameATagAndResult) {
  EXPECT_EQ("ship.xmd.xmdopt-k3Xq9Z.result", ResultName::make("ship.xmd", "k3Xq9Z"));
  EXPECT_EQ("ship.xmd.xmdopt-??????.result", ResultName::patternFor("ship.xmd"));
  const struct {
    const char* name;
    const char* source;
    bool result;
  } cases[] = {
      {"ship.xmd.xmdopt-k3Xq9Z.result", "ship.xmd", true},
      {"ship.xmd.xmdopt-000000.result", "ship.xmd", true},
      {"ship.xmd.result", "ship.xmd", false},  // a user's own file
      {"ship.xmd.xmdopt-k3Xq9.result", "ship.xmd", false},
      {"ship.xmd.xmdopt-k3Xq9Zz.result", "ship.xmd", false},
      {"ship.xmd.xmdopt-k3X-9Z.result", "ship.xmd", false},
      {"ship.xmd.xmdopt-k3Xq9Z.results", "ship.xmd", false},
      {"ship.xmd.xmdopt-k3Xq9Z.result", "hip.xmd", false},
      {"xship.xmd.xmdopt-k3Xq9Z.result", "ship.xmd", false},
      {"ship.xmd.xmdopt-k3Xq9Z.result", "ship.xm", false},
      {".xmdopt-k3Xq9Z.result", "", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.result, ResultName::isResultOf(c.name, c.source)) << c.name << " of " << c.source;
}

TEST(ResultName, ALongSourceNameIsCutToFit) {
  for (std::size_t length = 230; length <= 255; ++length) {
    const std::string source(length, 'a');
    const std::string name = ResultName::make(source, "abcdef");
    EXPECT_LE(name.size(), ResultName::kMaxName) << length;
    EXPECT_TRUE(ResultName::isResultOf(name, source)) << length;
    EXPECT_EQ(length + 21 <= 255, name.compare(0, length, source) == 0) << length;
    // Another source that shares the kept part is told apart only by that part.
    EXPECT_FALSE(ResultName::isResultOf(name, std::string(length, 'b'))) << length;
  }
}

}  // namespace
}  // namespace fs
}  // namespace io
