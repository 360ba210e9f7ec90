#include "tool/Batch.h"

#include <utility>

#include "tool/StopRequested.h"

Batch::Batch(const boost::shared_ptr<io::fs::BaseFileSystem>& fileSystem, const std::string& root,
             ModelProcessor::StreamProcessor process, std::ostream& out, std::ostream& err,
             std::function<int()> stopSignal)
    : m_fileSystem(fileSystem),
      m_root(root),
      m_process(std::move(process)),
      m_out(out),
      m_err(err),
      m_stopSignal(std::move(stopSignal)),
      m_pending(*fileSystem, root, err) {}

bool Batch::run(const std::vector<std::string>& files) {
  bool ok = true;
  for (const std::string& file : files) {
    if (const int signal = m_stopSignal ? m_stopSignal() : 0) {
      m_pending.flush();
      throw StopRequested(signal, std::string());
    }
    ok = processOne(file) && ok;
  }
  return m_pending.flush() && ok;
}

bool Batch::processOne(const std::string& relativePath) {
  ModelProcessor processor(m_fileSystem, m_root, m_process, m_out, m_err, m_stopSignal);
  try {
    switch (processor.processFile(relativePath)) {
      case ModelProcessor::kReplaced:
        return m_pending.add(processor.replacedPath());
      case ModelProcessor::kKept:
      case ModelProcessor::kSkipped:
        return true;
      case ModelProcessor::kNotProcessed:
      case ModelProcessor::kReplaceFailed:
        return false;
    }
  } catch (...) {
    m_pending.flush();  // what was done stays done
    throw;
  }
  return false;
}
