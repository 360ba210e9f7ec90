// unicode_ifstream: a standard input stream over a file the runtime opened
// by its wide path; io::unicode_fstream for input (see there for ownership).
#pragma once

#include <istream>

#include "io/unicode_fstream.h"

namespace io {

class unicode_ifstream : public unicode_fstream<std::istream, std::ios_base::in> {
 public:
  // Attaches to cfile (owned from now on; may not be null) with mode | in.
  using unicode_fstream::unicode_fstream;
};

}  // namespace io
