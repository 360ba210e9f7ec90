// What happened to one file of a run, and the running totals over a run:
// the plain values that the --report file, the summary line and the exit
// status are made from. No behaviour beyond counting; one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

// One model chunk of a file, in file order.
struct ModelRecord {
  int index = 0;  // 0 for the first "model" chunk of the file
  bool accepted = true;
  std::string error;  // the "ERROR - " line's text without the prefix, when rejected
  int verticesBefore = 0;
  int verticesAfter = 0;  // equal to verticesBefore when rejected
};

enum class FileOutcome {
  kReplaced,   // the result took the source's name (with --check: would have)
  kUnchanged,  // the result's bytes equal the source's: the source was left alone
  kKept,       // a model was rejected: the source was kept
  kFailed,     // the file could not be processed (reported on stderr)
  kSkipped,    // passed over (a note on stderr); kept in the report's words
};

// The outcome's name in the report: "replaced", "unchanged", "kept", "failed", "skipped".
const char* outcomeName(FileOutcome outcome);

struct FileRecord {
  std::string path;  // as printed on the console
  FileOutcome outcome = FileOutcome::kFailed;
  std::int64_t bytesBefore = -1;  // -1: unknown
  std::int64_t bytesAfter = -1;   // -1: no result was made
  std::vector<ModelRecord> models;
  std::string failure;         // the message of a failure or a skip, else empty
  std::int64_t position = -1;  // the byte position of the failure, -1 when it has none
};

// Counts over a run.
struct Tally {
  std::int64_t files[5] = {0, 0, 0, 0, 0};  // by FileOutcome
  std::int64_t verticesBefore = 0;
  std::int64_t verticesAfter = 0;
  bool anyRejected = false;

  void add(const FileRecord& record);
  std::int64_t count(FileOutcome outcome) const { return files[static_cast<int>(outcome)]; }
  // Files counted, whatever their outcome.
  std::int64_t total() const { return files[0] + files[1] + files[2] + files[3] + files[4]; }
};

// The one summary line at the end of a run (no newline), e.g.
// "xmdopt: 3 replaced, 0 unchanged, 1 kept, 0 failed, 0 skipped; vertices 96 -> 64; 0.12 s".
std::string summaryLine(const Tally& tally, double seconds, bool check);

}  // namespace tool
