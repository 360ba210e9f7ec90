#include "tool/Driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/IOException.h"
#include "lang/Format.h"
#include "platform/PlatformName.h"
#include "testing/TempDir.h"

namespace {

// Upper-cases every byte; throws for a file that holds "corrupt", rejects one
// that holds "reject".
bool fakeProcess(io::ChunkInputStream& in, io::ChunkOutputStream& out) {
  std::string bytes;
  char c;
  while (in.read(&c, 1) == 1) bytes.push_back(c);
  if (bytes.find("corrupt") != std::string::npos)
    throw io::IOException(
        lang::Format("Invalid chunk {2} length at {0,#} while reading {1}", 3, in.toString(), "x"));
  for (char& b : bytes) b = static_cast<char>(std::toupper(static_cast<unsigned char>(b)));
  out.write(bytes.data(), static_cast<int>(bytes.size()));
  return bytes.find("REJECT") == std::string::npos;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome drive(std::vector<std::string> args) {
  args.insert(args.begin(), "xmdopt");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = runDriver(static_cast<int>(argv.size()), argv.data(), fakeProcess, out, err);
  return Outcome{status, out.str(), err.str()};
}

TEST(Driver, DirectoryModeWalksTheTreeInOrder) {
  xmdtest::TempDir t;
  t.write("m/b.xmd", "b");
  t.write("m/K.xmd", "k");
  t.write("m/a/z.xmd", "z");
  t.write("m/a/raw\xff.xmd", "raw");
  t.write("m/a/UP.XMD", "upper-case extension: not a model file");
  t.write("m/a/notes", "no dot");
  t.write("m/d.xmd/in.xmd", "in");
  if (!t.linkDirectory("..", "m/a/loop")) GTEST_SKIP() << "no directory links on this system";
  const Outcome r = drive({t / "m"});
  EXPECT_EQ(0, r.status);
  const std::string root = t / "m";
  EXPECT_EQ("INFO : processing" + root +
                "/K.xmd\n"
                "INFO : processing" +
                root +
                "/a/raw\xff.xmd\n"
                "INFO : processing" +
                root +
                "/a/z.xmd\n"
                "INFO : processing" +
                root +
                "/b.xmd\n"
                "INFO : processing" +
                root + "/d.xmd/in.xmd\n",
            r.out);
  EXPECT_EQ(
      "xmdopt: not entering " + root + "/a/loop: it leads back into a directory being walked\n",
      r.err);
  EXPECT_EQ("B", t.read("m/b.xmd"));
  EXPECT_EQ("RAW", t.read("m/a/raw\xff.xmd"));
  EXPECT_EQ("IN", t.read("m/d.xmd/in.xmd"));
  EXPECT_EQ("upper-case extension: not a model file", t.read("m/a/UP.XMD"));
  EXPECT_FALSE(t.exists("m/b.xmd.result"));
}

TEST(Driver, NoArgumentMeansTheCurrentDirectory) {
  xmdtest::TempDir t;
  t.write("s/x.xmd", "x");
  char old[4096];
  ASSERT_NE(nullptr, getcwd(old, sizeof old));
  ASSERT_EQ(0, chdir(t.path().c_str()));
  const Outcome r = drive({});
  const Outcome file = drive({"s/x.xmd"});
  ASSERT_EQ(0, chdir(old));
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("INFO : processing" + t.path() + "/s/x.xmd\n", r.out);
  EXPECT_EQ("INFO : processings/x.xmd\n", file.out);
  EXPECT_EQ("X", t.read("s/x.xmd"));
}

TEST(Driver, ADotIsTheCurrentDirectoryAndItsLinksAreNotWalkedTwice) {
  xmdtest::TempDir t;
  t.write("x.xmd", "x");
  if (!t.linkDirectory(".", "self")) GTEST_SKIP() << "no directory links on this system";
  char old[4096];
  ASSERT_NE(nullptr, getcwd(old, sizeof old));
  ASSERT_EQ(0, chdir(t.path().c_str()));
  const Outcome r = drive({"."});
  ASSERT_EQ(0, chdir(old));
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("INFO : processingx.xmd\n", r.out);
  EXPECT_EQ("xmdopt: not entering self: it leads back into a directory being walked\n", r.err);
  EXPECT_EQ("X", t.read("x.xmd"));
}

TEST(Driver, FileModeTakesAnyExtensionAndADotlessNameIsADirectory) {
  xmdtest::TempDir t;
  t.write("notes.txt", "text");
  t.write("plain", "a file without a dot");
  Outcome r = drive({t / "notes.txt"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("INFO : processing" + t.path() + "/notes.txt\n", r.out);
  EXPECT_EQ("TEXT", t.read("notes.txt"));
  r = drive({t / "plain"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("a file without a dot", t.read("plain"));
  r = drive({t / "missing-dir"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("", r.out + r.err);
}

TEST(Driver, ARunEndingFailureIsOneLineAndExitOne) {
  xmdtest::TempDir t;
  t.write("a.xmd", "good");
  t.write("b.xmd", "corrupt");
  t.write("c.xmd", "later");
  const Outcome r = drive({t.path()});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("INFO : processing" + t.path() + "/a.xmd\nINFO : processing" + t.path() + "/b.xmd\n",
            r.out);
  EXPECT_EQ("xmdopt: Invalid chunk x length at 3 while reading " + t.path() + "/b.xmd\n", r.err);
  EXPECT_EQ("GOOD", t.read("a.xmd"));
  EXPECT_EQ("corrupt", t.read("b.xmd"));
  EXPECT_EQ("later", t.read("c.xmd"));
  EXPECT_FALSE(t.exists("b.xmd.result"));
  const Outcome missing = drive({t / "none.xmd"});
  EXPECT_EQ(1, missing.status);
  EXPECT_EQ("", missing.out);
  EXPECT_EQ("xmdopt: Failed to open file for reading: " + t.path() + "/none.xmd\n", missing.err);
}

TEST(Driver, RejectedModelsAndReadOnlySources) {
  xmdtest::TempDir t;
  t.write("a.xmd", "reject me");
  t.write("b.xmd", "fine");
  ASSERT_EQ(0, chmod((t / "b.xmd").c_str(), 0444));
  const Outcome r = drive({t.path()});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("reject me", t.read("a.xmd"));
  EXPECT_FALSE(t.exists("a.xmd.result"));
  EXPECT_EQ("FINE", t.read("b.xmd"));
  struct stat st;
  ASSERT_EQ(0, stat((t / "b.xmd").c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 07777);  // read-only cleared, the rest kept
}

TEST(Driver, NamesLikePathsNeverReachOutsideTheTree) {
  // Full-width dots and solidus look like "../" and would become it where
  // narrow names took look-alikes for characters their code page lacks.
  xmdtest::TempDir t;
  t.write("outside.xmd", "outside");
  t.mkdirs("root");
  const std::filesystem::path name(u"\uFF0E\uFF0E\uFF0Foutside.xmd");
  std::ofstream(std::filesystem::path(t / "root") / name, std::ios::binary) << "inside";
  const Outcome r = drive({t / "root"});
  EXPECT_EQ("outside", t.read("outside.xmd"));
  EXPECT_EQ(std::string::npos, r.out.find("../")) << r.out;
}

TEST(Driver, HelpAndVersion) {
  for (const char* flag : {"--help", "-h"}) {
    const Outcome r = drive({flag, "ignored"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("usage: xmdopt [PATH]\n"));
  }
  const Outcome v = drive({"--version"});
  EXPECT_EQ(0, v.status);
  EXPECT_EQ(0u, v.out.find("xmdopt "));
  EXPECT_EQ(v.out.size() - platform::name().size() - 4,
            v.out.find(" (" + platform::name() + ")\n"));
}

}  // namespace
