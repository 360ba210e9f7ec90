// unicode_ofstream: a standard output stream over a file the runtime opened
// by its wide path (the platform opens non-ANSI paths only that way).
//
// It owns cfile: the destructor closes the stream buffer (which writes out
// what is buffered; a failure then is not reported), then cfile.
#pragma once

#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <ostream>

namespace io {

class unicode_ofstream : public std::ostream {
 public:
  // Attaches to cfile (owned from now on; may not be null) with mode | out.
  unicode_ofstream(std::FILE* cfile, std::ios_base::openmode mode);
  ~unicode_ofstream() override;

  unicode_ofstream(const unicode_ofstream&) = delete;
  unicode_ofstream& operator=(const unicode_ofstream&) = delete;

 private:
  std::FILE* m_cfile;
  __gnu_cxx::stdio_filebuf<char> m_buf;
};

}  // namespace io
