#include "tool/ModelProcessor.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "io/FileNotFoundException.h"
#include "io/IOException.h"
#include "lang/Format.h"
#include "testing/FakeFileSystem.h"
#include "tool/StopRequested.h"

namespace tool {

namespace {

// Copies the input through, byte for byte; reports "accepted".
bool copyAll(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& /*console*/) {
  char buffer[7];
  for (int n; (n = in.read(buffer, sizeof buffer)) > 0;) out.write(buffer, n);
  return true;
}

bool upper(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& /*console*/) {
  char c;
  while (in.read(&c, 1) == 1) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    out.write(&c, 1);
  }
  return true;
}

// Copies the input through and appends a mark, so the result always differs.
bool copyAndMark(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& console) {
  copyAll(in, out, console);
  out.write("!", 1);
  return true;
}

// The name of the first result the fake makes for source.
std::string resultOf(const std::string& source) { return source + ".xmdopt-000001.result"; }

struct Fixture : ::testing::Test {
  boost::shared_ptr<xmdtest::FakeFileSystem> fake = boost::make_shared<xmdtest::FakeFileSystem>();
  std::ostringstream out;
  std::ostringstream err;
  std::string replaced;  // replacedPath() after the last run

  ModelProcessor::Outcome run(const std::string& path,
                              ModelProcessor::StreamProcessor p = copyAndMark,
                              std::function<int()> stop = std::function<int()>()) {
    ModelProcessor::Settings settings;
    settings.stopSignal = stop;
    ModelProcessor processor(fake, "R:/root", p, out, err, settings);
    const ModelProcessor::Outcome outcome = processor.processFile(path);
    replaced = processor.replacedPath();
    return outcome;
  }
  // The log without the writes.
  std::vector<std::string> steps() const {
    std::vector<std::string> s;
    for (const std::string& line : fake->log())
      if (line.compare(0, 5, "write") != 0) s.push_back(line);
    return s;
  }
};

TEST_F(Fixture, ReplacesTheSourceWithItsCompleteResult) {
  fake->addFile("sub/a.xmd", "model bytes", /*readOnly=*/true);
  fake->addFile("sub/a.xmd.result", "the user's own file");
  fake->edit("sub/a.xmd").permissions = 04750;
  fake->edit("sub/a.xmd").owner = 1234;
  fake->edit("sub/a.xmd").group = 567;
  EXPECT_EQ(ModelProcessor::kReplaced, run("sub/a.xmd", upper));
  EXPECT_EQ("sub/a.xmd", replaced);
  const auto& a = fake->node("sub/a.xmd");
  EXPECT_EQ("MODEL BYTES", a.bytes);
  EXPECT_FALSE(a.readOnly);
  EXPECT_EQ(0750u, a.permissions);  // no setuid; writable by its owner
  EXPECT_EQ(1234u, a.owner);
  EXPECT_EQ(567u, a.group);
  EXPECT_FALSE(fake->has(resultOf("sub/a.xmd")));
  EXPECT_EQ("the user's own file", fake->node("sub/a.xmd.result").bytes);
  EXPECT_EQ("INFO : processingR:/root/sub/a.xmd\n", out.str());
  EXPECT_EQ("", err.str());
  // Written beside, flushed, then put in place; the source is never written.
  EXPECT_EQ((std::vector<std::string>{"openReplacement sub/a.xmd", "createResult sub/a.xmd",
                                      "flush " + resultOf("sub/a.xmd"), "setOwner sub/a.xmd",
                                      "commit sub/a.xmd"}),
            steps());
}

TEST_F(Fixture, ResultsLeftByKilledRunsGoWhenTheirSourceIsHeld) {
  fake->addFile("d/a.xmd", "a");
  fake->addFile("d/a.xmd.xmdopt-Zz9Yy8.result", "left by a killed run");
  fake->addFile("d/a.xmd.result", "the user's own file");
  fake->addFile("d/b.xmd.xmdopt-Zz9Yy8.result", "b's: stays until b.xmd is processed");
  EXPECT_EQ(ModelProcessor::kReplaced, run("d/a.xmd", upper));
  EXPECT_FALSE(fake->has("d/a.xmd.xmdopt-Zz9Yy8.result"));
  EXPECT_TRUE(fake->has("d/a.xmd.result"));
  EXPECT_TRUE(fake->has("d/b.xmd.xmdopt-Zz9Yy8.result"));
  EXPECT_EQ(
      "xmdopt: removed R:/root/d/a.xmd.xmdopt-Zz9Yy8.result, a result left by an interrupted run\n",
      err.str());
}

TEST_F(Fixture, KeepsAFileWithARejectedModel) {
  fake->addFile("a.xmd", "original");
  fake->addFile("a.xmd.result", "the user's own file");
  auto reject = [](io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& console) {
    copyAll(in, out, console);
    return false;
  };
  EXPECT_EQ(ModelProcessor::kKept, run("a.xmd", reject));
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  EXPECT_EQ("the user's own file", fake->node("a.xmd.result").bytes);
  EXPECT_EQ("xmdopt: R:/root/a.xmd kept unchanged: a model in it failed a check\n", err.str());
  EXPECT_EQ("removeResult " + resultOf("a.xmd"), steps().back());
}

TEST_F(Fixture, AFailureMidwayLeavesTheSourceAndRemovesTheResult) {
  fake->addFile("a.xmd", "original");
  auto fail = [](io::ChunkInputStream& in, io::ChunkOutputStream& out,
                 std::ostream& console) -> bool {
    copyAll(in, out, console);
    throw io::IOException(
        lang::Format("Chunk read overflow at {0,#} while reading {1}", 8, "a.xmd"));
  };
  EXPECT_THROW(run("a.xmd", fail), io::IOException);
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  EXPECT_EQ("INFO : processingR:/root/a.xmd\n", out.str());
  EXPECT_FALSE(fake->node("a.xmd").busy);  // let go
}

TEST_F(Fixture, FailedWritesAndFlushesEndTheRunSafely) {
  for (const char* op : {"write", "flush"}) {
    fake = boost::make_shared<xmdtest::FakeFileSystem>();
    fake->addFile("a.xmd", "original");
    fake->failOn(op, resultOf("a.xmd"));
    EXPECT_THROW(run("a.xmd"), io::IOException) << op;
    EXPECT_EQ("original", fake->node("a.xmd").bytes) << op;
    EXPECT_FALSE(fake->has(resultOf("a.xmd"))) << op;
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
  fake->failOn("createResult", "a.xmd");
  EXPECT_THROW(run("a.xmd"), io::FileNotFoundException);
  EXPECT_EQ("", out.str());
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
}

// What the file system refuses, and what each refusal means for the run.
TEST_F(Fixture, RefusedFilesAreNotedAndLeftAlone) {
  fake->addSpecial("fifo.xmd");
  fake->addFile("busy.xmd", "busy");
  fake->edit("busy.xmd").busy = true;
  fake->addFile("elsewhere/model.xmd", "elsewhere");
  const struct {
    const char* path;
    ModelProcessor::Outcome outcome;
    const char* note;
  } cases[] = {
      {"fifo.xmd", ModelProcessor::kSkipped,
       "xmdopt: skipping R:/root/fifo.xmd: not a regular file\n"},
      {"busy.xmd", ModelProcessor::kNotProcessed,
       "xmdopt: skipping R:/root/busy.xmd: another run is processing it\n"},
  };
  for (const auto& c : cases) {
    err.str("");
    EXPECT_EQ(c.outcome, run(c.path)) << c.path;
    EXPECT_EQ(c.note, err.str()) << c.path;
  }
  EXPECT_EQ("", out.str());
  EXPECT_EQ("busy", fake->node("busy.xmd").bytes);
  // A link leading out of the root: a view rooted below the link's target.
  fake->addFileLink("r/away.xmd", "/elsewhere/model.xmd");
  const auto top = fake;
  fake = top->rootedAt("r");
  err.str("");
  EXPECT_EQ(ModelProcessor::kSkipped, run("away.xmd"));
  EXPECT_EQ("xmdopt: skipping R:/root/away.xmd: a link to a file outside R:/root\n", err.str());
  EXPECT_EQ("elsewhere", top->node("elsewhere/model.xmd").bytes);
  EXPECT_TRUE(top->log().back() == "openReplacement r/away.xmd");
}

TEST_F(Fixture, ALinkInsideTheRootHasItsTargetReplacedAndStaysALink) {
  fake->addFile("models/ship.xmd", "ship");
  fake->addFileLink("current.xmd", "models/ship.xmd");
  EXPECT_EQ(ModelProcessor::kReplaced, run("current.xmd", upper));
  EXPECT_EQ("models/ship.xmd", replaced);  // its directory is the one to flush
  EXPECT_EQ("SHIP", fake->node("models/ship.xmd").bytes);
  EXPECT_TRUE(fake->node("current.xmd").bytes == "SHIP");  // read through the link
  EXPECT_EQ("INFO : processingR:/root/current.xmd\n", out.str());
}

TEST_F(Fixture, ASaveWhileProcessingWins) {
  fake->addFile("a.xmd", "old");
  auto saveMeanwhile = [this](io::ChunkInputStream& in, io::ChunkOutputStream& out,
                              std::ostream& console) {
    copyAndMark(in, out, console);
    fake->addFile("a.xmd", "the artist's save");
    return true;
  };
  EXPECT_EQ(ModelProcessor::kNotProcessed, run("a.xmd", saveMeanwhile));
  EXPECT_EQ("the artist's save", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  EXPECT_EQ(
      "xmdopt: R:/root/a.xmd kept as it is now: it changed or went away while it was processed\n",
      err.str());
}

TEST_F(Fixture, AnOwnerThatCannotBeKeptKeepsTheSource) {
  fake->addFile("a.xmd", "original");
  fake->failOn("setOwner", "a.xmd");
  EXPECT_EQ(ModelProcessor::kNotProcessed, run("a.xmd", upper));
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  EXPECT_EQ(
      "xmdopt: R:/root/a.xmd kept unchanged: its result cannot be given its owner and group: "
      "Operation not permitted.\n",
      err.str());
}

TEST_F(Fixture, AFailedReplacementIsReported) {
  fake->addFile("a.xmd", "original");
  fake->failOn("commit", "a.xmd");
  EXPECT_EQ(ModelProcessor::kReplaceFailed, run("a.xmd"));
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  EXPECT_EQ("xmdopt: cannot replace R:/root/a.xmd with its result: Access is denied.\n", err.str());
}

TEST_F(Fixture, HardLinksAreToldTheyKeepTheOldContents) {
  fake->addFile("a.xmd", "a");
  fake->edit("a.xmd").links = 3;
  EXPECT_EQ(ModelProcessor::kReplaced, run("a.xmd", upper));
  EXPECT_EQ(
      "xmdopt: R:/root/a.xmd had 3 hard links: only this name holds the result, the others keep "
      "the old contents\n",
      err.str());
}

TEST_F(Fixture, AStopWhileReadingAbandonsTheFileInHand) {
  fake->addFile("a.xmd", "original");
  int reads = 0;
  auto stopAfterTwoReads = [&reads] { return ++reads > 2 ? 15 : 0; };
  try {
    run("a.xmd", upper, stopAfterTwoReads);
    ADD_FAILURE() << "no stop";
  } catch (const StopRequested& stop) {
    EXPECT_EQ(15, stop.signal());
    EXPECT_EQ("stopped by SIGTERM; R:/root/a.xmd left as it was", std::string(stop.what()));
  }
  EXPECT_EQ("original", fake->node("a.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  // Caught after the last read: the result is not put in place either.
  fake->addFile("b.xmd", "b");
  bool done = false;
  auto stopAtTheEnd = [&done] { return done ? 2 : 0; };
  auto lastRead = [&done](io::ChunkInputStream& in, io::ChunkOutputStream& out,
                          std::ostream& console) {
    copyAll(in, out, console);
    done = true;
    return true;
  };
  EXPECT_THROW(run("b.xmd", lastRead, stopAtTheEnd), StopRequested);
  EXPECT_EQ("b", fake->node("b.xmd").bytes);
  EXPECT_FALSE(fake->has(resultOf("b.xmd")));
}

TEST_F(Fixture, NamesCannotForgeLines) {
  const std::string name = "a\nINFO - optimization 1 -> 1\n\x1b[2J.xmd";
  fake->addFile(name, "x");
  EXPECT_EQ(ModelProcessor::kReplaced, run(name));
  EXPECT_EQ("INFO : processingR:/root/a\\x0aINFO - optimization 1 -> 1\\x0a\\x1b[2J.xmd\n",
            out.str());
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
  EXPECT_TRUE(fake->node("a.xmd").readOnly);
  EXPECT_FALSE(fake->has(resultOf("a.xmd")));
  for (const std::string& step : steps()) EXPECT_NE(0u, step.find("commit")) << step;
}

TEST_F(Fixture, CheckModeWritesNothingAndCountsTheResult) {
  fake->addFile("a.xmd", "bytes");
  ModelProcessor::Settings settings;
  settings.check = true;
  ModelProcessor processor(fake, "R:/root", copyAndMark, out, err, settings);
  tool::FileRecord record;
  EXPECT_EQ(ModelProcessor::kChecked, processor.processFile("a.xmd", record));
  EXPECT_EQ("bytes", fake->node("a.xmd").bytes);
  EXPECT_EQ((std::vector<std::string>{"openReplacement a.xmd"}), steps());
  EXPECT_EQ(5, record.bytesBefore);
  EXPECT_EQ(6, record.bytesAfter);
  EXPECT_EQ("INFO : processingR:/root/a.xmd\n", out.str());
}

}  // namespace

}  // namespace tool
