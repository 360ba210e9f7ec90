// End-to-end runs of the built xmdopt over trees on the real disk: the
// console lines, the exit status and every file's bytes afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "samples/SampleModels.h"
#include "tool/ModelStore.h"
#include "tool/ModelStreamProcessor.h"
#include "testing/Subprocess.h"
#include "testing/TempDir.h"

namespace {

using xmdtest::runProgram;
using Lines = std::vector<std::string>;

Lines split(const std::string& text) {
  Lines out;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    out.push_back(text.substr(start, nl - start));
  if (start < text.size()) out.push_back(text.substr(start) + "<no newline>");
  return out;
}

// The lines of standard error before the closing summary line, which must be
// there.
Lines problems(const std::string& err) {
  Lines lines = split(err);
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return lines;
  EXPECT_EQ(0u, lines.back().find("xmdopt: ")) << lines.back();
  EXPECT_NE(std::string::npos, lines.back().find(" replaced, ")) << lines.back();
  lines.pop_back();
  return lines;
}

// A file of two models, the second of which fails its checks.
std::string oneBadAmongGood() {
  xmdsamples::Model bad = xmdsamples::soup({{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}});
  bad.faces[0][1] = -1;
  return xmdsamples::file({xmdsamples::crateModel(), bad});
}

// The sample file cut short inside its first model.
std::string corrupt() { return xmdsamples::crate().substr(0, 60); }

// The result of bytes as the model processing gives it in memory.
std::string processedInMemory(const std::string& bytes) {
  io::ByteArrayInputStream in(std::vector<unsigned char>(bytes.begin(), bytes.end()), "memory");
  io::ByteArrayOutputStream out(0);
  {
    const std::unique_ptr<tool::ModelStore> store(new tool::ModelStore());
    std::ostringstream console;
    tool::ModelStreamProcessor processor(*store, console);
    io::ChunkInputStream chunkIn(&in);
    io::ChunkOutputStream chunkOut(&out);
    processor.processStream(chunkIn, chunkOut);
  }
  std::string result(static_cast<std::size_t>(out.size()), '\0');
  out.copyTo(&result[0], out.size());
  return result;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(Xmdopt, DirectoryModeOverATree) {
  xmdtest::TempDir t;
  t.write("m/props/crate.xmd", xmdsamples::crate());
  t.write("m/characters/walker.xmd", xmdsamples::walker());
  t.write("m/scene.xmd", xmdsamples::scene());
  t.write("m/broken/bad_index.xmd", xmdsamples::badIndex());
  t.write("m/mixed.xmd", oneBadAmongGood());
  t.write("m/UPPER.XMD", xmdsamples::crate());
  t.write("m/noext", xmdsamples::crate());
  t.write("m/d.xmd/inner.xmd", xmdsamples::crate());
  t.write("m/raw\xff\xfe.xmd", xmdsamples::crate());
  ASSERT_EQ(0, chmod((t / "m/characters/walker.xmd").c_str(), 0444));
  ASSERT_EQ(0, symlink("..", (t / "m/props/loop").c_str()));

  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "m"});
  EXPECT_EQ(0, r.status) << r.err;
  const std::string p = "INFO : processing" + t.path() + "/m/";
  EXPECT_EQ((Lines{p + "broken/bad_index.xmd",
                   "ERROR - invalid vertex index",
                   p + "characters/walker.xmd",
                   "INFO - optimization 24 -> 10",
                   "",
                   p + "d.xmd/inner.xmd",
                   "INFO - optimization 36 -> 24",
                   "",
                   p + "mixed.xmd",
                   "INFO - optimization 36 -> 24",
                   "",
                   "ERROR - invalid vertex index",
                   p + "props/crate.xmd",
                   "INFO - optimization 36 -> 24",
                   "",
                   p + "raw\xff\xfe.xmd",
                   "INFO - optimization 36 -> 24",
                   "",
                   p + "scene.xmd",
                   "INFO - optimization 6 -> 4",
                   "",
                   "INFO - optimization 3 -> 3",
                   ""}),
            split(r.out));
  EXPECT_EQ(
      (Lines{"xmdopt: not entering " + t.path() +
                 "/m/props/loop: it leads back into a directory being walked",
             "xmdopt: " + t.path() +
                 "/m/broken/bad_index.xmd kept unchanged: a model in it failed a check",
             "xmdopt: " + t.path() + "/m/mixed.xmd kept unchanged: a model in it failed a check"}),
      problems(r.err));
  // Rejected files keep their bytes; the others hold their result.
  EXPECT_EQ(xmdsamples::badIndex(), t.read("m/broken/bad_index.xmd"));
  EXPECT_EQ(oneBadAmongGood(), t.read("m/mixed.xmd"));
  EXPECT_EQ(xmdsamples::crate(), t.read("m/UPPER.XMD"));
  EXPECT_EQ(xmdsamples::crate(), t.read("m/noext"));
  const std::string result = t.read("m/props/crate.xmd");
  EXPECT_EQ(processedInMemory(xmdsamples::crate()), result);
  EXPECT_EQ(processedInMemory(xmdsamples::walker()), t.read("m/characters/walker.xmd"));
  EXPECT_EQ(processedInMemory(xmdsamples::scene()), t.read("m/scene.xmd"));
  EXPECT_NE(std::string::npos,
            t.read("m/scene.xmd").find("made by make_samples"));  // foreign chunk kept
  EXPECT_EQ(result, t.read("m/d.xmd/inner.xmd"));
  EXPECT_EQ(result, t.read("m/raw\xff\xfe.xmd"));
  EXPECT_EQ(0644u, modeOf(t / "m/characters/walker.xmd"));
  for (const char* f :
       {"props/crate.xmd", "broken/bad_index.xmd", "mixed.xmd", "characters/walker.xmd"})
    EXPECT_FALSE(t.exists(std::string("m/") + f + ".result")) << f;

