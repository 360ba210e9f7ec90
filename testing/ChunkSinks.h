// Test support for io::ChunkOutputStream over the two kinds of stream: a
// plain sink (the chunk stream buffers whole chunks over it) and a patchable
// one (lengths patched in place), each keeping what it is given, and a way
// to run the same calls over both and compare what they left. Header-only;
// for the io tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "io/ByteArrayOutputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/IOException.h"
#include "io/PatchableOutputStream.h"
#include "testing/IoTestSupport.h"

#include <gtest/gtest.h>

namespace xmdtest {
namespace chunksinks {

typedef std::vector<unsigned char> Bytes;
typedef std::vector<std::string> Log;

constexpr int kPassOn = io::ChunkOutputStream::kPassOnSize;

inline lang::String str(const std::string& s) { return lang::String(s.c_str()); }

inline io::IOException writeFailure() {
  return io::IOException(lang::Format(lang::String("Failed to write to file: {0}"),
                                      lang::FormatArg(std::string("rec"))));
}

// A plain stream: keeps every write; lengths must be buffered over it.
class PlainSink : public io::OutputStream {
 public:
  int write(const void* src, int size) override {
    const unsigned char* p = static_cast<const unsigned char*>(src);
    bytes.insert(bytes.end(), p, p + size);
    ++writes;
    return size;
  }
  std::string toString() const override { return "result.xmd"; }
  Bytes bytes;
  int writes = 0;
};

// A patchable stream over memory that keeps a record of its calls and can be
// told to fail them.
class PatchSink : public io::PatchableOutputStream {
 public:
  int write(const void* src, int size) override {
    if (failWrites) throw writeFailure();
    ++writes;
    return m_bytes.write(src, size);
  }
  std::string toString() const override { return "result.xmd"; }
  std::int64_t getPosition() override { return m_bytes.getPosition(); }
  void patch(std::int64_t position, const void* src, int size) override {
    if (failPatches) throw writeFailure();
    m_bytes.patch(position, src, size);
    patches.push_back(position);
  }
  Bytes bytes() const { return Bytes(m_bytes.data(), m_bytes.data() + m_bytes.size()); }

  int writes = 0;
  std::vector<std::int64_t> patches;
  bool failWrites = false;
  bool failPatches = false;

 private:
  io::ByteArrayOutputStream m_bytes{0};
};

// Runs f, adding what it threw (or "nothing thrown") to the log.
template <class F>
void attempt(Log& log, F&& f) {
  log.push_back(thrown(std::forward<F>(f)));
}

typedef std::function<void(io::ChunkOutputStream&, Log&)> Script;

struct Outcome {
  Bytes bytes;
  Log log;
  int buffered;
};

inline Outcome runPlain(const Script& script) {
  PlainSink sink;
  Outcome o;
  {
    io::ChunkOutputStream out(&sink);
    EXPECT_FALSE(out.patchesLengths());
    script(out, o.log);
    o.buffered = out.bufferedSize();
  }
  o.bytes = sink.bytes;
  return o;
}

inline Outcome runPatched(const Script& script, PatchSink& sink) {
  Outcome o;
  {
    io::ChunkOutputStream out(&sink);
    EXPECT_TRUE(out.patchesLengths());
    script(out, o.log);
    o.buffered = out.bufferedSize();
    EXPECT_LE(o.buffered, kPassOn);
  }
  o.bytes = sink.bytes();
  return o;
}

inline Bytes filler(size_t n, int seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(i * 31 + seed);
  return b;
}

}  // namespace chunksinks
}  // namespace xmdtest
