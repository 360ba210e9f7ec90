// OutputStream: the byte-sink interface every writer of the system uses.
//
// Streams are lang::Objects, handed around through lang::Ptr and never
// copied. Filters hold a raw pointer to the stream under them and do not own
// it. One thread uses a stream at a time.
#pragma once

#include <string>

#include <boost/noncopyable.hpp>

#include "lang/Object.h"

namespace io {

class OutputStream : public lang::Object, private boost::noncopyable {
 public:
  OutputStream() = default;
  ~OutputStream() override = default;

  // Releases the sink. Does nothing here.
  virtual void close();
  // Passes buffered bytes on. Does nothing here.
  virtual void flush();
  // Writes size bytes from src; returns size, or throws io::IOException.
  virtual int write(const void* src, int size) = 0;
  // The sink's name, quoted by every io error message (a file's path).
  virtual std::string toString() const = 0;
};

}  // namespace io
