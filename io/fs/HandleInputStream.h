// io::fs::HandleInputStream: reads an open file (an io::fs::OpenFile the
// stream shares) through a buffer of its own. Its name, quoted by every io
// error message, is the path the file was reached by.
//
// Reads never block on a regular file; the file system hands only regular
// files to this stream. A move within the bytes already read costs no call
// to the platform. Failures of the platform's read are io exceptions;
// the end of the file is a short count, as for every input stream. After
// close(): read returns 0, tell -1, available 0, seek false. Cannot be
// cloned (a null pointer).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/InputStream.h"
#include "io/fs/OpenFile.h"

namespace io {
namespace fs {

class HandleInputStream : public InputStream {
 public:
  // Reads file from its current position.
  explicit HandleInputStream(std::shared_ptr<OpenFile> file);

  lang::Ptr<InputStream> clone() override;
  // Stops reading; the file itself stays open for its other holders.
  void close() override;
  // Returns true when the move succeeded (also past the end, as for a file);
  // a failed move leaves the position.
  bool seek(int offset, int origin) override;
  // The read position (low 32 bits), or -1 when closed.
  int tell() override;
  // Returns the count read, 0 at the end. Throws io::IOException "Failed to
  // read from file: {0}" when the platform's read fails.
  int read(void* dest, int size) override;
  // Moves forward by count bytes, at most to the end; returns the count.
  int skip(int count) override;
  // Bytes from the read position to the end (low 32 bits), negative past
  // the end, as for the file input stream. Throws io::IOException "Failed
  // to seek file position: {0}".
  int available() override;
  std::string toString() const override;

 private:
  // Refills the buffer from the file; false at the end. Throws as read.
  bool fill();
  // Reads the file position once, when the stream starts; false when the
  // platform cannot tell it.
  bool knowPosition();
  // Reads the file's size once, when first needed (the stream reads a file
  // that is locked against other replacements; one that is written to
  // meanwhile is caught when it is to be replaced); false when the platform
  // cannot tell it.
  bool knowSize();
  // The position of the next byte of the buffer in the file.
  std::int64_t position() const;

  // Large enough that a model's bulk values come in few calls, small enough
  // to be cheap for the many small files of a tree.
  static constexpr std::size_t kBufferSize = 64 * 1024;

  std::shared_ptr<OpenFile> m_file;  // null once closed
  std::string m_name;
  std::vector<unsigned char> m_buffer;
  std::size_t m_begin = 0;       // next unread byte of m_buffer
  std::size_t m_end = 0;         // end of the valid bytes of m_buffer
  std::int64_t m_filePos = 0;    // the file position just after m_buffer's bytes
  bool m_positionKnown = false;  // m_filePos was read from the file
  std::int64_t m_size = -1;      // the file's size; -1 until read
};

}  // namespace fs
}  // namespace io
