#include "tool/Driver.h"

#include <chrono>
#include <exception>
#include <fstream>
#include <memory>
#include <algorithm>
#include <string>
#include <vector>

#include "lang/Throwable.h"
#include "platform/PlatformName.h"
#include "tool/Batch.h"
#include "tool/CommandLine.h"
#include "tool/Printable.h"
#include "tool/RunPlan.h"

namespace tool {

#ifndef XMDOPT_VERSION
#define XMDOPT_VERSION "0.0.0"
#endif

namespace {

int usageError(std::ostream& err, const std::string& message) {
  err << "xmdopt: " << printable(message) << "\n" << tool::kUsageLine << std::flush;
  return tool::kExitUsage;
}

// The paths to process: those on the command line, then those of the list.
// Throws tool::UsageError when the list cannot be read.
std::vector<std::string> pathsOf(const tool::CommandLine& cl, const DriverEnvironment& env) {
  std::vector<std::string> paths = cl.paths;
  if (!cl.filesFrom.empty()) {
    std::shared_ptr<std::istream> list = env.openList ? env.openList(cl.filesFrom) : nullptr;
    if (!list) throw tool::UsageError(cl.filesFrom + ": cannot open the list of paths");
    for (std::string& p : tool::readPathList(*list, cl.nullSeparated)) paths.push_back(p);
  } else if (paths.empty()) {
    paths.push_back("");  // the current directory
  }
  return paths;
}

// The whole run after the command line was read; returns the exit status,
// throws what ends it before the first file.
int run(const tool::CommandLine& cl, const Batch::ProcessorMaker& makeProcessor, std::ostream& out,
        std::ostream& err, const DriverEnvironment& env) {
  const std::vector<PlannedFile> files = planRun(pathsOf(cl, env), env, err);
  std::ofstream reportFile;
  std::unique_ptr<tool::RunReport> report;
  if (!cl.report.empty()) {
    reportFile.open(cl.report, std::ios::binary | std::ios::trunc);
    if (!reportFile) throw tool::UsageError(cl.report + ": cannot write the report");
    report.reset(new tool::RunReport(reportFile));
  }
  const auto start = std::chrono::steady_clock::now();
  tool::Progress progress(err, env.errorIsTerminal && env.errorIsTerminal(), [start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  });
  BatchSettings settings;
  settings.check = cl.check;
  settings.keepGoing = cl.keepGoing;
  settings.quiet = cl.quiet;
  settings.stopSignal = env.stopSignal;
  settings.jobs =
      cl.jobs > 0 ? cl.jobs : std::max(1, env.processorCount ? env.processorCount() : 1);
  Batch batch(makeProcessor, settings, out, err, progress, report.get());
  const int status = batch.run(files);
  out.flush();
  return status;
}

}  // namespace

int runDriver(int argc, const char* const* argv, const ModelProcessor::StreamProcessor& process,
              std::ostream& out, std::ostream& err, const DriverEnvironment& env) {
  return runDriver(
      argc, argv, [process] { return process; }, out, err, env);
}

int runDriver(int argc, const char* const* argv, const Batch::ProcessorMaker& makeProcessor,
              std::ostream& out, std::ostream& err, const DriverEnvironment& env) {
  tool::CommandLine cl;
  try {
    cl = tool::parseCommandLine(argc, argv);
  } catch (const tool::UsageError& e) {
    return usageError(err, e.what());
  }
  if (cl.help) {
    out << tool::kUsage << std::flush;
    return tool::kExitDone;
  }
  if (cl.version) {
    out << "xmdopt " << XMDOPT_VERSION << " (" << platform::name() << ")" << std::endl;
    return tool::kExitDone;
  }
  // Messages may quote names: they are printed with their control
  // characters escaped.
  try {
    return run(cl, makeProcessor, out, err, env);
  } catch (const tool::UsageError& e) {
    return usageError(err, e.what());
  } catch (const lang::Throwable& t) {
    err << "xmdopt: " << printable(lang::toText(t)) << std::endl;
  } catch (const std::exception& e) {
    err << "xmdopt: " << printable(e.what()) << std::endl;
  } catch (...) {
    err << "xmdopt: unknown failure" << std::endl;
  }
  out.flush();
  return tool::kExitFailed;
}

}  // namespace tool
