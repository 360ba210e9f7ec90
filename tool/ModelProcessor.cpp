#include "tool/ModelProcessor.h"

#include <memory>
#include <utility>

#include "io/fs/Path.h"
#include "tool/Printable.h"
#include "tool/StopRequested.h"
#include "tool/StoppableInputStream.h"

ModelProcessor::ModelProcessor(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem,
                               const std::string& root, StreamProcessor process, std::ostream& out,
                               std::ostream& err, std::function<int()> stopSignal)
    : fileSystem(fileSystem),
      m_root(root),
      m_process(std::move(process)),
      m_out(out),
      m_err(err),
      m_stopSignal(std::move(stopSignal)) {}

void ModelProcessor::checkStop(const std::string& shown) const {
  if (!m_stopSignal) return;
  if (const int signal = m_stopSignal()) throw StopRequested(signal, shown);
}

ModelProcessor::Outcome ModelProcessor::refused(io::fs::Replacement::Refusal refusal,
                                                const std::string& shown) {
  switch (refusal) {
    case io::fs::Replacement::kNotRegularFile:
      m_err << "xmdopt: skipping " << shown << ": not a regular file" << std::endl;
      return kSkipped;
    case io::fs::Replacement::kLinkLeavesRoot:
      m_err << "xmdopt: skipping " << shown << ": a link to a file outside " << printable(m_root)
            << std::endl;
      return kSkipped;
    case io::fs::Replacement::kBusy:
      m_err << "xmdopt: skipping " << shown << ": another run is processing it" << std::endl;
      return kNotProcessed;
    case io::fs::Replacement::kOutsideRoot:
      m_err << "xmdopt: skipping " << shown << ": its directory now lies outside "
            << printable(m_root) << std::endl;
      return kNotProcessed;
    case io::fs::Replacement::kChangedWhileOpened:
    case io::fs::Replacement::kNone:
      break;
  }
  m_err << "xmdopt: skipping " << shown << ": it changed while it was opened" << std::endl;
  return kNotProcessed;
}

bool ModelProcessor::writeResult(io::fs::Replacement& replacement, const std::string& shown) {
  lang::Ptr<io::OutputStream> out = replacement.createResult();
  m_out << "INFO : processing" << shown << std::endl;
  bool accepted = false;
  {
    lang::Ptr<io::InputStream> in = replacement.input();
    StoppableInputStream stoppable(in.get(), m_stopSignal);
    io::ChunkInputStream chunkIn(&stoppable);
    io::ChunkOutputStream chunkOut(out.get());
    accepted = m_process(chunkIn, chunkOut);
  }  // the chunk output stream goes first, then the input
  // Every byte must have reached the file before it may replace the source:
  // a failed write throws here instead of going unnoticed.
  out->flush();
  out->close();
  return accepted;
}

ModelProcessor::Outcome ModelProcessor::commit(io::fs::Replacement& replacement,
                                               const std::string& shown) {
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
      m_err << "xmdopt: " << shown
            << " kept as it is now: it changed or went away while it was processed" << std::endl;
      return kNotProcessed;
    case io::fs::Replacement::kOwnerNotKept:
      m_err << "xmdopt: " << shown
            << " kept unchanged: its result cannot be given its owner and group: " << reason
            << std::endl;
      return kNotProcessed;
    case io::fs::Replacement::kFailed:
      break;
  }
  m_err << "xmdopt: cannot replace " << shown << " with its result: " << reason << std::endl;
  return kReplaceFailed;
}

ModelProcessor::Outcome ModelProcessor::processFile(const std::string& relativePath) {
  const std::string shown = printable(io::fs::Path::ofEntry(m_root, relativePath));
  io::fs::Replacement::Refusal refusal = io::fs::Replacement::kNone;
  const std::unique_ptr<io::fs::Replacement> replacement =
      fileSystem->openReplacement(relativePath, refusal);
  if (!replacement) return refused(refusal, shown);
  for (const std::string& leftover : replacement->removedLeftovers())
    m_err << "xmdopt: removed " << printable(io::fs::Path::ofEntry(m_root, leftover))
          << ", a result left by an interrupted run" << std::endl;
  bool accepted = false;
  try {
    accepted = writeResult(*replacement, shown);
    checkStop(shown);
  } catch (const StopRequested& stop) {
    replacement->abandon();
    throw StopRequested(stop.signal(), shown);
  } catch (...) {
    replacement->abandon();
    throw;
  }
  if (!accepted) {
    replacement->abandon();
    m_err << "xmdopt: " << shown << " kept unchanged: a model in it failed a check" << std::endl;
    return kKept;
  }
  return commit(*replacement, shown);
}
