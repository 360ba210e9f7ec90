// RunReport: the --report file of a run, in JSON Lines: one object per file,
// in the order the files were processed, then one closing summary object.
// Field names and outcome words are stable; README.md documents them.
//
//   {"type":"file","path":"m/a.xmd","outcome":"replaced","bytes_before":120,
//    "bytes_after":96,"models":[{"index":0,"verdict":"accepted","error":null,
//    "vertices_before":36,"vertices_after":24}],"failure":null}
//   {"type":"summary","check":false,"files":1,"replaced":1,"unchanged":0,
//    "kept":0,"failed":0,"skipped":0,"vertices_before":36,"vertices_after":24,
//    "seconds":0.01,"exit_status":0}
//
// Text that is not valid UTF-8 (a file name of other bytes) has each invalid
// byte replaced by U+FFFD. Each line is flushed as it is written. The stream
// is not owned. One thread.
#pragma once

#include <ostream>

#include "tool/FileRecord.h"

namespace tool {

class RunReport {
 public:
  explicit RunReport(std::ostream& out) : m_out(out) {}

  // Writes the file's line.
  void addFile(const FileRecord& record);
  // Writes the closing summary line.
  void close(const Tally& tally, bool check, double seconds, int exitStatus);

 private:
  std::ostream& m_out;
};

}  // namespace tool
