// ModelProcessor: processes one model file in place. It reads the file
// through the shared file system, writes the processed contents to a sibling
// file (the source's name with ".result" appended), and then puts the result
// in the source's place in one step; at no moment is the source's name
// missing or holding part of a file. A file in which a model failed its
// checks keeps its source byte for byte.
//
// Bytes after the top-level chunk are carried into the result after its
// top-level chunk (with a note on err). In check mode the result is made in
// memory only: the same console lines, nothing written or renamed.
//
// The driver makes one ModelProcessor per file over its own file-system
// pointer (shared ownership) and drops it before the next file. One thread.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/fs/BaseFileSystem.h"
#include "tool/FileRecord.h"

class ModelProcessor {
 public:
  // Rewrites the chunk file of in into out, writing its console lines to
  // console; false when a model of it failed a check (its "ERROR - " line
  // printed). Throws for a malformed container.
  using StreamProcessor =
      std::function<bool(io::ChunkInputStream&, io::ChunkOutputStream&, std::ostream& console)>;

  enum Outcome {
    kReplaced,       // the source's name now holds the complete result (the
                     // caller flushes the directory, see flushDirectory)
    kKept,           // a model failed a check: the source is unchanged
    kReplaceFailed,  // the result could not take the source's place (reported on err)
    kUnchanged,      // the result equals the source, which was left alone
    kChecked,        // check mode: processed in memory, nothing written
  };

  // root: the file system's root in narrow form, for the console lines.
  // Lines for the user go to out ("INFO : processing"), problems to err.
  ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                 const std::string& root, StreamProcessor process, std::ostream& out,
                 std::ostream& err, bool check = false);

  // Processes the file at relativePath (relative to the file system's root,
  // or absolute). Prints "INFO : processing" followed by the path. On a
  // failure that ends the run (the source cannot be opened, the result
  // cannot be created or written, the container is malformed, a path cannot
  // be converted) the exception passes on, the source is left as it was and
  // the ".result" file made here is removed. record gets the path as shown,
  // the sizes, and the byte position at which the input failed, if it did.
  Outcome processFile(const std::string& relativePath, tool::FileRecord& record);
  // Has progress called with the read position and the size of the source
  // as reading goes on (every ProgressInputStream::kStep bytes).
  void setProgress(std::function<void(std::int64_t position, std::int64_t size)> progress) {
    m_progress = std::move(progress);
  }

  // The same, without a record.
  Outcome processFile(const std::string& relativePath) {
    tool::FileRecord record;
    return processFile(relativePath, record);
  }

 private:
  boost::shared_ptr<io::fs::BaseFileSystem> fileSystem;
  std::string m_root;
  StreamProcessor m_process;
  std::ostream& m_out;
  std::ostream& m_err;
  bool m_check;
  std::function<void(std::int64_t, std::int64_t)> m_progress;
};
