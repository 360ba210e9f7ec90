#include "tool/CommandLine.h"

#include <CLI/CLI.hpp>

namespace tool {

const char kUsageLine[] = "usage: xmdopt [PATH]... [OPTION]...   (xmdopt --help for more)\n";

const char kUsage[] =
    "usage: xmdopt [PATH]... [OPTION]...\n"
    "Checks xmd model files, merges their duplicate vertices and rewrites each in place.\n"
    "\n"
    "Paths, processed in the order given (a file reached twice is processed once):\n"
    "  (no PATH)     every .xmd file under the current directory, at any depth\n"
    "  DIRECTORY     every .xmd file under DIRECTORY, at any depth; a path that names\n"
    "                an existing directory is one, whatever dots its name holds\n"
    "  FILE.EXT      that one file, whatever its extension; otherwise a path whose\n"
    "                last component has a dot is a file, one without is a directory\n"
    "\n"
    "Options (anywhere on the line; \"--\" ends them):\n"
    "  -n, --check            read, check and weld in memory and print the same lines,\n"
    "                         but write and rename nothing\n"
    "  -k, --keep-going       a file that cannot be processed is reported and the run\n"
    "                         goes on with the next one\n"
    "  -q, --quiet            only ERROR lines on standard output, no summary line\n"
    "  -j, --jobs N           process N files at once (default: one per processor);\n"
    "                         results still take their sources' names in order, and\n"
    "                         the output is the same as with -j 1\n"
    "  --report FILE          one JSON object per file and a closing summary (JSON Lines)\n"
    "  --files-from FILE      read the paths from FILE, one per line (\"-\": standard input)\n"
    "  -0, --null             the --files-from list is separated by NUL bytes\n"
    "  -h, --help             this text\n"
    "  --version              the version and platform\n"
    "\n"
    "Each file is rewritten into a new file beside it (NAME.xmdopt-XXXXXX.result,\n"
    "created exclusively), which then takes the source's name in one step: a file is\n"
    "either left exactly as it was or replaced whole by its complete result. A file\n"
    "in which a model is rejected (its \"ERROR - \" line) is kept unchanged, and so is\n"
    "a file whose result equals it byte for byte. The result keeps the source's owner\n"
    "and group and its permission bits without setuid, setgid and sticky, made\n"
    "writable by its owner; a result that cannot get them is dropped. A file another\n"
    "run holds, or one that changed while it was processed, is kept and reported.\n"
    "Links that lead back into the walk or out of the tree are not followed; a link\n"
    "to a model file inside the tree has its target processed, and stays a link.\n"
    "Anything but a regular file is skipped.\n"
    "\n"
    "Exit status:\n"
    "  0  done: every file processed (files with rejected models kept)\n"
    "  1  a failure ended the run, a replacement failed, a file could not be processed\n"
    "     safely (busy, changed meanwhile, owner not kept), or (with -k) a file failed\n"
    "  2  usage error: nothing was touched\n"
    "  3  with --check: a model would be rejected\n"
    "  130, 143  interrupted (SIGINT, SIGTERM): the file in hand was left as it was\n";

namespace {

void addOptions(CLI::App& app, CommandLine& cl) {
  app.set_help_flag();  // our own text, not the library's
  app.add_flag("-h,--help", cl.help)->disable_flag_override();
  app.add_flag("--version", cl.version)->disable_flag_override();
  app.add_flag("-n,--check", cl.check)->disable_flag_override();
  app.add_flag("-k,--keep-going", cl.keepGoing)->disable_flag_override();
  app.add_flag("-q,--quiet", cl.quiet)->disable_flag_override();
  app.add_flag("-0,--null", cl.nullSeparated)->disable_flag_override();
  app.add_option("-j,--jobs", cl.jobs);
  app.add_option("--report", cl.report);
  app.add_option("--files-from", cl.filesFrom);
  app.add_option("paths", cl.paths);
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine cl;
  CLI::App app("xmdopt", "xmdopt");
  addOptions(app, cl);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  if (app.count("--report") && cl.report.empty()) throw UsageError("--report: empty file name");
  if (app.count("--files-from") && cl.filesFrom.empty())
    throw UsageError("--files-from: empty file name");
  for (const std::string& path : cl.paths)
    if (path.empty()) throw UsageError("an empty path was given (an unset variable?)");
  if (cl.nullSeparated && cl.filesFrom.empty()) throw UsageError("--null needs --files-from");
  if (app.count("--jobs") && (cl.jobs < 1 || cl.jobs > kMaxJobs))
    throw UsageError("--jobs: " + std::to_string(cl.jobs) +
                     " is not a number of workers from 1 to " + std::to_string(kMaxJobs));
  return cl;
}

std::vector<std::string> readPathList(std::istream& in, bool nul) {
  std::vector<std::string> paths;
  std::string entry;
  while (std::getline(in, entry, nul ? '\0' : '\n'))
    if (!entry.empty()) paths.push_back(entry);
  if (in.bad()) throw UsageError("cannot read the list of paths");
  return paths;
}

}  // namespace tool
