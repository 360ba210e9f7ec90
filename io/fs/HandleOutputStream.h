// io::fs::HandleOutputStream: writes an open file (an io::fs::OpenFile the
// stream shares) through a buffer of its own. Its name, quoted by every io
// error message, is the path the file was reached by.
//
// Bytes reach the file when the buffer fills, at flush() and at close();
// a failed write of the platform is an io exception there. Written bytes can
// be patched in place (io::PatchableOutputStream): positions count from
// where the stream began writing, the file's start for a file opened empty. Bytes still
// buffered when the stream is destroyed without close() are dropped: the
// owner of the file decides whether a half-written file is kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/PatchableOutputStream.h"
#include "io/fs/OpenFile.h"

namespace io {
namespace fs {

class HandleOutputStream : public PatchableOutputStream {
 public:
  explicit HandleOutputStream(std::shared_ptr<OpenFile> file);

  // Writes what is buffered, then stops writing (the file stays open for
  // its other holders). Throws io::IOException "Failed to write to file:
  // {0}" when the buffered bytes cannot be written.
  void close() override;
  // Writes what is buffered. Throws io::IOException "Failed to write to
  // file: {0}".
  void flush() override;
  // Returns size. Throws io::IOException "Failed to write to file: {0}" when
  // the file takes fewer bytes, or after close().
  int write(const void* src, int size) override;
  std::string toString() const override;
  // The bytes written so far, buffered ones included.
  std::int64_t getPosition() override;
  // Overwrites written bytes: in the buffer where they still are, else in
  // the file (the file position is moved there and back). Throws as
  // io::PatchableOutputStream says, and after close().
  void patch(std::int64_t position, const void* src, int size) override;

 private:
  // Writes size bytes straight to the file, or throws.
  void writeThrough(const unsigned char* src, std::size_t size);

  // Large enough for few calls on a big result, small for many small files.
  static constexpr std::size_t kBufferSize = 64 * 1024;

  std::shared_ptr<OpenFile> m_file;  // null once closed
  std::string m_name;
  std::vector<unsigned char> m_buffer;
  std::int64_t m_written = 0;  // bytes handed to the file
};

}  // namespace fs
}  // namespace io
