// splitPath: how the driver reads its argument. The path is split at its
// last separator ("/" and backslash count alike) into a directory and a last
// component, and the last component at its last "." into a name and an
// extension (without the dot). A last component without a "." is taken as a
// directory: it is appended to dir (joined by "/" when dir is non-empty) and
// name and ext stay empty.
//
//   D:\data\ship.xmd  ->  dir D:\data        name ship  ext xmd
//   D:\data\models    ->  dir D:\data/models name ""    ext ""
//   D:\data\          ->  dir D:\data/       name ""    ext ""
//   ship.xmd          ->  dir ""             name ship  ext xmd
//   .                 ->  everything empty
//   /ship.xmd         ->  dir /              name ship  ext xmd
// A separator at the very front is kept in dir, so that an absolute path
// stays absolute.
#pragma once

#include <string>

namespace tool {

// dir, name and ext are outputs; the caller passes them empty (dir is left as
// it was when the path has no separator and a dot in it).
void splitPath(const std::string& path, std::string& dir, std::string& name, std::string& ext);

}  // namespace tool
