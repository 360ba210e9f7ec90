// The batch driver: reads the command line (tool/CommandLine.h), plans the
// run (every path checked and every directory walked before the first file
// is touched, tool/RunPlan.h) and has each file processed in place
// (tool/Batch.h), with the report, the progress and the summary lines.
//
//   xmdopt [PATH]... [OPTION]...     see tool::kUsage
//
// Exit status (tool::ExitStatus): 0 when every file was processed (a file
// whose model failed a check is kept unchanged and counts as processed); 1
// when a file could not be replaced by its result or a directory could not
// be flushed to the disk (the batch goes on), a failure ended the run (one
// line on err, the failing file left as it was), or with --keep-going any
// file failed; 2 for a usage error (nothing touched); 3 with --check when a
// model would be rejected.
//
// Each result is on the disk before it takes its source's name; the
// directories whose names changed are flushed once for many files, and
// always before the run ends.
#pragma once

#include <ostream>

#include "tool/Batch.h"
#include "tool/DriverEnvironment.h"
#include "tool/ModelProcessor.h"

namespace tool {

// Runs the tool on the command line argv and returns the exit status. Console lines go to out,
// problems to err. Each worker processes its files through what makeProcessor made for it.
// The file system, the current directory and the number of processors come from env.
// Never throws.
int runDriver(int argc, const char* const* argv, const Batch::ProcessorMaker& makeProcessor,
              std::ostream& out, std::ostream& err,
              const DriverEnvironment& env = DriverEnvironment::real());
// The same, with one processing for every worker (it must allow calls from several threads
// at once when -j asks for more than one).
int runDriver(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
              std::ostream& out, std::ostream& err,
              const DriverEnvironment& env = DriverEnvironment::real());

}  // namespace tool
