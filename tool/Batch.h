// Batch: processes a list of model files, one after the other, each through a
// ModelProcessor of its own, and keeps the directories whose names changed
// pending until they are flushed (many files at a time, and always before
// the batch ends, also when a failure ends it).
//
// The batch shares the file system with the driver and the processors; the
// output streams belong to the caller and must outlive the batch. One thread.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "io/fs/BaseFileSystem.h"
#include "tool/ModelProcessor.h"
#include "tool/PendingDirectories.h"

class Batch {
 public:
  // root: the file system's root in narrow form, for the console lines.
  // Console lines go to out, problems to err.
  Batch(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem, const std::string& root,
        ModelProcessor::StreamProcessor process, std::ostream& out, std::ostream& err);

  // Processes every file of files (paths relative to the root) in order.
  // Returns true when each was replaced by its result or kept (a model in it
  // failed a check); false when a replacement or a directory flush failed
  // (reported on err; the batch went on). A failure that ends the run passes
  // on as the exception it is, after the directories already changed were
  // flushed; the failing file is left as it was.
  bool run(const std::vector<std::string>& files);

 private:
  // Processes one file; false when its replacement or a flush failed.
  bool processOne(const std::string& relativePath);

  boost::shared_ptr<io::fs::BaseFileSystem> m_fileSystem;
  std::string m_root;
  ModelProcessor::StreamProcessor m_process;
  std::ostream& m_out;
  std::ostream& m_err;
  PendingDirectories m_pending;
};
