#include "tool/ModelProcessor.h"

#include <memory>
#include <utility>

#include "io/FilterOutputStream.h"
#include "io/fs/Path.h"
#include "tool/DiscardingOutputStream.h"
#include "tool/Printable.h"
#include "tool/ProgressInputStream.h"
#include "tool/StopRequested.h"
#include "tool/StoppableInputStream.h"

namespace tool {

namespace {

// Bytes of the source that the processing did not read (those after the
// top-level chunk) go to the result as they are; returns their count.
std::int64_t carryTrailingBytes(io::InputStream& in, io::OutputStream& out) {
  char buffer[64 * 1024];
  std::int64_t total = 0;
  for (int n; (n = in.read(buffer, sizeof buffer)) > 0; total += n) out.write(buffer, n);
  return total;
}

// Passes every byte on to the stream under it and counts them.
class CountingOutputStream : public io::FilterOutputStream {
 public:
  explicit CountingOutputStream(io::OutputStream* out) : io::FilterOutputStream(out) {}
  int write(const void* src, int size) override {
    const int n = m_out->write(src, size);
    m_count += n;
    return n;
  }
  std::int64_t count() const { return m_count; }

 private:
  std::int64_t m_count = 0;
};

}  // namespace

ModelProcessor::ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                               const std::string& root, StreamProcessor process, std::ostream& out,
                               std::ostream& err, Settings settings)
    : fileSystem(fileSystem),
      m_root(root),
      m_process(std::move(process)),
      m_out(out),
      m_err(err),
      m_settings(std::move(settings)) {}

void ModelProcessor::checkStop(const std::string& shown) const {
  if (!m_settings.stopSignal) return;
  if (const int signal = m_settings.stopSignal()) throw StopRequested(signal, shown);
}

void ModelProcessor::note(tool::FileRecord& record, const std::string& message) {
  record.failure = message;
  m_err << "xmdopt: " << message << std::endl;
}

ModelProcessor::Outcome ModelProcessor::refused(io::fs::Replacement::Refusal refusal,
                                                const std::string& shown,
                                                tool::FileRecord& record) {
  switch (refusal) {
    case io::fs::Replacement::kNotRegularFile:
      note(record, "skipping " + shown + ": not a regular file");
      return kSkipped;
    case io::fs::Replacement::kLinkLeavesRoot:
      note(record, "skipping " + shown + ": a link to a file outside " + printable(m_root));
      return kSkipped;
    case io::fs::Replacement::kBusy:
      note(record, "skipping " + shown + ": another run is processing it");
      return kNotProcessed;
    case io::fs::Replacement::kOutsideRoot:
      note(record, "skipping " + shown + ": its directory now lies outside " + printable(m_root));
      return kNotProcessed;
    case io::fs::Replacement::kChangedWhileOpened:
    case io::fs::Replacement::kNone:
      break;
  }
  note(record, "skipping " + shown + ": it changed while it was opened");
  return kNotProcessed;
}

bool ModelProcessor::writeResult(io::fs::Replacement& replacement, const std::string& shown,
                                 tool::FileRecord& record) {
  lang::Ptr<io::OutputStream> out =
      m_settings.check ? lang::Ptr<io::OutputStream>(new DiscardingOutputStream(shown))
                       : replacement.createResult();
  m_out << "INFO : processing" << shown << std::endl;
  bool accepted = false;
  lang::Ptr<io::InputStream> in = replacement.input();
  {
    StoppableInputStream stoppable(in.get(), m_settings.stopSignal);
    const std::int64_t size = record.bytesBefore;
    tool::ProgressInputStream watched(&stoppable, [this, size](std::int64_t position) {
      if (m_progress) m_progress(position, size);
    });
    CountingOutputStream counted(out.get());
    io::ChunkInputStream chunkIn(&watched);
    {
      io::ChunkOutputStream chunkOut(&counted);
      try {
        accepted = m_process(chunkIn, chunkOut, m_out);
      } catch (...) {
        record.position = chunkIn.getPosition();
        throw;
      }
    }  // the chunk output stream goes first
    const std::int64_t trailing = carryTrailingBytes(watched, counted);
    if (trailing > 0)
      m_err << "xmdopt: " << shown << ": " << trailing
            << " bytes after the top-level chunk carried over unchanged" << std::endl;
    record.bytesAfter = counted.count();
  }
  // Every byte must have reached the file before it may replace the source:
  // a failed write throws here instead of going unnoticed.
  out->flush();
  out->close();
  return accepted;
}

ModelProcessor::Outcome ModelProcessor::commit(io::fs::Replacement& replacement,
                                               const std::string& shown, tool::FileRecord& record) {
  std::string reason;
  switch (replacement.commit(reason)) {
    case io::fs::Replacement::kReplaced:
      m_replacedPath = replacement.replacedPath();
      if (replacement.sourceLinks() > 1)
        m_err << "xmdopt: " << shown << " had " << replacement.sourceLinks()
              << " hard links: only this name holds the result, the others keep the old contents"
              << std::endl;
      return kReplaced;
    case io::fs::Replacement::kSourceChanged:
      note(record, shown + " kept as it is now: it changed or went away while it was processed");
      return kNotProcessed;
    case io::fs::Replacement::kOwnerNotKept:
      note(record,
           shown + " kept unchanged: its result cannot be given its owner and group: " + reason);
      return kNotProcessed;
    case io::fs::Replacement::kFailed:
      break;
  }
  note(record, "cannot replace " + shown + " with its result: " + reason);
  return kReplaceFailed;
}

ModelProcessor::Outcome ModelProcessor::processFile(const std::string& relativePath,
                                                    tool::FileRecord& record) {
  const std::string shown = printable(io::fs::Path::ofEntry(m_root, relativePath));
  io::fs::Replacement::Refusal refusal = io::fs::Replacement::kNone;
  const std::unique_ptr<io::fs::Replacement> replacement =
      fileSystem->openReplacement(relativePath, refusal);
  if (!replacement) return refused(refusal, shown, record);
  for (const std::string& leftover : replacement->removedLeftovers())
    m_err << "xmdopt: removed " << printable(io::fs::Path::ofEntry(m_root, leftover))
          << ", a result left by an interrupted run" << std::endl;
  record.bytesBefore = replacement->sourceSize();
  bool accepted = false;
  try {
    accepted = writeResult(*replacement, shown, record);
    checkStop(shown);
  } catch (const StopRequested& stop) {
    replacement->abandon();
    throw StopRequested(stop.signal(), shown);
  } catch (...) {
    replacement->abandon();
    throw;
  }
  if (!accepted) {
    record.bytesAfter = -1;
    replacement->abandon();
    m_err << "xmdopt: " << shown << " kept unchanged: a model in it failed a check" << std::endl;
    return kKept;
  }
  if (m_settings.check) return kChecked;
  if (record.bytesAfter == record.bytesBefore && replacement->resultEqualsSource()) {
    replacement->abandon();
    return kUnchanged;
  }
  return commit(*replacement, shown, record);
}

}  // namespace tool
