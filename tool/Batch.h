// Batch: processes a list of model files, one after the other, each through a
// ModelProcessor of its own, and keeps the directories whose names changed
// pending until they are flushed (many files at a time, and always before
// the batch ends, also when a failure ends it).
//
// The batch shares the file system with the driver and the processors; the
// output streams belong to the caller and must outlive the batch. One thread.
#pragma once

#include <functional>
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
  // Console lines go to out, problems to err. stopSignal returns the number
  // of a caught stop signal, or 0 (an empty function never stops).
  Batch(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem, const std::string& root,
        ModelProcessor::StreamProcessor process, std::ostream& out, std::ostream& err,
        std::function<int()> stopSignal = std::function<int()>());

  // Processes every file of files (paths relative to the root) in order.
  // Returns true when each was replaced by its result, kept (a model in it
  // failed a check) or skipped as none of the tree's model files; false when
  // one could not be processed safely, a replacement or a directory flush
  // failed (each reported on err; the batch went on). A failure that ends the
  // run passes on as the exception it is, and so does StopRequested when a
  // stop signal is caught (checked before each file and while one is read),
  // after the directories already changed were flushed; the file in hand is
  // left as it was.
  bool run(const std::vector<std::string>& files);

 private:
  // Processes one file; false when its replacement or a flush failed.
  bool processOne(const std::string& relativePath);

  boost::shared_ptr<io::fs::BaseFileSystem> m_fileSystem;
  std::string m_root;
  ModelProcessor::StreamProcessor m_process;
  std::ostream& m_out;
  std::ostream& m_err;
  std::function<int()> m_stopSignal;
  PendingDirectories m_pending;
};
