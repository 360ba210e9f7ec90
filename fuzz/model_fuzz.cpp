// Fuzz target: processStream over arbitrary bytes, through in-memory streams.
//
// Input: the bytes of a model file. The processor is the batch tool's: one
// process-wide model store, reused from model to model and from input to
// input as from file to file; its console lines go nowhere (to standard
// output when XMD_FUZZ_CONSOLE is set, to see what a replayed input does).
// On every input processStream must either
// complete or throw one of the system's exceptions (the lang::Throwable
// hierarchy, or the standard length and runtime errors of the streams and
// text conversions); anything else, a crash or a sanitizer report is a fault.
// When it completes, its output must be a well-formed chunk container (one
// top-level chunk with the input's name (as the string encoding writes it
// back: a name whose bytes are not valid UTF-8 comes back as the text they
// decode to), its header value, then whole
// subchunks inside it, nothing after it), and a second pass over the output
// must complete and reproduce the output byte for byte (a processed file is
// already welded, so processing it again changes nothing).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "lang/Throwable.h"
#include "tool/ModelStore.h"
#include "tool/ModelStreamProcessor.h"

namespace {

using Bytes = std::vector<unsigned char>;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "model_fuzz: %s\n", what.c_str());
  std::abort();
}

// Swallows the console lines.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

ModelStreamProcessor& processor() {
  static NullBuffer buffer;
  static std::ostream console(std::getenv("XMD_FUZZ_CONSOLE") ? std::cout.rdbuf() : &buffer);
  static ModelStreamProcessor* p = new ModelStreamProcessor(theModelStore(), console);
  return *p;
}

// Runs processStream over bytes. Returns false when it threw one of the
// system's exceptions; aborts on any other.
bool process(const Bytes& bytes, Bytes& result, std::string& error) {
  io::ByteArrayInputStream src(bytes, "fuzz.xmd");
  io::ByteArrayOutputStream sink(0);
  io::ChunkInputStream in(&src);
  io::ChunkOutputStream out(&sink);
  try {
    processor().processStream(in, out);
  } catch (const lang::Throwable& e) {
    error = lang::toText(e);
    return false;
  } catch (const std::length_error& e) {
    error = e.what();
    return false;
  } catch (const std::runtime_error& e) {
    error = e.what();
    return false;
  }
  result.assign(sink.data(), sink.data() + sink.size());
  return true;
}

// name as writeString and readString give it back.
lang::String rewritten(const lang::String& name) {
  io::ByteArrayOutputStream sink(0);
  {
    io::ChunkOutputStream out(&sink);
    out.beginChunk(name);
    out.endChunk();
  }
  io::ByteArrayInputStream src(Bytes(sink.data(), sink.data() + sink.size()));
  io::ChunkInputStream in(&src);
  lang::String back;
  int end = 0;
  in.beginChunk(back, end);
  return back;
}

// The output's framing: one top-level chunk with the input's name and header
// value, subchunks wholly inside it, nothing after it.
void checkContainer(const Bytes& input, const Bytes& output) {
  try {
    io::ByteArrayInputStream isrc(input, "input");
    io::ChunkInputStream iin(&isrc);
    lang::String inName;
    int inEnd = 0;
    iin.beginChunk(inName, inEnd);
    const int inHeader = iin.readInt();

    io::ByteArrayInputStream src(output, "output");
    io::ChunkInputStream in(&src);
    lang::String name;
    int end = 0;
    in.beginChunk(name, end);
    if (name != rewritten(inName)) fail("the result's top-level chunk has another name");
    if (in.readInt() != inHeader) fail("the result's header value differs");
    if (end != static_cast<int>(output.size())) fail("the result's top-level chunk is not the whole result");
    while (in.getPosition() < end) {
      lang::String child;
      int childEnd = 0;
      in.beginChunk(child, childEnd);
      if (childEnd > end) fail("a subchunk of the result runs past its top-level chunk");
      in.endChunk(childEnd);
    }
    in.endChunk(end);
  } catch (const lang::Throwable& e) {
    fail("the result is no well-formed chunk container: " + lang::toText(e));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Bytes input(data, data + size);
  Bytes first;
  std::string error;
  if (!process(input, first, error)) return 0;
  checkContainer(input, first);
  Bytes second;
  if (!process(first, second, error)) fail("a result does not process again: " + error);
  if (second != first) fail("processing a result again changes it");
  return 0;
}
