#include "tool/Batch.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "io/fs/Path.h"
#include "lang/Throwable.h"
#include "tool/CommandLine.h"
#include "tool/ConsoleLines.h"
#include "tool/Printable.h"
#include "tool/StopRequested.h"
#include "tool/Workers.h"

namespace tool {

namespace {

// The exit status of a run a stop signal ended: this plus the signal's
// number, as a shell reports a process the signal killed (130 for SIGINT,
// 143 for SIGTERM).
constexpr int kStoppedStatus = 128;
// What stops a file read ahead when the run has ended: no signal's number.
constexpr int kDropped = -1;

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
    case ModelProcessor::kReady:  // never left so: finish commits it
      break;
  }
  return tool::FileOutcome::kFailed;
}

}  // namespace

// A file in hand: made when it is handed to a worker, dropped once its
// lines and record were passed on (its destructor abandons a result not put
// in place).
struct Batch::Job {
  explicit Job(const PlannedFile& planned) : file(planned) {
    record.path = io::fs::Path::ofEntry(file.root, file.relativePath);
  }
  const PlannedFile& file;
  tool::FileRecord record;
  std::ostringstream lines;  // the console lines of the processing
  std::ostringstream notes;  // its lines for err
  std::unique_ptr<ModelProcessor> processor;
  ModelProcessor::Outcome outcome = ModelProcessor::kReplaceFailed;
  std::exception_ptr failure;  // what ended its processing, if anything did
};

Batch::Batch(ProcessorMaker makeProcessor, const BatchSettings& settings, std::ostream& out,
             std::ostream& err, tool::Progress& progress, tool::RunReport* report)
    : m_makeProcessor(std::move(makeProcessor)),
      m_settings(settings),
      m_out(out),
      m_err(err),
      m_progress(progress),
      m_report(report) {
  if (m_settings.jobs < 1) m_settings.jobs = 1;
  if (m_settings.groupSize < 1) m_settings.groupSize = 1;
}

Batch::~Batch() = default;

int Batch::run(const std::vector<PlannedFile>& files) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = static_cast<int>(m_processors.size()); i < m_settings.jobs; ++i)
    m_processors.push_back(m_makeProcessor());
  m_files = &files;
  m_jobs.clear();
  m_jobs.resize(files.size());
  bool ended = false;
  {
    Workers workers(m_settings.jobs,
                    [this](std::size_t index, int worker) { prepare(index, worker); });
    // Files handed out ahead of the one to finish: a whole group, and work
    // for every worker while it is put in place.
    const std::size_t ahead = m_settings.groupSize + 2 * static_cast<std::size_t>(m_settings.jobs);
    std::size_t handedOut = 0;
    for (std::size_t i = 0; i < files.size() && !ended; ++i) {
      for (; handedOut < files.size() && handedOut < i + ahead; ++handedOut) {
        m_jobs[handedOut].reset(new Job(files[handedOut]));
        workers.submit(handedOut);
      }
      if (const int signal = stopSignal()) {
        commitGroup();
        stop(StopRequested(signal, std::string()));
        ended = true;
        break;
      }
      workers.wait(i);
      if (!m_jobs[i]->failure) {
        m_group.push_back(i);
        if (m_group.size() >= m_settings.groupSize) commitGroup();
        continue;
      }
      commitGroup();  // every file before it first
      try {
        ended = !finishFailed(*m_jobs[i]);
      } catch (const StopRequested& stopped) {
        stop(stopped);
        ended = true;  // the file in hand is not counted: it was left as it was
      }
      m_jobs[i].reset();
    }
    if (!ended) commitGroup();
    // A stop signal caught after the last file was read still says that the
    // run was interrupted, though every file was done.
    if (!ended && m_stoppedBy == 0) {
      if (const int signal = stopSignal()) stop(StopRequested(signal, std::string()));
    }
    // Files still being read are given up at their next read.
    m_dropAhead = true;
  }  // the workers end first; files handed out and not finished are dropped
  m_dropAhead = false;
  m_group.clear();
  m_jobs.clear();
  m_files = nullptr;
  return close(ended, std::chrono::duration<double>(std::chrono::steady_clock::now() - start));
}

