// DiscardingOutputStream: an output stream that counts the bytes written to
// it and keeps none, for a run that checks files without writing them.
// One thread.
#pragma once

#include <cstdint>
#include <string>

#include "io/OutputStream.h"

namespace tool {

class DiscardingOutputStream : public io::OutputStream {
 public:
  // name: what toString returns (quoted by io error messages).
  explicit DiscardingOutputStream(std::string name) : m_name(std::move(name)) {}

  // Counts size bytes; returns size.
  int write(const void*, int size) override {
    m_count += size;
    return size;
  }
  std::string toString() const override { return m_name; }
  // Bytes written so far.
  std::int64_t count() const { return m_count; }

 private:
  std::string m_name;
  std::int64_t m_count = 0;
};

}  // namespace tool
