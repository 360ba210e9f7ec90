// The command line of xmdopt: what the user asked for, parsed from argv
// before anything is touched. Parsing opens no file; a list named by
// --files-from is read by readPathList when the run starts.
//
//   xmdopt [PATH]... [OPTION]...     (options may come anywhere; "--" ends them)
//
// Exit statuses are part of the interface and listed in kUsage.
// Plain values; one thread.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tool {

// The exit statuses of a run.
enum ExitStatus {
  kExitDone = 0,         // every file processed (a rejected model's file kept)
  kExitFailed = 1,       // a failure ended the run, a replacement failed, or
                         // (with --keep-going) a file failed
  kExitUsage = 2,        // the command line was wrong; nothing was touched
  kExitRejected = 3,     // --check: a model would be rejected
  kExitInterrupt = 130,  // SIGINT: 128 + its number
  kExitTerminate = 143,  // SIGTERM
};

// The full --help text.
extern const char kUsage[];
// The one usage line that follows a usage error.
extern const char kUsageLine[];

// A wrong command line: the message names the offending argument.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  bool help = false;
  bool version = false;
  bool check = false;              // -n: read, check, weld; write nothing
  bool keepGoing = false;          // -k: a failing file does not end the run
  bool quiet = false;              // -q: only ERROR lines on stdout
  bool nullSeparated = false;      // -0: the --files-from list is NUL-separated
  int jobs = 0;                    // -j: files processed at once; 0: one per processor
  std::string report;              // --report: JSON Lines file, or empty
  std::string filesFrom;           // --files-from: list file, "-" for stdin, or empty
  std::vector<std::string> paths;  // in the order given
};

// The most workers -j takes: far more than any machine's processors, and
// few enough that the files held open ahead stay far below descriptor limits.
constexpr int kMaxJobs = 256;

// Parses argv[1..argc). Returns the request; throws UsageError for an unknown
// option, a missing or malformed option value (a -j outside 1..kMaxJobs), or
// an empty argument.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Reads the paths of a --files-from list: one per line (a final newline is
// optional), or NUL-separated when nul. Empty entries are skipped (they
// would otherwise mean the current directory). Throws UsageError when the
// stream fails while reading.
std::vector<std::string> readPathList(std::istream& in, bool nul);

}  // namespace tool
