// unicode_ofstream: a standard output stream over a file the runtime opened
// by its wide path; io::unicode_fstream for output (see there for ownership).
#pragma once

#include <ostream>

#include "io/unicode_fstream.h"

namespace io {

class unicode_ofstream : public unicode_fstream<std::ostream, std::ios_base::out> {
 public:
  // Attaches to cfile (owned from now on; may not be null) with mode | out.
  using unicode_fstream::unicode_fstream;
};

}  // namespace io
