// FilterInputStream: passes every operation on to another input stream.
//
// Holds a raw pointer to the stream under it and takes no reference: the
// caller keeps that stream alive for as long as the filter is used.
#pragma once

#include "io/InputStream.h"

namespace io {

class FilterInputStream : public InputStream {
 public:
  explicit FilterInputStream(InputStream* in) : m_in(in) {}

  // Filters cannot be cloned: always a null pointer.
  lang::Ptr<InputStream> clone() override;
  void close() override;
  bool seek(int offset, int origin) override;
  int tell() override;
  int read(void* dest, int size) override;
  int skip(int count) override;
  int available() override;
  std::string toString() const override;

 protected:
  InputStream* m_in;  // not owned
};

}  // namespace io
