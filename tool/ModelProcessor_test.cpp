#include "tool/ModelProcessor.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "lang/Format.h"
#include "testing/FakeFileSystem.h"

namespace {

// Copies the input through, byte for byte; reports "accepted".
bool copyAll(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream&) {
  char buffer[7];
  for (int n; (n = in.read(buffer, sizeof buffer)) > 0;) out.write(buffer, n);
  return true;
}

// Copies the input through and appends a mark, so the result always differs.
bool copyAndMark(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& console) {
  copyAll(in, out, console);
  out.write("!", 1);
  return true;
}

struct Fixture : ::testing::Test {
  boost::shared_ptr<xmdtest::FakeFileSystem> fake = boost::make_shared<xmdtest::FakeFileSystem>();
  std::ostringstream out;
  std::ostringstream err;

  ModelProcessor::Outcome run(const std::string& path,
                              ModelProcessor::StreamProcessor p = copyAndMark, bool check = false) {
    ModelProcessor processor(fake, "R:/root", p, out, err, check);
    return processor.processFile(path);
  }
  // The log without the operations a test does not care about.
  std::vector<std::string> steps() const {
    std::vector<std::string> s;
    for (const std::string& line : fake->log())
      if (line.compare(0, 5, "write") != 0) s.push_back(line);
    return s;
  }
};

TEST_F(Fixture, ReplacesTheSourceWithItsCompleteResult) {
  fake->addFile("sub/a.xmd", "model bytes", /*readOnly=*/true);
  auto upper = [](io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream&) {
    char c;
    while (in.read(&c, 1) == 1) {
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out.write(&c, 1);
    }
    return true;
  };
  EXPECT_EQ(ModelProcessor::kReplaced, run("sub\\a.xmd", upper));
  EXPECT_EQ("MODEL BYTES", fake->node("sub/a.xmd").bytes);
  EXPECT_FALSE(fake->node("sub/a.xmd").readOnly);
  EXPECT_FALSE(fake->has("sub/a.xmd.result"));
  EXPECT_EQ("INFO : processingR:/root/sub\\a.xmd\n", out.str());
  EXPECT_EQ("", err.str());
  // Flushed before the replacement; the source itself is never written. The
  // result has the source's size, so the two are compared first.
  EXPECT_EQ((std::vector<std::string>{"getFileInfo sub/a.xmd", "openInputStream sub/a.xmd",
                                      "openOutputStream sub/a.xmd.result", "flush sub/a.xmd.result",
                                      "getFileInfo sub/a.xmd.result", "openInputStream sub/a.xmd",
                                      "openInputStream sub/a.xmd.result", "replaceFile sub/a.xmd"}),
            steps());
}

TEST_F(Fixture, KeepsAFileWithARejectedModel) {
  fake->addFile("a.xmd", "original");
  auto reject = [](io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream&) {
    copyAll(in, out, std::cout);
    return false;
  };
  EXPECT_EQ(ModelProcessor::kKept, run("a.xmd", reject));
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has("a.xmd.result"));
  EXPECT_EQ("xmdopt: R:/root/a.xmd kept unchanged: a model in it failed a check\n", err.str());
}

TEST_F(Fixture, AFailureMidwayLeavesTheSourceAndRemovesTheResult) {
  fake->addFile("a.xmd", "original");
  auto fail = [](io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream&) -> bool {
    copyAll(in, out, std::cout);
    throw io::IOException(
        lang::Format("Chunk read overflow at {0,#} while reading {1}", 8, "a.xmd"));
  };
  EXPECT_THROW(run("a.xmd", fail), io::IOException);
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has("a.xmd.result"));
  EXPECT_EQ("INFO : processingR:/root/a.xmd\n", out.str());
}

TEST_F(Fixture, FailedWritesAndFlushesEndTheRunSafely) {
  for (const char* op : {"write", "flush"}) {
    fake = boost::make_shared<xmdtest::FakeFileSystem>();
    fake->addFile("a.xmd", "original");
    fake->failOn(op, "a.xmd.result");
    EXPECT_THROW(run("a.xmd"), io::IOException) << op;
    EXPECT_EQ("original", fake->node("a.xmd").bytes) << op;
    EXPECT_FALSE(fake->has("a.xmd.result")) << op;
  }
}

TEST_F(Fixture, AMissingSourceEndsTheRunBeforeAnyLine) {
  fake->addFile("b.xmd.result", "somebody's file");
  EXPECT_THROW(run("b.xmd"), io::FileNotFoundException);
  EXPECT_EQ("", out.str());
  EXPECT_EQ("somebody's file", fake->node("b.xmd.result").bytes);
}

TEST_F(Fixture, AResultThatCannotBeCreatedTouchesNothing) {
  fake->addFile("a.xmd", "original");
  fake->addFile("a.xmd.result", "in the way", /*readOnly=*/true);
  EXPECT_THROW(run("a.xmd"), io::FileNotFoundException);
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_EQ("in the way", fake->node("a.xmd.result").bytes);
}

TEST_F(Fixture, AFailedReplacementIsReportedAndTheBatchGoesOn) {
  fake->addFile("a.xmd", "original");
  fake->failOn("replaceFile", "a.xmd");
  EXPECT_EQ(ModelProcessor::kReplaceFailed, run("a.xmd"));
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has("a.xmd.result"));
  EXPECT_EQ("xmdopt: cannot replace R:/root/a.xmd with its result: Access is denied.\n", err.str());
}

TEST_F(Fixture, AnEmptyRootShowsThePathAsGiven) {
  fake->addFile("ship.xmd", "x");
  ModelProcessor processor(fake, "", copyAndMark, out, err);
  EXPECT_EQ(ModelProcessor::kReplaced, processor.processFile("ship.xmd"));
  EXPECT_EQ("INFO : processingship.xmd\n", out.str());
}

TEST_F(Fixture, AResultEqualToItsSourceLeavesTheSourceAlone) {
  fake->addFile("a.xmd", "already processed", /*readOnly=*/true);
  EXPECT_EQ(ModelProcessor::kUnchanged, run("a.xmd", copyAll));
  EXPECT_EQ("already processed", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has("a.xmd.result"));
  for (const std::string& step : steps()) EXPECT_NE(0u, step.find("replaceFile")) << step;
}

TEST_F(Fixture, CheckModeWritesNothingAndCountsTheResult) {
  fake->addFile("a.xmd", "bytes");
  ModelProcessor processor(fake, "R:/root", copyAndMark, out, err, /*check=*/true);
  tool::FileRecord record;
  EXPECT_EQ(ModelProcessor::kChecked, processor.processFile("a.xmd", record));
  EXPECT_EQ("bytes", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has("a.xmd.result"));
  for (const std::string& step : steps())
    EXPECT_TRUE(step.find("open") != 0 || step.find("openInputStream") == 0) << step;
  EXPECT_EQ(5, record.bytesBefore);
  EXPECT_EQ(6, record.bytesAfter);
  EXPECT_EQ("INFO : processingR:/root/a.xmd\n", out.str());
}

}  // namespace
