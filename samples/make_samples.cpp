// make_samples: writes the bundled sample models under the directory given as
// its argument (samples/ of the repository):
//
//   make_samples samples
//
// The files are committed; run it again only when SampleModels.h changes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "samples/SampleModels.h"

namespace {

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  for (const char* sub : {"/props", "/characters", "/broken"}) {
    std::error_code ec;  // a folder that exists already is fine; writing reports the rest
    std::filesystem::create_directory(dir + sub, ec);
  }
  bool ok = writeFile(dir + "/props/crate.xmd", xmdsamples::crate());
  ok = writeFile(dir + "/characters/walker.xmd", xmdsamples::walker()) && ok;
  ok = writeFile(dir + "/scene.xmd", xmdsamples::scene()) && ok;
  ok = writeFile(dir + "/broken/bad_index.xmd", xmdsamples::badIndex()) && ok;
  return ok ? 0 : 1;
}
