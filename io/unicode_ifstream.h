// unicode_ifstream: a standard input stream over a file the runtime opened
// by its wide path (the platform opens non-ANSI paths only that way).
//
// It owns cfile: the destructor closes the stream buffer, then cfile. Reads
// go through a stdio file buffer attached to cfile.
#pragma once

#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <istream>

namespace io {

class unicode_ifstream : public std::istream {
 public:
  // Attaches to cfile (owned from now on; may not be null) with mode | in.
  unicode_ifstream(std::FILE* cfile, std::ios_base::openmode mode);
  ~unicode_ifstream() override;

  unicode_ifstream(const unicode_ifstream&) = delete;
  unicode_ifstream& operator=(const unicode_ifstream&) = delete;

 private:
  std::FILE* m_cfile;
  __gnu_cxx::stdio_filebuf<char> m_buf;
};

}  // namespace io
