// FileOutputStream: writes a file through a standard output stream.
//
// The stream owns its file record (the path it was opened with, and the
// standard stream shared through a boost::shared_ptr). Opening truncates an
// existing file. Buffered bytes reach the file at flush(), close(), or when
// the record's last holder lets go (errors at that moment are not reported:
// call flush() first to see them).
//
// Written bytes can be patched in place (io::PatchableOutputStream): the
// position is the standard stream's put position, which for the file this
// stream created is the count of bytes written.
//
// After close(): write and patch throw "Failed to write to file: {0}",
// getPosition "Failed to seek file position: {0}"; flush does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "io/PatchableOutputStream.h"

namespace io {

class FileOutputStream : public PatchableOutputStream {
 public:
  // Creates or truncates path, binary mode. Throws io::FileNotFoundException
  // "Failed to open file for writing: {0}" with the path.
  explicit FileOutputStream(const std::string& path);
  // The same for a wide (UTF-16) path through an io::unicode_ofstream; the
  // name is the path's narrow form.
  explicit FileOutputStream(const std::u16string& widePath);
  ~FileOutputStream() override;

  void close() override;
  // Hands buffered bytes to the operating system. Throws io::IOException
  // "Cannot flush file output stream: {0}".
  void flush() override;
  // Returns size. Throws io::IOException "Failed to write to file: {0}"
  // when the file took fewer bytes.
  int write(const void* src, int size) override;
  std::string toString() const override;
  // The put position. Throws io::IOException "Failed to seek file
  // position: {0}" when the stream cannot tell it.
  std::int64_t getPosition() override;
  // Overwrites written bytes and puts the position back. Throws
  // io::IOException "Failed to seek file position: {0}" for a range outside
  // the written bytes or a seek that fails, "Failed to write to file: {0}"
  // when the file takes fewer bytes; after a failure past the range check
  // the stream refuses every later write.
  void patch(std::int64_t position, const void* src, int size) override;

 private:
  struct FileRecord {
    std::string name;
    boost::shared_ptr<std::ostream> stream;
  };
  std::unique_ptr<FileRecord> m_file;
};

}  // namespace io
