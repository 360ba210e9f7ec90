#include "tool/ModelProcessor.h"

#include <memory>
#include <utility>

#include "io/PatchableOutputStream.h"
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
    io::ChunkInputStream chunkIn(&watched);
    {
      // Over a stream that takes patches the chunk stream writes through and
      // fills in each length in place, so no result is held whole in memory.
      io::ChunkOutputStream chunkOut(out.get());
      try {
        accepted = m_process(chunkIn, chunkOut, m_out);
      } catch (...) {
        record.position = chunkIn.getPosition();
        throw;
      }
    }  // the chunk output stream goes first
    const std::int64_t trailing = carryTrailingBytes(watched, *out);
    if (trailing > 0)
      m_err << "xmdopt: " << shown << ": " << trailing
            << " bytes after the top-level chunk carried over unchanged" << std::endl;
    // Results and the check mode's sink both count what they took.
    if (auto* patchable = dynamic_cast<io::PatchableOutputStream*>(out.get()))
      record.bytesAfter = patchable->getPosition();
  }
  // Every byte must have reached the file before it may replace the source:
  // a failed write throws here instead of going unnoticed.
  out->flush();
  out->close();
  return accepted;
}

ModelProcessor::Outcome ModelProcessor::sealFailed(io::fs::Replacement::Outcome outcome,
                                                   const std::string& reason,
                                                   tool::FileRecord& record) {
  switch (outcome) {
    case io::fs::Replacement::kSourceChanged:
      note(record, m_shown + " kept as it is now: it changed or went away while it was processed");
      return kNotProcessed;
    case io::fs::Replacement::kOwnerNotKept:
      note(record,
           m_shown + " kept unchanged: its result cannot be given its owner and group: " + reason);
      return kNotProcessed;
    case io::fs::Replacement::kReplaced:
    case io::fs::Replacement::kFailed:
      break;
  }
  note(record, "cannot replace " + m_shown + " with its result: " + reason);
  return kReplaceFailed;
}

ModelProcessor::Outcome ModelProcessor::commit(tool::FileRecord& record) {
  std::string reason;
  const io::fs::Replacement::Outcome outcome = m_replacement->commit(reason);
  if (outcome != io::fs::Replacement::kReplaced) {
    m_replacement.reset();
    return sealFailed(outcome, reason, record);
  }
  m_replacedPath = m_replacement->replacedPath();
  const unsigned links = m_replacement->sourceLinks();
  m_replacement.reset();
  if (links > 1)
    m_err << "xmdopt: " << m_shown << " had " << links
          << " hard links: only this name holds the result, the others keep the old contents"
          << std::endl;
  return kReplaced;
}

ModelProcessor::Outcome ModelProcessor::prepare(const std::string& relativePath,
                                                tool::FileRecord& record) {
  m_shown = printable(io::fs::Path::ofEntry(m_root, relativePath));
  const std::string& shown = m_shown;
  io::fs::Replacement::Refusal refusal = io::fs::Replacement::kNone;
  m_replacement = fileSystem->openReplacement(relativePath, refusal);
  if (!m_replacement) return refused(refusal, shown, record);
  io::fs::Replacement& replacement = *m_replacement;
  for (const std::string& leftover : replacement.removedLeftovers())
    m_err << "xmdopt: removed " << printable(io::fs::Path::ofEntry(m_root, leftover))
          << ", a result left by an interrupted run" << std::endl;
  record.bytesBefore = replacement.sourceSize();
  bool accepted = false;
  try {
    accepted = writeResult(replacement, shown, record);
    checkStop(shown);
  } catch (const StopRequested& stop) {
    m_replacement.reset();
    throw StopRequested(stop.signal(), shown);
  } catch (...) {
    m_replacement.reset();
    throw;
  }
  if (!accepted) {
    record.bytesAfter = -1;
    m_replacement.reset();
    m_err << "xmdopt: " << shown << " kept unchanged: a model in it failed a check" << std::endl;
    return kKept;
  }
  if (m_settings.check) {
    m_replacement.reset();
    return kChecked;
  }
  if (record.bytesAfter == record.bytesBefore && replacement.resultEqualsSource()) {
    m_replacement.reset();
    return kUnchanged;
  }
  std::string reason;
  const io::fs::Replacement::Outcome sealed = replacement.seal(reason);
  if (sealed == io::fs::Replacement::kReplaced) return kReady;
  m_replacement.reset();
  return sealFailed(sealed, reason, record);
}

ModelProcessor::Outcome ModelProcessor::processFile(const std::string& relativePath,
                                                    tool::FileRecord& record) {
  const Outcome prepared = prepare(relativePath, record);
  return prepared == kReady ? commit(record) : prepared;
}

}  // namespace tool
