#include "io/FileInputStream.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "io/FileNotFoundException.h"
#include "io/Raise.h"
#include "io/unicode_ifstream.h"
#include "lang/TextConversion.h"
#include "platform/FileApi.h"

namespace io {

namespace {

const std::ios_base::iostate kFailed = std::ios_base::failbit | std::ios_base::badbit;
// Reads up to this size (single values) skip the buffer's general copy path.
const int kSmallRead = 8;

// Stores the low n bytes of v at dest, lowest first, with one store for the
// usual value sizes.
void storeLittleEndian(void* dest, uint64_t v, int n) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the bytes are gathered lowest first");
  switch (n) {
    case 1: {
      uint8_t x = static_cast<uint8_t>(v);
      std::memcpy(dest, &x, 1);
      break;
    }
    case 2: {
      uint16_t x = static_cast<uint16_t>(v);
      std::memcpy(dest, &x, 2);
      break;
    }
    case 4: {
      uint32_t x = static_cast<uint32_t>(v);
      std::memcpy(dest, &x, 4);
      break;
    }
    case 8:
      std::memcpy(dest, &v, 8);
      break;
    default:
      std::memcpy(dest, &v, static_cast<size_t>(n));
  }
}

// Opens the stream or throws; a null stream stands for a failed wide open.
boost::shared_ptr<std::istream> checkOpen(boost::shared_ptr<std::istream> stream,
                                          const std::string& name) {
  if (!stream || (stream->rdstate() & kFailed))
    detail::raise<FileNotFoundException>("Failed to open file for reading: {0}", name);
  return stream;
}

// A directory opens for reading on this platform (and then reads as
// empty); it is refused like on platforms where opening one fails.
bool isDirectory(const std::string& path) {
  const platform::DWORD attributes = platform::GetFileAttributesA(path.c_str());
  return attributes != platform::INVALID_FILE_ATTRIBUTES &&
         (attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::ios_base::seekdir seekDir(int origin) {
  if (origin == 0) return std::ios_base::beg;
  if (origin == 1) return std::ios_base::cur;
  return std::ios_base::end;
}

}  // namespace

FileInputStream::FileInputStream(const std::string& path) {
  boost::shared_ptr<std::istream> stream;
  if (!isDirectory(path))
    stream.reset(new std::ifstream(path, std::ios_base::in | std::ios_base::binary));
  m_file.reset(new FileRecord{path, checkOpen(stream, path)});
}

FileInputStream::FileInputStream(const std::u16string& widePath) {
  // File names are byte strings here: the wide open is the open of the
  // path's narrow (UTF-8) form.
  std::string name = lang::wideToAnsi(widePath);
  boost::shared_ptr<std::istream> stream;
  if (!isDirectory(name)) {
    if (std::FILE* cfile = std::fopen(name.c_str(), "rb"))
      stream.reset(new unicode_ifstream(cfile, std::ios_base::binary));
  }
  m_file.reset(new FileRecord{name, checkOpen(stream, name)});
}

FileInputStream::~FileInputStream() = default;

lang::Ptr<InputStream> FileInputStream::clone() {
  return lang::Ptr<InputStream>(new FileInputStream(m_file->name));
}

void FileInputStream::close() { m_file->stream.reset(); }

bool FileInputStream::seek(int offset, int origin) {
  if (!m_file || !m_file->stream) return false;
  std::istream& s = *m_file->stream;
  // A failed seek must not leave the stream failed for every later call.
  s.clear();
  s.seekg(offset, seekDir(origin));
  if (s.rdstate() & kFailed) {
    s.clear();
    return false;
  }
  return true;
}

int FileInputStream::tell() {
  if (!m_file || !m_file->stream) return -1;
  return static_cast<int>(static_cast<std::streamoff>(m_file->stream->tellg()));
}

int FileInputStream::read(void* dest, int size) {
  if (!m_file || !m_file->stream || size <= 0) return 0;
  std::istream& s = *m_file->stream;
  if (s.rdstate() & kFailed) return 0;
  // What istream::read does, without the sentry; a short count means the
  // end of the file came first. Values of a few bytes are taken one by one
  // from the buffer, which is inline while it holds data.
  std::streambuf* buf = s.rdbuf();
  if (size <= kSmallRead) {
    // Gathered in a register and stored at once, so that the caller's
    // load of the value is served from that one store.
    uint64_t bytes = 0;
    int n = 0;
    for (; n < size; ++n) {
      int c = buf->sbumpc();
      if (c == std::char_traits<char>::eof()) break;
      bytes |= static_cast<uint64_t>(static_cast<unsigned char>(c)) << (8 * n);
    }
    storeLittleEndian(dest, bytes, n);
    return n;
  }
  return static_cast<int>(buf->sgetn(static_cast<char*>(dest), size));
}

int FileInputStream::available() {
  if (!m_file || !m_file->stream) return 0;
  std::istream& s = *m_file->stream;
  s.clear();
  std::streampos p = s.tellg();
  if (p == std::streampos(-1))
    detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  s.seekg(0, std::ios_base::end);
  std::streampos e = s.tellg();
  if ((s.rdstate() & kFailed) || e == std::streampos(-1))
    detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  s.seekg(p);
  if (s.rdstate() & kFailed)
    detail::raise<IOException>("Failed to seek file position: {0}", m_file->name);
  return static_cast<int>(static_cast<std::streamoff>(e - p));
}

std::string FileInputStream::toString() const { return m_file->name; }

}  // namespace io
