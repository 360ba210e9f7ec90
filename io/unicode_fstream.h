// unicode_fstream: a standard stream over a file that the runtime opened by
// its wide path (the platform opens non-ANSI paths only that way). The one
// implementation of io::unicode_ifstream (Stream std::istream, direction in)
// and io::unicode_ofstream (std::ostream, out), each in its own header.
//
// It owns cfile: the destructor closes the stream buffer (for output, that
// writes out what is buffered; a failure then is not reported), then cfile.
// Reads and writes go through a stdio file buffer attached to cfile. One
// thread uses a stream at a time.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <ios>

namespace io {

template <class Stream, std::ios_base::openmode kDirection>
class unicode_fstream : public Stream {
 public:
  // Attaches to cfile (owned from now on; may not be null) with
  // mode | kDirection.
  unicode_fstream(std::FILE* cfile, std::ios_base::openmode mode)
      : Stream(nullptr), m_cfile(cfile), m_buf(cfile, mode | kDirection, kBufferSize) {
    this->init(&m_buf);
  }
  ~unicode_fstream() override {
    if (!m_buf.close()) this->setstate(std::ios_base::failbit);
    std::fclose(m_cfile);
  }

  unicode_fstream(const unicode_fstream&) = delete;
  unicode_fstream& operator=(const unicode_fstream&) = delete;

 private:
  // The stdio buffer reads and writes the FILE through its own buffer of
  // this size.
  static constexpr std::size_t kBufferSize = 8192;

  std::FILE* m_cfile;
  __gnu_cxx::stdio_filebuf<char> m_buf;
};

}  // namespace io
