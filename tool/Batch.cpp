#include "tool/Batch.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <utility>

#include "io/fs/Path.h"
#include "lang/Throwable.h"
#include "tool/CommandLine.h"
#include "tool/ConsoleLines.h"
#include "tool/Printable.h"
#include "tool/StopRequested.h"

namespace tool {

namespace {

// The exit status of a run a stop signal ended: this plus the signal's
// number, as a shell reports a process the signal killed (130 for SIGINT,
// 143 for SIGTERM).
constexpr int kStoppedStatus = 128;

const char kOptimization[] = "INFO - optimization ";
const char kError[] = "ERROR - ";

bool startsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The model a console line of the processing closes, if it closes one.
bool modelOfLine(const std::string& line, tool::ModelRecord& model) {
  if (startsWith(line, kError)) {
    model.accepted = false;
    model.error = line.substr(sizeof kError - 1);
    return true;
  }
  long long before = 0, after = 0;
  if (!startsWith(line, kOptimization) ||
      std::sscanf(line.c_str() + sizeof kOptimization - 1, "%lld -> %lld", &before, &after) != 2)
    return false;
  model.verticesBefore = static_cast<int>(before);
  model.verticesAfter = static_cast<int>(after);
  return true;
}

// The message of the exception being handled.
std::string currentMessage() {
  try {
    throw;
  } catch (const lang::Throwable& t) {
    return lang::toText(t);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}

// The outcome of a file in the report's words.
tool::FileOutcome fileOutcome(ModelProcessor::Outcome outcome) {
  switch (outcome) {
    case ModelProcessor::kReplaced:
    case ModelProcessor::kChecked:
      return tool::FileOutcome::kReplaced;
    case ModelProcessor::kUnchanged:
      return tool::FileOutcome::kUnchanged;
    case ModelProcessor::kKept:
      return tool::FileOutcome::kKept;
    case ModelProcessor::kSkipped:
      return tool::FileOutcome::kSkipped;
    case ModelProcessor::kNotProcessed:
    case ModelProcessor::kReplaceFailed:
      break;
  }
  return tool::FileOutcome::kFailed;
}

}  // namespace

Batch::Batch(ModelProcessor::StreamProcessor process, const BatchSettings& settings,
             std::ostream& out, std::ostream& err, tool::Progress& progress,
             tool::RunReport* report)
    : m_process(std::move(process)),
      m_settings(settings),
      m_out(out),
      m_err(err),
      m_progress(progress),
      m_report(report) {}

int Batch::run(const std::vector<PlannedFile>& files) {
  const auto start = std::chrono::steady_clock::now();
  bool ended = false;
  for (std::size_t i = 0; i < files.size() && !ended; ++i) {
    tool::FileRecord record;
    record.path = io::fs::Path::ofEntry(files[i].root, files[i].relativePath);
    if (const int signal = stopSignal()) {
      stop(StopRequested(signal, std::string()));
      break;
    }
    m_progress.startFile(static_cast<std::int64_t>(i), static_cast<std::int64_t>(files.size()),
                         printable(record.path), 0);
    try {
      ended = !processOne(files[i], record);
    } catch (const StopRequested& stopped) {
      stop(stopped);
      ended = true;  // the file in hand is not counted: it was left as it was
      continue;
    }
    m_tally.add(record);
    if (m_report) m_report->addFile(record);
  }
  if (!flushAll()) m_replaceFailed = true;
  m_progress.finish();
  const int status = exitStatus(ended);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (m_report) m_report->close(m_tally, m_settings.check, seconds, status);
  if (!m_settings.quiet)
    m_err << tool::summaryLine(m_tally, seconds, m_settings.check) << std::endl;
  return status;
}

bool Batch::processOne(const PlannedFile& file, tool::FileRecord& record) {
  tool::ConsoleLines lines([this](const std::string& line) { takeLine(line); });
  std::ostream console(&lines);
  m_current = &record;
  ModelProcessor::Settings settings;
  settings.check = m_settings.check;
  settings.stopSignal = m_settings.stopSignal;
  ModelProcessor processor(file.fileSystem, file.root, m_process, console, m_err, settings);
  if (m_progress.enabled())
    processor.setProgress(
        [this](std::int64_t position, std::int64_t size) { m_progress.fileBytes(position, size); });
  bool goOn = true;
  try {
    if (!file.failure.empty()) throw std::runtime_error(file.failure);
    const ModelProcessor::Outcome outcome = processor.processFile(file.relativePath, record);
    record.outcome = fileOutcome(outcome);
    if (outcome == ModelProcessor::kReplaced && !pendingFor(file).add(processor.replacedPath()))
      m_replaceFailed = true;
    if (outcome == ModelProcessor::kNotProcessed || outcome == ModelProcessor::kReplaceFailed)
      m_replaceFailed = true;
  } catch (const StopRequested&) {
    lines.finish();
    m_current = nullptr;
    throw;
  } catch (...) {
    lines.finish();
    reportFailure(record);
    goOn = m_settings.keepGoing;
  }
  lines.finish();
  m_current = nullptr;
  return goOn;
}

void Batch::reportFailure(tool::FileRecord& record) {
  record.outcome = tool::FileOutcome::kFailed;
  record.bytesAfter = -1;
  record.failure = currentMessage();
  std::string line = "xmdopt: ";
  if (record.failure.find(record.path) == std::string::npos) line += record.path + ": ";
  line = printable(line + record.failure);
  if (record.position >= 0) line += " (byte " + std::to_string(record.position) + ")";
  m_progress.erase();
  m_err << line << std::endl;
}

void Batch::takeLine(const std::string& line) {
  if (m_current != nullptr) {
    tool::ModelRecord model;
    model.index = static_cast<int>(m_current->models.size());
    if (modelOfLine(line, model)) m_current->models.push_back(model);
  }
  if (m_settings.quiet && !startsWith(line, kError)) return;
  m_progress.erase();
  m_out << line << std::endl;
}

PendingDirectories& Batch::pendingFor(const PlannedFile& file) {
  std::unique_ptr<PendingDirectories>& pending = m_pending[file.fileSystem.get()];
  if (!pending) pending.reset(new PendingDirectories(*file.fileSystem, file.root, m_err));
  return *pending;
}

bool Batch::flushAll() {
  bool ok = true;
  for (auto& entry : m_pending) ok = entry.second->flush() && ok;
  return ok;
}

void Batch::stop(const StopRequested& stopped) {
  m_stoppedBy = stopped.signal();
  m_progress.erase();
  m_out.flush();
  m_err << "xmdopt: " << printable(stopped.what()) << std::endl;
}

int Batch::exitStatus(bool ended) const {
  if (m_stoppedBy != 0) return kStoppedStatus + m_stoppedBy;
  if (ended || m_replaceFailed || m_tally.count(tool::FileOutcome::kFailed) > 0)
    return tool::kExitFailed;
  if (m_settings.check && m_tally.anyRejected) return tool::kExitRejected;
  return tool::kExitDone;
}

}  // namespace tool
