// InputStream: the byte-source interface every reader of the system uses.
//
// Streams are lang::Objects, handed around through lang::Ptr and never
// copied. Filters (data and chunk streams) hold a raw pointer to the stream
// under them and do not own it. One thread uses a stream at a time.
#pragma once

#include <string>

#include <boost/noncopyable.hpp>

#include "lang/Object.h"
#include "lang/Ptr.h"

namespace io {

class InputStream : public lang::Object, private boost::noncopyable {
 public:
  InputStream() = default;
  ~InputStream() override = default;

  // A new, independent stream over the same source, or a null pointer when
  // the stream cannot be cloned.
  virtual lang::Ptr<InputStream> clone() = 0;
  // Releases the source. Does nothing here.
  virtual void close();
  // Moves the read position by offset from origin (0 = start, 1 = current,
  // other = end). Returns false when the move failed.
  virtual bool seek(int offset, int origin) = 0;
  // The read position, or -1 when unknown.
  virtual int tell() = 0;
  // seek(0, 0).
  virtual bool rewind();
  // Reads up to size bytes into dest; returns the count read, 0 at the end.
  virtual int read(void* dest, int size) = 0;
  // Reads and drops up to count bytes, 256 at a time; returns the count
  // dropped, less than count only when the source ended.
  virtual int skip(int count);
  // Marks are not supported by any stream of the system: these do nothing.
  virtual void mark(int limit);
  virtual void reset();
  virtual bool markSupported();
  // Bytes left between the read position and the end of the source.
  virtual int available() = 0;
  // The source's name, quoted by every io error message (a file's path).
  virtual std::string toString() const = 0;
};

}  // namespace io