int Batch::close(bool ended, std::chrono::duration<double> time) {
  if (!flushAll()) m_replaceFailed = true;
  m_progress.finish();
  const int status = exitStatus(ended);
  if (m_report) m_report->close(m_tally, m_settings.check, time.count(), status);
  if (!m_settings.quiet)
    m_err << tool::summaryLine(m_tally, time.count(), m_settings.check) << std::endl;
  return status;
}

void Batch::prepare(std::size_t index, int worker) {
  Job& job = *m_jobs[index];
  // One worker works on the batch's own thread, so the progress line can
  // follow it file by file and byte by byte.
  if (m_settings.jobs == 1)
    m_progress.startFile(static_cast<std::int64_t>(index),
                         static_cast<std::int64_t>(m_files->size()), printable(job.record.path), 0);
  try {  // nothing may leave a worker: a failure is the file's, passed on in order
    ModelProcessor::Settings settings;
    settings.check = m_settings.check;
    // A file a worker has in hand when the run ends stops like one a signal
    // stops (it is dropped unreported).
    settings.stopSignal = [this] { return m_dropAhead ? kDropped : stopSignal(); };
    job.processor.reset(new ModelProcessor(job.file.fileSystem, job.file.root,
                                           m_processors[static_cast<std::size_t>(worker)],
                                           job.lines, job.notes, settings));
    if (m_settings.jobs == 1 && m_progress.enabled())
      job.processor->setProgress([this](std::int64_t position, std::int64_t size) {
        m_progress.fileBytes(position, size);
      });
    if (!job.file.failure.empty()) throw std::runtime_error(job.file.failure);
    job.outcome = job.processor->prepare(job.file.relativePath, job.record);
  } catch (...) {
    job.failure = std::current_exception();
  }
}

void Batch::commitGroup() {
  // One flush per volume makes every result of the group durable; where it
  // fails, each result is flushed on its own as it is put in place.
  std::set<std::uint32_t> flushed, failed;
  for (const std::size_t i : m_group) {
    Job& job = *m_jobs[i];
    if (job.outcome != ModelProcessor::kReady) continue;
    const std::uint32_t volume = job.processor->resultVolume();
    if (flushed.count(volume)) {
      job.processor->markDurable();
    } else if (!failed.count(volume)) {
      std::string reason;
      (job.processor->flushVolume(reason) ? flushed : failed).insert(volume);
    }
  }
  for (const std::size_t i : m_group) {
    finish(*m_jobs[i]);
    m_jobs[i].reset();
  }
  if (!m_group.empty() && !flushAll()) m_replaceFailed = true;
  m_group.clear();
}

void Batch::finish(Job& job) {
  m_current = &job.record;
  if (m_settings.jobs > 1)
    m_progress.startFile(m_tally.total(), static_cast<std::int64_t>(m_files->size()),
                         printable(job.record.path), 0);
  if (job.outcome == ModelProcessor::kReady) job.outcome = job.processor->commit(job.record);
  passOn(job);
  job.record.outcome = fileOutcome(job.outcome);
  if (job.outcome == ModelProcessor::kReplaced &&
      !pendingFor(job.file).add(job.processor->replacedPath()))
    m_replaceFailed = true;
  if (job.outcome == ModelProcessor::kNotProcessed || job.outcome == ModelProcessor::kReplaceFailed)
    m_replaceFailed = true;
  m_current = nullptr;
  count(job);
}

bool Batch::finishFailed(Job& job) {
  m_current = &job.record;
  passOn(job);
  m_current = nullptr;
  try {
    std::rethrow_exception(job.failure);
  } catch (const StopRequested&) {
    throw;
  } catch (...) {
    reportFailure(job.record);
  }
  count(job);
  return m_settings.keepGoing;
}

void Batch::passOn(Job& job) {
  tool::ConsoleLines lines([this](const std::string& line) { takeLine(line); });
  const std::string text = job.lines.str();
  lines.sputn(text.data(), static_cast<std::streamsize>(text.size()));
  lines.finish();
  const std::string notes = job.notes.str();
  if (notes.empty()) return;
  m_progress.erase();
  m_err << notes << std::flush;
}

void Batch::count(const Job& job) {
  m_tally.add(job.record);
  if (m_report) m_report->addFile(job.record);
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
