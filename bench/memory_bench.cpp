// Peak memory of processing a file whose foreign subchunk is large: the
// helper that bench/memory_bench.sh runs under /usr/bin/time (run by hand,
// never by ctest).
//
//   memory_bench make PATH MIB   writes PATH: top-level chunk "xmd", header
//                                value 1, a foreign "meta" subchunk of MIB
//                                MiB, then one small "model"
//   memory_bench run PATH MODE   processes PATH into PATH.result the way the
//                                tool does (FileInputStream, ChunkInputStream,
//                                ModelStreamProcessor, ChunkOutputStream over
//                                a FileOutputStream); MODE "patched" hands the
//                                chunk stream the file stream itself (lengths
//                                patched in place), "buffered" a plain filter
//                                over it (whole chunks held in memory)
//
// Memory is what the caller measures; this program only does the work, in
// pieces of 1 MiB when it makes the file.
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "io/FilterOutputStream.h"
#include "testing/ChunkBuilder.h"
#include "testing/ModelFixtures.h"
#include "tool/ModelStore.h"
#include "tool/ModelStreamProcessor.h"

namespace {

const int kPiece = 1 << 20;

void write(io::OutputStream& out, const std::vector<uint8_t>& bytes) {
  out.write(bytes.data(), static_cast<int>(bytes.size()));
}

int make(const std::string& path, long mib) {
  if (mib <= 0 || mib > 2000) {
    std::cerr << "memory_bench: MIB must be 1 to 2000\n";
    return 2;
  }
  xmdtest::ChunkBuilder model;
  xmdtest::plainModel(model);
  const long long body = static_cast<long long>(mib) * kPiece;
  const long long top = 1 + (2 + 4 + 4) + body + static_cast<long long>(model.size());
  xmdtest::ChunkBuilder head;
  head.header("xmd", static_cast<int32_t>(top)).integer(1);
  head.header("meta", static_cast<int32_t>(body));

  io::FileOutputStream out(path);
  write(out, head.bytes());
  std::vector<uint8_t> piece(kPiece);
  for (long i = 0; i < mib; ++i) {
    for (int k = 0; k < kPiece; ++k) piece[k] = static_cast<uint8_t>(k * 7 + i);
    write(out, piece);
  }
  write(out, model.bytes());
  out.flush();
  return 0;
}

int run(const std::string& path, const std::string& mode) {
  if (mode != "patched" && mode != "buffered") {
    std::cerr << "memory_bench: MODE is patched or buffered\n";
    return 2;
  }
  // Static, as the tool's: its pages are mapped only as a model touches them.
  static tool::ModelStore store;
  std::ostringstream console;
  tool::ModelStreamProcessor processor(store, console);
  io::FileInputStream file(path);
  io::FileOutputStream result(path + ".result");
  io::FilterOutputStream plain(&result);  // not patchable
  bool passed = false;
  {
    io::ChunkInputStream in(&file);
    io::ChunkOutputStream out(mode == "patched" ? static_cast<io::OutputStream*>(&result) : &plain);
    passed = processor.processStream(in, out);
    std::cout << mode << ": lengths " << (out.patchesLengths() ? "patched" : "buffered")
              << ", result " << result.getPosition() << " bytes, model "
              << (passed ? "passed" : "rejected") << "\n";
  }
  result.flush();
  return passed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc == 4 && command == "make") return make(argv[2], std::atol(argv[3]));
  if (argc == 4 && command == "run") return run(argv[2], argv[3]);
  std::cerr << "usage: memory_bench make PATH MIB | memory_bench run PATH patched|buffered\n";
  return 2;
}
