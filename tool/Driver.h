// The batch driver: reads the one command-line argument, builds the file
// system, finds the model files and has each processed in place.
//
//   xmdopt              every .xmd file under the current directory
//   xmdopt DIR          every .xmd file under DIR, at any depth
//   xmdopt FILE.EXT     that one file (a last component with a "." is a file)
//   xmdopt --help | -h  usage;  xmdopt --version  the version
//
// Exit status: 0 when every file was processed (a file whose model failed a
// check is kept unchanged and counts as processed); 1 when a file could not
// be replaced by its result or a directory could not be flushed to the disk
// (the batch goes on), or a failure ended the run (one line on err, the
// failing file left as it was).
//
// Each result is on the disk before it takes its source's name; the
// directories whose names changed are flushed once for many files, and
// always before the run ends.
#pragma once

#include <ostream>

#include "tool/DriverEnvironment.h"
#include "tool/ModelProcessor.h"

// Runs the tool on argv[1] (further arguments are ignored) and returns the
// exit status. Console lines go to out, problems to err. The file system and
// the current directory come from env. Never throws.
int runDriver(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
              std::ostream& out, std::ostream& err,
              const DriverEnvironment& env = DriverEnvironment::real());
