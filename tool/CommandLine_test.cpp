#include "tool/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

tool::CommandLine parse(std::vector<std::string> args) {
  args.insert(args.begin(), "xmdopt");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return tool::parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, PathsAndOptionsInAnyOrder) {
  const tool::CommandLine none = parse({});
  EXPECT_TRUE(none.paths.empty());
  EXPECT_FALSE(none.check || none.keepGoing || none.quiet || none.help || none.version);

  const tool::CommandLine cl =
      parse({"a.xmd", "-n", "models", "--keep-going", "-q", "..", "--report=r.json"});
  EXPECT_EQ((std::vector<std::string>{"a.xmd", "models", ".."}), cl.paths);
  EXPECT_TRUE(cl.check);
  EXPECT_TRUE(cl.keepGoing);
  EXPECT_TRUE(cl.quiet);
  EXPECT_EQ("r.json", cl.report);

  const tool::CommandLine combined = parse({"-nkq", "--files-from", "-", "-0"});
  EXPECT_TRUE(combined.check && combined.keepGoing && combined.quiet && combined.nullSeparated);
  EXPECT_EQ("-", combined.filesFrom);
  EXPECT_TRUE(combined.paths.empty());
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
  const tool::CommandLine cl = parse({"-k", "--", "-n", "--check", "x.xmd"});
  EXPECT_TRUE(cl.keepGoing);
  EXPECT_FALSE(cl.check);
  EXPECT_EQ((std::vector<std::string>{"-n", "--check", "x.xmd"}), cl.paths);
}

TEST(CommandLine, HelpAndVersion) {
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"-h"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
  EXPECT_EQ(0u, std::string(tool::kUsage).find("usage: xmdopt [PATH]"));
  for (const char* word :
       {"--check", "--keep-going", "--quiet", "--report", "--files-from", "--null", ".result",
        "rejected", "owner", "link", "Exit status", "  2  usage error", "  3  with --check"})
    EXPECT_NE(std::string::npos, std::string(tool::kUsage).find(word)) << word;
}

// Every one of these is refused with a message naming what was wrong.
TEST(CommandLine, UsageErrorsNameTheArgument) {
  const struct {
    std::vector<std::string> args;
    const char* named;
  } cases[] = {
      {{"models", "--dry-run"}, "--dry-run"},
      {{"-x"}, "-x"},
      {{""}, "empty path"},
      {{"a.xmd", ""}, "empty path"},
      {{"--", ""}, "empty path"},
      {{"--report"}, "--report"},
      {{"--report", ""}, "--report"},
      {{"--files-from="}, "--files-from"},
      {{"-j", "0"}, "--jobs"},
      {{"--jobs", "257"}, "--jobs"},
      {{"-j", "many"}, "jobs"},
      {{"-0"}, "--null"},
      {{"--check=yes"}, "check"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += "[" + a + "]";
    try {
      parse(c.args);
      ADD_FAILURE() << joined << " was accepted";
    } catch (const tool::UsageError& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find(c.named))
          << joined << ": " << e.what();
    }
  }
}

TEST(CommandLine, PathListsByLineAndByNul) {
  const struct {
    std::string text;
    bool nul;
    std::vector<std::string> paths;
  } cases[] = {
      {"", false, {}},
      {"a.xmd", false, {"a.xmd"}},
      {"a.xmd\nb dir/c.xmd\n", false, {"a.xmd", "b dir/c.xmd"}},
      {"a.xmd\n\n\nb.xmd", false, {"a.xmd", "b.xmd"}},
      {std::string("a\nb.xmd\0c.xmd\0", 14), true, {"a\nb.xmd", "c.xmd"}},
      {std::string("x\0\0y", 4), true, {"x", "y"}},
      {std::string("x\0y\n", 4), false, {std::string("x\0y", 3)}},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    EXPECT_EQ(c.paths, tool::readPathList(in, c.nul)) << c.text;
  }
}

}  // namespace