  // A result is a fixed point: processing it again changes nothing.
  const xmdtest::ProgramRun again = runProgram({XMDOPT_EXE, t / "m/props/crate.xmd"});
  EXPECT_EQ(0, again.status);
  EXPECT_EQ((Lines{p + "props/crate.xmd", "INFO - optimization 24 -> 24", ""}), split(again.out));
  EXPECT_EQ(result, t.read("m/props/crate.xmd"));
}

TEST(Xmdopt, CurrentDirectoryAndFileMode) {
  xmdtest::TempDir t;
  t.write("sub/a.xmd", xmdsamples::crate());
  t.write("notes.txt", xmdsamples::scene());
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE}, t.path());
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      (Lines{"INFO : processing" + t.path() + "/sub/a.xmd", "INFO - optimization 36 -> 24", ""}),
      split(r.out));
  const xmdtest::ProgramRun f = runProgram({XMDOPT_EXE, "notes.txt"}, t.path());
  EXPECT_EQ(0, f.status);
  EXPECT_EQ((Lines{"INFO : processingnotes.txt", "INFO - optimization 6 -> 4", "",
                   "INFO - optimization 3 -> 3", ""}),
            split(f.out));
  EXPECT_EQ(processedInMemory(xmdsamples::scene()), t.read("notes.txt"));
  EXPECT_FALSE(t.exists("notes.txt.result"));
}

TEST(Xmdopt, ACorruptFileEndsTheRunAndLosesNothing) {
  xmdtest::TempDir t;
  t.write("a.xmd", xmdsamples::crate());
  t.write("b.xmd", corrupt());
  t.write("c.xmd", xmdsamples::crate());
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t.path()});
  EXPECT_EQ(1, r.status);
  const Lines out = split(r.out);
  ASSERT_GE(out.size(), 4u) << r.out;
  EXPECT_EQ("INFO : processing" + t.path() + "/b.xmd", out[3]);
  for (std::size_t i = 4; i < out.size(); ++i)
    EXPECT_NE(0u, out[i].find("INFO : processing")) << out[i];
  const Lines err = problems(r.err);
  ASSERT_EQ(1u, err.size()) << r.err;
  EXPECT_EQ(0u, err[0].find("xmdopt: ")) << err[0];
  EXPECT_NE(std::string::npos, err[0].find(t.path() + "/b.xmd")) << err[0];
  EXPECT_NE(xmdsamples::crate(), t.read("a.xmd"));
  EXPECT_EQ(corrupt(), t.read("b.xmd"));
  EXPECT_EQ(xmdsamples::crate(), t.read("c.xmd"));
  EXPECT_FALSE(t.exists("b.xmd.result"));
}

TEST(Xmdopt, MissingFileHelpAndVersion) {
  xmdtest::TempDir t;
  // A path that does not exist is refused before anything is touched.
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "missing.xmd"});
  EXPECT_EQ(2, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ(0u, r.err.find("xmdopt: " + t.path() + "/missing.xmd: no such file or directory\n"))
      << r.err;
  EXPECT_FALSE(t.exists("missing.xmd.result"));
  const xmdtest::ProgramRun h = runProgram({XMDOPT_EXE, "--help"});
  EXPECT_EQ(0, h.status);
  EXPECT_EQ(0u, h.out.find("usage: xmdopt [PATH]"));
  const xmdtest::ProgramRun v = runProgram({XMDOPT_EXE, "--version"});
  EXPECT_EQ(0, v.status);
  EXPECT_EQ(0u, v.out.find("xmdopt "));
  const xmdtest::ProgramRun missingDir = runProgram({XMDOPT_EXE, t / "nothing-here"});
  EXPECT_EQ(2, missingDir.status);
  EXPECT_EQ("", missingDir.out);
  t.mkdirs("empty");
  const xmdtest::ProgramRun empty = runProgram({XMDOPT_EXE, "-q", t / "empty"});
  EXPECT_EQ(0, empty.status);
  EXPECT_EQ("", empty.out + empty.err);
}

}  // namespace
