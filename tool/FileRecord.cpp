#include "tool/FileRecord.h"

#include <cstdio>

namespace tool {

const char* outcomeName(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::kReplaced:
      return "replaced";
    case FileOutcome::kUnchanged:
      return "unchanged";
    case FileOutcome::kKept:
      return "kept";
    case FileOutcome::kFailed:
      return "failed";
    case FileOutcome::kSkipped:
      return "skipped";
  }
  return "failed";
}

void Tally::add(const FileRecord& record) {
  ++files[static_cast<int>(record.outcome)];
  for (const ModelRecord& m : record.models) {
    verticesBefore += m.verticesBefore;
    verticesAfter += m.verticesAfter;
    if (!m.accepted) anyRejected = true;
  }
}

std::string summaryLine(const Tally& tally, double seconds, bool check) {
  char text[256];
  std::snprintf(text, sizeof text,
                "xmdopt: %s%lld replaced, %lld unchanged, %lld kept, %lld failed, %lld skipped; "
                "vertices %lld -> %lld; %.2f s",
                check ? "(check, nothing written) " : "",
                static_cast<long long>(tally.count(FileOutcome::kReplaced)),
                static_cast<long long>(tally.count(FileOutcome::kUnchanged)),
                static_cast<long long>(tally.count(FileOutcome::kKept)),
                static_cast<long long>(tally.count(FileOutcome::kFailed)),
                static_cast<long long>(tally.count(FileOutcome::kSkipped)),
                static_cast<long long>(tally.verticesBefore),
                static_cast<long long>(tally.verticesAfter), seconds);
  return text;
}

}  // namespace tool
