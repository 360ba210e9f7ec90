// DiscardingOutputStream: an output stream that counts the bytes written to
// it and keeps none, for a run that checks files without writing them. It
// takes patches (io::PatchableOutputStream) and drops them too, so a chunk
// stream over it holds no more than its pass-on buffer. One thread.
#pragma once

#include <cstdint>
#include <string>

#include "io/PatchableOutputStream.h"
#include "io/Raise.h"

namespace tool {

class DiscardingOutputStream : public io::PatchableOutputStream {
 public:
  // name: what toString returns (quoted by io error messages).
  explicit DiscardingOutputStream(std::string name) : m_name(std::move(name)) {}

  // Counts size bytes; returns size.
  int write(const void*, int size) override {
    m_count += size;
    return size;
  }
  std::string toString() const override { return m_name; }
  // Returns count().
  std::int64_t getPosition() override { return m_count; }
  // Drops the bytes. Throws io::IOException "Failed to seek file position:
  // {0}" for a range outside the bytes counted, as a kept stream would.
  void patch(std::int64_t position, const void*, int size) override {
    if (position < 0 || size < 0 || position > m_count - size)
      io::detail::raise<io::IOException>("Failed to seek file position: {0}", m_name);
  }
  // Bytes written so far.
  std::int64_t count() const { return m_count; }

 private:
  std::string m_name;
  std::int64_t m_count = 0;
};

}  // namespace tool
