#include "tool/RunReport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

std::vector<Json> parseLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

tool::FileRecord replacedFile() {
  tool::FileRecord r;
  r.path = "m/a.xmd";
  r.outcome = tool::FileOutcome::kReplaced;
  r.bytesBefore = 120;
  r.bytesAfter = 96;
  r.models.push_back({0, true, "", 36, 24});
  r.models.push_back({1, false, "too many vertices", 70000, 70000});
  return r;
}

TEST(RunReport, OneObjectPerFileThenTheSummary) {
  std::ostringstream out;
  tool::RunReport report(out);
  tool::Tally tally;
  const tool::FileRecord a = replacedFile();
  tool::FileRecord b;
  b.path = "m/b.xmd";
  b.outcome = tool::FileOutcome::kFailed;
  b.bytesBefore = 60;
  b.failure = "Chunk read overflow";
  b.position = 57;
  for (const tool::FileRecord* r : {&a, static_cast<const tool::FileRecord*>(&b)}) {
    report.addFile(*r);
    tally.add(*r);
  }
  report.close(tally, false, 1.5, 1);

  const std::vector<Json> lines = parseLines(out.str());
  ASSERT_EQ(3u, lines.size()) << out.str();
  EXPECT_EQ("file", lines[0]["type"]);
  EXPECT_EQ("m/a.xmd", lines[0]["path"]);
  EXPECT_EQ("replaced", lines[0]["outcome"]);
  EXPECT_EQ(120, lines[0]["bytes_before"]);
  EXPECT_EQ(96, lines[0]["bytes_after"]);
  ASSERT_EQ(2u, lines[0]["models"].size());
  EXPECT_EQ(Json::parse(R"({"index":0,"verdict":"accepted","error":null,)"
                        R"("vertices_before":36,"vertices_after":24})"),
            lines[0]["models"][0]);
  EXPECT_EQ("rejected", lines[0]["models"][1]["verdict"]);
  EXPECT_EQ("too many vertices", lines[0]["models"][1]["error"]);
  EXPECT_TRUE(lines[0]["failure"].is_null());

  EXPECT_EQ("failed", lines[1]["outcome"]);
  EXPECT_TRUE(lines[1]["bytes_after"].is_null());
  EXPECT_EQ(Json::parse(R"({"message":"Chunk read overflow","position":57})"), lines[1]["failure"]);

  const Json& s = lines[2];
  EXPECT_EQ("summary", s["type"]);
  EXPECT_EQ(false, s["check"]);
  EXPECT_EQ(2, s["files"]);
  EXPECT_EQ(1, s["replaced"]);
  EXPECT_EQ(1, s["failed"]);
  EXPECT_EQ(0, s["kept"]);
  EXPECT_EQ(70036, s["vertices_before"]);
  EXPECT_EQ(70024, s["vertices_after"]);
  EXPECT_EQ(1, s["exit_status"]);
  EXPECT_DOUBLE_EQ(1.5, s["seconds"].get<double>());
}

TEST(RunReport, NamesThatAreNotUtf8StillMakeValidJson) {
  std::ostringstream out;
  tool::RunReport report(out);
  tool::FileRecord r;
  r.path = "raw\xff\xfe\"q\"\n.xmd";
  r.outcome = tool::FileOutcome::kSkipped;
  r.failure = "not a regular file";
  report.addFile(r);
  const std::vector<Json> lines = parseLines(out.str());
  ASSERT_EQ(1u, lines.size()) << out.str();
  EXPECT_EQ("raw\xef\xbf\xbd\xef\xbf\xbd\"q\"\n.xmd", lines[0]["path"]);
  EXPECT_TRUE(lines[0]["failure"]["position"].is_null());
}

TEST(RunReport, TallyAndSummaryLine) {
  tool::Tally tally;
  tally.add(replacedFile());
  tool::FileRecord kept;
  kept.outcome = tool::FileOutcome::kKept;
  tally.add(kept);
  EXPECT_TRUE(tally.anyRejected);
  EXPECT_EQ(
      "xmdopt: 1 replaced, 0 unchanged, 1 kept, 0 failed, 0 skipped; "
      "vertices 70036 -> 70024; 2.25 s",
      tool::summaryLine(tally, 2.25, false));
  EXPECT_EQ(0u, tool::summaryLine(tool::Tally(), 0, true)
                    .find("xmdopt: (check, nothing written) 0 replaced"));
}

}  // namespace
