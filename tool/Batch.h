// Batch: processes the planned files, each through a ModelProcessor of its
// own, and puts their results in place in the plan's order. Workers (--jobs)
// read, check, weld and write results ahead; the batch's own thread takes
// them in order, makes a group of results durable with one flush of their
// volume, renames them, and then flushes each directory whose names changed
// once per group (and always before the batch ends, also when a failure ends
// it). Console lines are passed on per file, in order, whatever the number
// of workers; a failure that ends the run leaves every later file as it was
// (results made ahead for them are removed). It makes the record of each
// file (for the report and the summary), passes the processing's console
// lines on (all, or with --quiet only the ERROR lines), and decides the exit
// status. A caught stop signal ends the batch at its next safe point: the
// file in hand is left as it was, and what was done is flushed and reported.
//
// The batch shares the file systems with the plan and the processors; the
// output streams, the progress line and the report belong to the caller and
// must outlive the batch. run() is called on one thread; the workers are
// its own, each with the stream processing made for it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
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
  int jobs = 1;            // files processed at once
  // Results made durable by one flush of their volume, then renamed.
  std::size_t groupSize = kGroupSize;
  // Returns the number of a caught stop signal, or 0; empty: never stops.
  std::function<int()> stopSignal;

  // Large enough that a tree of small files costs few flushes, small enough
  // that the files held open ahead stay far below any descriptor limit.
  static constexpr std::size_t kGroupSize = 64;
};

class Batch {
 public:
  // Returns the stream processing for one worker; called once per worker
  // before the first file.
  using ProcessorMaker = std::function<ModelProcessor::StreamProcessor()>;

  // Console lines go to out, problems to err; report may be null.
  Batch(ProcessorMaker makeProcessor, const BatchSettings& settings, std::ostream& out,
        std::ostream& err, tool::Progress& progress, tool::RunReport* report);
  ~Batch();

  // Processes every file in order and returns the exit status (see
  // tool::ExitStatus; 128 + the signal's number when a stop signal ended the
  // run): a failure that ends the run is reported on err, not thrown. The
  // directories changed are flushed before it returns.
  int run(const std::vector<PlannedFile>& files);

  const tool::Tally& tally() const { return m_tally; }

 private:
  struct Job;

  // Runs the processing of file index of the plan up to its commit (on a
  // worker).
  void prepare(std::size_t index, int worker);
  // Makes the results of the group durable, puts them in place and passes
  // their lines on, in order; then flushes the directories changed.
  void commitGroup();
  // Puts the result of job in place (when it waits for that) and passes its
  // lines, notes and record on.
  void finish(Job& job);
  // Passes the lines of job on and reports its failure; false when the run
  // must end. Throws StopRequested when the failure is a stop.
  bool finishFailed(Job& job);
  // Flushes what is pending, writes the report's end and the summary line;
  // returns the exit status. time: how long the run took.
  int close(bool ended, std::chrono::duration<double> time);
  // Passes the console lines and the notes of job on.
  void passOn(Job& job);
  // Adds the record of job to the tally and the report.
  void count(const Job& job);
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

  ProcessorMaker m_makeProcessor;
  BatchSettings m_settings;
  std::ostream& m_out;
  std::ostream& m_err;
  tool::Progress& m_progress;
  tool::RunReport* m_report;
  std::vector<ModelProcessor::StreamProcessor> m_processors;  // by worker
  const std::vector<PlannedFile>* m_files = nullptr;          // during run
  std::vector<std::unique_ptr<Job>> m_jobs;                   // by index of the plan, while in hand
  std::vector<std::size_t> m_group;  // prepared, waiting to be put in place
  std::map<io::fs::BaseFileSystem*, std::unique_ptr<PendingDirectories>> m_pending;
  tool::Tally m_tally;
  tool::FileRecord* m_current = nullptr;  // the record the console lines go to
  bool m_replaceFailed = false;           // a file could not be processed or replaced: exit 1
  int m_stoppedBy = 0;                    // the stop signal that ended the run
  std::atomic<bool> m_dropAhead{false};   // the run has ended: files in hand are dropped
};

}  // namespace tool
