// ModelProcessor: processes one model file in place. It has the file system
// open the file for replacement (a regular file inside the root, locked
// against other runs), reads it, writes the processed contents to a new file
// beside it, and then puts that result in the source's place in one step; at
// no moment is the source's name missing or holding part of a file. A file
// in which a model failed its checks keeps its source byte for byte, and so
// does a file that changed while it was processed or whose owner the result
// could not be given.
//
// The batch makes one ModelProcessor per file over its own file-system
// pointer (shared ownership) and drops it before the next file. One thread.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/fs/BaseFileSystem.h"

class ModelProcessor {
 public:
  // Rewrites the chunk file of in into out; false when a model of it failed a
  // check (its "ERROR - " line printed). Throws for a malformed container.
  using StreamProcessor = std::function<bool(io::ChunkInputStream&, io::ChunkOutputStream&)>;

  enum Outcome {
    kReplaced,       // the source's name now holds the complete result (the
                     // caller flushes the directory of replacedPath())
    kKept,           // a model failed a check: the source is unchanged
    kSkipped,        // not one of the tree's model files to process (not a
                     // regular file, a link leading out of the root): noted on err
    kNotProcessed,   // could not be processed safely now (another run has it,
                     // it changed meanwhile, its owner cannot be kept): noted on err
    kReplaceFailed,  // the result could not take the source's place (reported on err)
  };

  // root: the file system's root in narrow form, for the console lines.
  // Lines for the user go to out ("INFO : processing"), problems to err.
  // stopSignal returns the number of a caught stop signal, or 0 (an empty
  // function never stops).
  ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                 const std::string& root, StreamProcessor process, std::ostream& out,
                 std::ostream& err, std::function<int()> stopSignal = std::function<int()>());

  // Processes the file at relativePath (relative to the file system's root;
  // each name in it is one component, whatever bytes it holds). Prints
  // "INFO : processing" followed by the path once the file is open and its
  // result created. On a failure that ends the run (the source cannot be
  // opened, the result cannot be created or written, the container is
  // malformed, a path cannot be converted) the exception passes on, the
  // source is left as it was and the result made here is removed; a stop
  // signal does the same with StopRequested. Returns what became of it.
  Outcome processFile(const std::string& relativePath);

  // After kReplaced: the path, relative to the root, of the file replaced
  // (the target, when relativePath named a link to it).
  const std::string& replacedPath() const { return m_replacedPath; }

 private:
  // The outcome of a file the file system refused (its note printed).
  Outcome refused(io::fs::Replacement::Refusal refusal, const std::string& shown);
  // Writes the result of replacement; true when every model passed.
  bool writeResult(io::fs::Replacement& replacement, const std::string& shown);
  // Puts the result in place; the outcome, its notes printed.
  Outcome commit(io::fs::Replacement& replacement, const std::string& shown);
  // Throws StopRequested for the file shown when the run is to stop.
  void checkStop(const std::string& shown) const;

  boost::shared_ptr<io::fs::BaseFileSystem> fileSystem;
  std::string m_root;
  StreamProcessor m_process;
  std::ostream& m_out;
  std::ostream& m_err;
  std::function<int()> m_stopSignal;
  std::string m_replacedPath;
};
