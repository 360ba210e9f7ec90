#include "io/unicode_ifstream.h"
#include "io/unicode_ofstream.h"

namespace io {

// The stdio buffer reads and writes the FILE through its own 8 KiB buffer.
static const std::size_t kBufferSize = 8192;

unicode_ifstream::unicode_ifstream(std::FILE* cfile, std::ios_base::openmode mode)
    : std::istream(nullptr), m_cfile(cfile), m_buf(cfile, mode | std::ios_base::in, kBufferSize) {
  init(&m_buf);
}

unicode_ifstream::~unicode_ifstream() {
  if (!m_buf.close()) setstate(std::ios_base::failbit);
  std::fclose(m_cfile);
}

unicode_ofstream::unicode_ofstream(std::FILE* cfile, std::ios_base::openmode mode)
    : std::ostream(nullptr), m_cfile(cfile), m_buf(cfile, mode | std::ios_base::out, kBufferSize) {
  init(&m_buf);
}

unicode_ofstream::~unicode_ofstream() {
  if (!m_buf.close()) setstate(std::ios_base::failbit);
  std::fclose(m_cfile);
}

}  // namespace io
