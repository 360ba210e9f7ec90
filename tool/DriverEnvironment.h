// DriverEnvironment: what the batch driver takes from its caller besides the
// argument and the output streams: how to make the file system rooted at the
// directory it works on, the current directory (for a run without
// argument), and whether a stop was asked for. The program passes DriverEnvironment::real(): files
// on the disk and the process's own current directory; tests pass an in-memory file system and a
// directory of their choosing.
//
// A value; the functions it holds are called on the driver's thread.
#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <string>

#include <boost/shared_ptr.hpp>

#include "io/fs/BaseFileSystem.h"

namespace tool {

struct DriverEnvironment {
  // Returns the file system whose root is root (a normalised path; "" for
  // the current directory, "/" for the top). May throw what the file system
  // throws for a root it cannot take.
  std::function<boost::shared_ptr<io::fs::BaseFileSystem>(const std::string& root)> fileSystemAt;
  // Returns the current directory, an absolute path. Throws
  // std::runtime_error when it cannot be read.
  std::function<std::string()> currentDirectory;
  // Returns true when the error stream is a terminal a person watches (the
  // progress line is drawn only there).
  std::function<bool()> errorIsTerminal = [] { return false; };
  // Returns the stream of the --files-from list name ("-": standard input),
  // or null when it cannot be opened.
  std::function<std::shared_ptr<std::istream>(const std::string& name)> openList;
  // Returns the number of processors (the default number of workers).
  std::function<int()> processorCount = [] { return 1; };
  // Returns the number of a stop signal caught (the run then ends cleanly),
  // or 0. May be empty: the run is never stopped.
  std::function<int()> stopSignal;

  // io::fs::FilesFileSystem over the disk, the process's current directory
  // as the platform reports it, and the stop signals the platform caught
  // (whoever installs the handlers: the program does).
  static DriverEnvironment real();
};

}  // namespace tool
