// The plan of a run: the paths the user named, turned into the list of files
// to process, in order, before the first file is touched.
//
// A path that names an existing directory is a directory whatever dots its
// name holds; otherwise a last component with a dot names one file (any
// extension) and one without names a directory. A directory stands for
// every .xmd file under it, at any depth, in the walk's order. A file
// reached twice (by two paths, or a path and a walk) is planned once, at its
// first place. An empty path stands for the current directory.
//
// Planning lists directories and asks for file identities; it opens no file.
// One thread.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tool/Batch.h"
#include "tool/DriverEnvironment.h"

namespace tool {

// Returns the files of paths in order. Notes (directories not entered, a
// dotless file that is not processed) go to err. Throws tool::UsageError
// naming a path that does not exist, and what the file system throws for a
// root it cannot take (a path that cannot be converted).
std::vector<PlannedFile> planRun(const std::vector<std::string>& paths,
                                 const DriverEnvironment& env, std::ostream& err);

}  // namespace tool
