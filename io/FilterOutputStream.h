// FilterOutputStream: passes every operation on to another output stream.
//
// Holds a raw pointer to the stream under it and takes no reference: the
// caller keeps that stream alive for as long as the filter is used.
#pragma once

#include "io/OutputStream.h"

namespace io {

class FilterOutputStream : public OutputStream {
 public:
  explicit FilterOutputStream(OutputStream* out) : m_out(out) {}

  void close() override;
  void flush() override;
  int write(const void* src, int size) override;
  std::string toString() const override;

 protected:
  OutputStream* m_out;  // not owned
};

}  // namespace io
