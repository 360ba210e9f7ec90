// Batch: processes the planned files one after the other, each through a
// ModelProcessor of its own, and keeps the directories whose names changed
// pending until they are flushed (many files at a time, and always before
// the batch ends, also when a failure ends it). It makes the record of each
// file (for the report and the summary), passes the processing's console
// lines on (all, or with --quiet only the ERROR lines), and decides the exit
// status. A caught stop signal ends the batch at its next safe point: the
// file in hand is left as it was, and what was done is flushed and reported.
//
// The batch shares the file systems with the plan and the processors; the
// output streams, the progress line and the report belong to the caller and
// must outlive the batch. One thread.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "io/fs/BaseFileSystem.h"
#include "tool/FileRecord.h"
#include "tool/ModelProcessor.h"
#include "tool/PendingDirectories.h"
#include "tool/Progress.h"
#include "tool/RunReport.h"
#include "tool/StopRequested.h"

namespace tool {

// One file of the plan: a path relative to the root of its file system.
struct PlannedFile {
  boost::shared_ptr<io::fs::BaseFileSystem> fileSystem;
  std::string root;  // the file system's root in narrow form, for the console
  std::string relativePath;
  // When not empty: this path (a directory of a walk) could not be taken,
  // and this is why; it counts as a failed file at its place.
  std::string failure;
};

struct BatchSettings {
  bool check = false;      // process in memory, write nothing
  bool keepGoing = false;  // a failing file does not end the run
  bool quiet = false;      // only ERROR lines on out, no summary
  // Returns the number of a caught stop signal, or 0; empty: never stops.
  std::function<int()> stopSignal;
};

class Batch {
 public:
  // Console lines go to out, problems to err; report may be null.
  Batch(ModelProcessor::StreamProcessor process, const BatchSettings& settings, std::ostream& out,
        std::ostream& err, tool::Progress& progress, tool::RunReport* report);

  // Processes every file in order and returns the exit status (see
  // tool::ExitStatus; 128 + the signal's number when a stop signal ended the
  // run): a failure that ends the run is reported on err, not thrown. The
  // directories changed are flushed before it returns.
  int run(const std::vector<PlannedFile>& files);

  const tool::Tally& tally() const { return m_tally; }

 private:
  // Processes one file into record; false when the run must end.
  bool processOne(const PlannedFile& file, tool::FileRecord& record);
  // Reports the failure in hand (an exception being handled) for record.
  void reportFailure(tool::FileRecord& record);
  // Takes one console line of the processing: notes it for the record and
  // passes it on.
  void takeLine(const std::string& line);
  // Ends the run for a stop signal: notes it and says so on err.
  void stop(const StopRequested& stopped);
  PendingDirectories& pendingFor(const PlannedFile& file);
  bool flushAll();
  int exitStatus(bool ended) const;
  // The caught stop signal, or 0.
  int stopSignal() const { return m_settings.stopSignal ? m_settings.stopSignal() : 0; }

  ModelProcessor::StreamProcessor m_process;
  BatchSettings m_settings;
  std::ostream& m_out;
  std::ostream& m_err;
  tool::Progress& m_progress;
  tool::RunReport* m_report;
  std::map<io::fs::BaseFileSystem*, std::unique_ptr<PendingDirectories>> m_pending;
  tool::Tally m_tally;
  tool::FileRecord* m_current = nullptr;  // the record the console lines go to
  bool m_replaceFailed = false;           // a file could not be processed or replaced: exit 1
  int m_stoppedBy = 0;                    // the stop signal that ended the run
};

}  // namespace tool
