#include "tool/RunReport.h"

#include <nlohmann/json.hpp>

namespace tool {

namespace {

using Json = nlohmann::ordered_json;

void writeLine(std::ostream& out, const Json& value) {
  out << value.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
}

Json orNull(std::int64_t value) { return value < 0 ? Json(nullptr) : Json(value); }

Json modelObject(const ModelRecord& m) {
  Json model;
  model["index"] = m.index;
  model["verdict"] = m.accepted ? "accepted" : "rejected";
  model["error"] = m.accepted ? Json(nullptr) : Json(m.error);
  model["vertices_before"] = m.verticesBefore;
  model["vertices_after"] = m.verticesAfter;
  return model;
}

}  // namespace

void RunReport::addFile(const FileRecord& record) {
  Json line;
  line["type"] = "file";
  line["path"] = record.path;
  line["outcome"] = outcomeName(record.outcome);
  line["bytes_before"] = orNull(record.bytesBefore);
  line["bytes_after"] = orNull(record.bytesAfter);
  line["models"] = Json::array();
  for (const ModelRecord& m : record.models) line["models"].push_back(modelObject(m));
  if (record.failure.empty()) {
    line["failure"] = nullptr;
  } else {
    line["failure"] = {{"message", record.failure}, {"position", orNull(record.position)}};
  }
  writeLine(m_out, line);
}

void RunReport::close(const Tally& tally, bool check, double seconds, int exitStatus) {
  Json line;
  line["type"] = "summary";
  line["check"] = check;
  std::int64_t files = 0;
  for (std::int64_t n : tally.files) files += n;
  line["files"] = files;
  for (FileOutcome o : {FileOutcome::kReplaced, FileOutcome::kUnchanged, FileOutcome::kKept,
                        FileOutcome::kFailed, FileOutcome::kSkipped})
    line[outcomeName(o)] = tally.count(o);
  line["vertices_before"] = tally.verticesBefore;
  line["vertices_after"] = tally.verticesAfter;
  line["seconds"] = seconds;
  line["exit_status"] = exitStatus;
  writeLine(m_out, line);
}

}  // namespace tool
