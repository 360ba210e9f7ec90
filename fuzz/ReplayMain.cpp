// Replays fuzz inputs without libFuzzer, so that the g++ build and ctest run
// every fuzz target over its seed and regression corpora.
//
// Every argument is a file, or a directory whose regular files are replayed
// in name order (names starting with "." are skipped: they keep empty corpus
// folders in the repository). Each input goes through LLVMFuzzerTestOneInput
// exactly as libFuzzer would pass it, in a heap block of exactly its size; a
// fault shows as a crash, an abort or a sanitizer report. Exit status 0 when
// every input ran, 1 when an argument could not be read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Optional, as with libFuzzer: a target that defines it gets it called once.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

bool replayFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.string().c_str());
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  // A heap block of exactly the input's size (none for an empty input), so
  // that AddressSanitizer sees a read one byte past its end.
  std::unique_ptr<uint8_t[]> exact(bytes.empty() ? nullptr : new uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  LLVMFuzzerTestOneInput(exact.get(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  bool ok = true;
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    fs::path arg(argv[i]);
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(arg, ec))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
          files.push_back(entry.path());
      if (ec) {
        std::fprintf(stderr, "replay: cannot list %s\n", arg.string().c_str());
        ok = false;
      }
      std::sort(files.begin(), files.end());
      for (const auto& f : files) {
        std::fprintf(stderr, "replay: %s\n", f.string().c_str());
        ok = replayFile(f) && ok;
        ++count;
      }
    } else {
      ok = replayFile(arg) && ok;
      ++count;
    }
  }
  std::fprintf(stderr, "replay: %zu inputs%s\n", count, ok ? "" : ", some unreadable");
  return ok ? 0 : 1;
}
