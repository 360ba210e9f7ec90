// FileInputStream: reads a file through a standard input stream.
//
// The stream owns its file record (the path it was opened with, and the
// standard stream shared through a boost::shared_ptr); the file is closed
// when the record's last holder lets go, or at close().
//
// After close(): read and skip return 0, tell returns -1, available returns
// 0, seek returns false; clone still opens the path afresh.
#pragma once

#include <istream>
#include <memory>
#include <string>

#include <boost/shared_ptr.hpp>

#include "io/InputStream.h"

namespace io {

class FileInputStream : public InputStream {
 public:
  // Opens path in binary mode. Throws io::FileNotFoundException
  // "Failed to open file for reading: {0}" with the path.
  explicit FileInputStream(const std::string& path);
  // Opens a wide (UTF-16) path through an io::unicode_ifstream; the name
  // is the path's narrow form. Throws as above, or the std::exception of
  // lang::wideToAnsi when the path cannot be converted.
  explicit FileInputStream(const std::u16string& widePath);
  ~FileInputStream() override;

  // A new stream over name, opened afresh at the start of the file.
  lang::Ptr<InputStream> clone() override;
  void close() override;
  // Returns true when the move succeeded. A failed seek leaves the stream
  // usable at its previous position.
  bool seek(int offset, int origin) override;
  // The read position (low 32 bits); -1 when closed.
  int tell() override;
  // Returns the count read; 0 at the end of the file (later reads, after a
  // rewind say, work again).
  int read(void* dest, int size) override;
  // Bytes from the read position to the end of the file (low 32 bits).
  // Throws io::IOException "Failed to seek file position: {0}".
  int available() override;
  // The path as passed (narrow form for a wide path).
  std::string toString() const override;

 private:
  struct FileRecord {
    std::string name;
    boost::shared_ptr<std::istream> stream;
  };
  std::unique_ptr<FileRecord> m_file;
};

}  // namespace io
