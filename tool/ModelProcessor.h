// ModelProcessor: processes one model file in place. It has the file system
// open the file for replacement (a regular file inside the root, locked
// against other runs), reads it, writes the processed contents to a new file
// beside it, and then puts that result in the source's place in one step; at
// no moment is the source's name missing or holding part of a file. A file
// in which a model failed its checks keeps its source byte for byte, and so
// does a file whose result equals it, one that changed while it was
// processed, and one whose owner the result could not be given.
//
// Bytes after the top-level chunk are carried into the result after its
// top-level chunk (with a note on err). In check mode the result is made in
// memory only: the same console lines, nothing written or renamed.
//
// The batch makes one ModelProcessor per file over its own file-system
// pointer (shared ownership) and drops it before the next file. One thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/fs/BaseFileSystem.h"
#include "tool/FileRecord.h"

namespace tool {

struct ModelProcessorSettings {
  bool check = false;  // process in memory, write nothing
  // Returns the number of a caught stop signal, or 0; empty: never stops.
  std::function<int()> stopSignal;
};

class ModelProcessor {
 public:
  // Rewrites the chunk file of in into out, writing its console lines to
  // console; false when a model of it failed a check (its "ERROR - " line
  // printed). Throws for a malformed container.
  using StreamProcessor =
      std::function<bool(io::ChunkInputStream&, io::ChunkOutputStream&, std::ostream& console)>;

  enum Outcome {
    kReplaced,       // the source's name now holds the complete result (the
                     // caller flushes the directory of replacedPath())
    kKept,           // a model failed a check: the source is unchanged
    kSkipped,        // not one of the tree's model files to process (not a
                     // regular file, a link leading out of the root): noted on err
    kNotProcessed,   // could not be processed safely now (another run has it,
                     // it changed meanwhile, its owner cannot be kept): noted on err
    kReplaceFailed,  // the result could not take the source's place (reported on err)
    kUnchanged,      // the result equals the source, which was left alone
    kChecked,        // check mode: processed in memory, nothing written
    kReady,          // prepare only: the result is sealed; commit() puts it in place
  };

  using Settings = ModelProcessorSettings;

  // root: the file system's root in narrow form, for the console lines.
  // Lines for the user go to out ("INFO : processing"), problems to err.
  ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                 const std::string& root, StreamProcessor process, std::ostream& out,
                 std::ostream& err, Settings settings = Settings());

  // Processes the file at relativePath (relative to the file system's root;
  // each name in it is one component, whatever bytes it holds). Prints
  // "INFO : processing" followed by the path once the file is open (and its
  // result created). On a failure that ends the run (the source cannot be
  // opened, the result cannot be created or written, the container is
  // malformed, a path cannot be converted) the exception passes on, the
  // source is left as it was and the result made here is removed; a stop
  // signal does the same with StopRequested. record gets the sizes, the byte
  // position at which the input failed (if it did) and the note of a file
  // skipped or not processed. Returns what became of the file.
  Outcome processFile(const std::string& relativePath, tool::FileRecord& record);
  // The two halves of processFile, for a batch that processes files ahead
  // and puts their results in place in order: prepare does everything but
  // the replacement and returns kReady when a result waits for commit (its
  // owner and permissions given, its write-out started); commit then puts it
  // in place and returns the outcome. prepare throws as processFile; commit
  // throws nothing but what a stream of the console throws.
  Outcome prepare(const std::string& relativePath, tool::FileRecord& record);
  Outcome commit(tool::FileRecord& record);
  // After kReady: makes durable, in one flush, every result sealed before on
  // the same volume (see io::fs::Replacement::flushVolume); false with the
  // reason when it cannot.
  bool flushVolume(std::string& reason) { return m_replacement->flushVolume(reason); }
  // After kReady: the flushVolume of another file made this result durable.
  void markDurable() { m_replacement->markDurable(); }
  // After kReady: the identity of the volume that holds the result.
  std::uint32_t resultVolume() const { return m_replacement->resultId().volume; }

  // The same, without a record.
  Outcome processFile(const std::string& relativePath) {
    tool::FileRecord record;
    return processFile(relativePath, record);
  }

  // Has progress called with the read position and the size of the source
  // as reading goes on (every ProgressInputStream::kStep bytes).
  void setProgress(std::function<void(std::int64_t position, std::int64_t size)> progress) {
    m_progress = std::move(progress);
  }

  // After kReplaced: the path, relative to the root, of the file replaced
  // (the target, when relativePath named a link to it).
  const std::string& replacedPath() const { return m_replacedPath; }

 private:
  // The outcome of a file the file system refused (its note printed).
  Outcome refused(io::fs::Replacement::Refusal refusal, const std::string& shown,
                  tool::FileRecord& record);
  // Writes the result of replacement (in check mode: counts its bytes); true
  // when every model passed.
  bool writeResult(io::fs::Replacement& replacement, const std::string& shown,
                   tool::FileRecord& record);
  // The outcome of a sealed result that cannot be put in place (its note
  // printed).
  Outcome sealFailed(io::fs::Replacement::Outcome outcome, const std::string& reason,
                     tool::FileRecord& record);
  // Prints "xmdopt: " and message on err and keeps message for the record.
  void note(tool::FileRecord& record, const std::string& message);
  // Throws StopRequested for the file shown when the run is to stop.
  void checkStop(const std::string& shown) const;

  boost::shared_ptr<io::fs::BaseFileSystem> fileSystem;
  std::string m_root;
  StreamProcessor m_process;
  std::ostream& m_out;
  std::ostream& m_err;
  Settings m_settings;
  std::function<void(std::int64_t, std::int64_t)> m_progress;
  std::string m_shown;                                 // the file's path as the console shows it
  std::unique_ptr<io::fs::Replacement> m_replacement;  // from prepare, until done with
  std::string m_replacedPath;
};

}  // namespace tool
