#include "io/FileOutputStream.h"

#include <cstdio>
#include <fstream>

#include "io/FileNotFoundException.h"
#include "io/Raise.h"
#include "io/unicode_ofstream.h"
#include "lang/TextConversion.h"

namespace io {

namespace {

const std::ios_base::iostate kFailed = std::ios_base::failbit | std::ios_base::badbit;

boost::shared_ptr<std::ostream> checkOpen(boost::shared_ptr<std::ostream> stream,
                                          const std::string& name) {
  if (!stream || (stream->rdstate() & kFailed))
    detail::raise<FileNotFoundException>("Failed to open file for writing: {0}", name);
  return stream;
}

}  // namespace

FileOutputStream::FileOutputStream(const std::string& path) {
  boost::shared_ptr<std::ostream> stream(
      new std::ofstream(path, std::ios_base::out | std::ios_base::binary));
  m_file.reset(new FileRecord{path, checkOpen(stream, path)});
}

FileOutputStream::FileOutputStream(const std::u16string& widePath) {
  std::string name = lang::wideToAnsi(widePath);
  boost::shared_ptr<std::ostream> stream;
  if (std::FILE* cfile = std::fopen(name.c_str(), "wb"))
    stream.reset(new unicode_ofstream(cfile, std::ios_base::binary));
  m_file.reset(new FileRecord{name, checkOpen(stream, name)});
}

FileOutputStream::~FileOutputStream() = default;

void FileOutputStream::close() { m_file->stream.reset(); }

void FileOutputStream::flush() {
  if (!m_file->stream) return;
  std::ostream& s = *m_file->stream;
  s.flush();
  if (s.rdstate() & kFailed)
    detail::raise<IOException>("Cannot flush file output stream: {0}", m_file->name);
}

int FileOutputStream::write(const void* src, int size) {
  if (!m_file->stream) detail::raise<IOException>("Failed to write to file: {0}", m_file->name);
  if (size <= 0) return 0;
  std::ostream& s = *m_file->stream;
  if (!(s.rdstate() & kFailed)) {
    // sputn is what ostream::write does without the sentry.
    if (s.rdbuf()->sputn(static_cast<const char*>(src), size) != size)
      s.setstate(std::ios_base::badbit);
  }
  if (s.rdstate() & kFailed)
    detail::raise<IOException>("Failed to write to file: {0}", m_file->name);
  return size;
}

std::int64_t FileOutputStream::getPosition() {
  std::streamoff position = -1;
  if (m_file->stream)
    position = m_file->stream->rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::out);
  if (position < 0) detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  return position;
}

void FileOutputStream::patch(std::int64_t position, const void* src, int size) {
  if (!m_file->stream || (m_file->stream->rdstate() & kFailed))
    detail::raise<IOException>("Failed to write to file: {0}", m_file->name);
  const std::int64_t end = getPosition();
  if (position < 0 || size < 0 || position > end - size)
    detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  if (size == 0) return;
  std::ostream& s = *m_file->stream;
  std::streambuf& buffer = *s.rdbuf();
  const std::ios_base::openmode out = std::ios_base::out;
  // Once the put position is in doubt, no later write may land anywhere.
  if (std::streamoff(buffer.pubseekpos(position, out)) != position) {
    s.setstate(std::ios_base::badbit);
    detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  }
  const bool taken = buffer.sputn(static_cast<const char*>(src), size) == size;
  if (std::streamoff(buffer.pubseekpos(end, out)) != end) {
    s.setstate(std::ios_base::badbit);
    detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  }
  if (!taken) {
    s.setstate(std::ios_base::badbit);
    detail::raise<IOException>("Failed to write to file: {0}", m_file->name);
  }
}

std::string FileOutputStream::toString() const { return m_file->name; }

}  // namespace io
