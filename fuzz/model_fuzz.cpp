// Fuzz target: processStream over arbitrary bytes, through in-memory streams.
//
// Input: the bytes of a model file. The processor is made as the batch
// tool's main makes it: one model store, reused from model to model and
// from input to input as from file to file; its console lines go nowhere (to standard
// output when XMD_FUZZ_CONSOLE is set, to see what a replayed input does).
//
// On every input processStream must either complete or throw one of the
// system's exceptions (the lang::Throwable hierarchy, or the standard length
// and runtime errors of the streams and text conversions); anything else, a
// crash or a sanitizer report is a fault. When it completes:
// - its output is a well-formed chunk container: one top-level chunk with
//   the input's name (as the string encoding writes it back: a name whose
//   bytes are not valid UTF-8 comes back as the text they decode to) and
//   header value, whole subchunks inside it, nothing after it;
// - it holds the input's subchunks in their order, each foreign one byte for
//   byte, each "model" again a "model";
// - a second pass over it completes and reproduces it byte for byte (a
//   processed file is already welded, so processing it again changes
//   nothing).
#include <algorithm>
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

// The fuzzer calls in once per input: the store and the processor live for
// the whole run here, as the tool's main keeps them from file to file.
tool::ModelStreamProcessor& processor() {
  static NullBuffer buffer;
  static std::ostream console(std::getenv("XMD_FUZZ_CONSOLE") ? std::cout.rdbuf() : &buffer);
  static tool::ModelStore* store = new tool::ModelStore();
  static tool::ModelStreamProcessor* p = new tool::ModelStreamProcessor(*store, console);
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

// One subchunk of a top-level chunk: its name and where it lies.
struct Child {
  lang::String name;
  int start;
  int end;
};

// Reads the top-level chunk's header and the headers of its subchunks.
// Throws what the chunk stream throws.
std::vector<Child> children(const Bytes& bytes, lang::String& name, int& header, int& end) {
  io::ByteArrayInputStream src(bytes, "container");
  io::ChunkInputStream in(&src);
  in.beginChunk(name, end);
  header = in.readInt();
  std::vector<Child> list;
  while (in.getPosition() < end) {
    Child c;
    c.start = in.beginChunk(c.name, c.end);
    in.endChunk(c.end);
    list.push_back(c);
  }
  return list;
}

// The output's framing: one top-level chunk with the input's name and header
// value, subchunks wholly inside it, nothing after it; the input's
// subchunks in their order, each foreign one byte for byte, each "model"
// again a "model".
void checkContainer(const Bytes& input, const Bytes& output) {
  lang::String inName, name;
  int inHeader = 0, header = 0, inEnd = 0, end = 0;
  std::vector<Child> inChildren, outChildren;
  try {
    inChildren = children(input, inName, inHeader, inEnd);
  } catch (const lang::Throwable& e) {
    fail("processStream completed over a container that does not read: " + lang::toText(e));
  }
  try {
    outChildren = children(output, name, header, end);
  } catch (const lang::Throwable& e) {
    fail("the result is no well-formed chunk container: " + lang::toText(e));
  }
  if (name != rewritten(inName)) fail("the result's top-level chunk has another name");
  if (header != inHeader) fail("the result's header value differs");
  if (end != static_cast<int>(output.size()))
    fail("the result's top-level chunk is not the whole result");
  if (outChildren.size() != inChildren.size()) fail("the result has another number of subchunks");
  for (size_t i = 0; i < inChildren.size(); ++i) {
    const Child& a = inChildren[i];
    const Child& b = outChildren[i];
    if (b.end > end) fail("a subchunk of the result runs past its top-level chunk");
    if (a.name == "model") {
      if (b.name != "model") fail("a model's place in the result holds another chunk");
      continue;
    }
    const bool same =
        b.end - b.start == a.end - a.start && a.end <= static_cast<int>(input.size()) &&
        std::equal(input.begin() + a.start, input.begin() + a.end, output.begin() + b.start);
    if (!same) fail("a foreign subchunk is not copied byte for byte");
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
