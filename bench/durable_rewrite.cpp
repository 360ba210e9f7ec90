// durable_rewrite: the floor of a durable in-place rewrite, for driver_bench.
//
//   durable_rewrite DIR
//
// Replaces every regular file under DIR by a new file that holds the same
// bytes, the way any tool must that rewrites files and never leaves one half
// written: each copy is created beside its source, written, and takes the
// source's name by rename; the copies' bytes are on the disk before their
// renames, and the renames before the end. As xmdopt's batches do it, per 64
// files: a write-out started for each copy, one syncfs, the renames in order,
// one fsync per directory.
//
// Everything else xmdopt does (reading and checking models, welding, locks,
// link and owner checks, modes) is left out, so the tool's time over this
// one's is what the tool adds to the disk's cost. One thread; Linux only.
// Exits 1 with a message at the first failure.
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kGroup = 64;  // xmdopt's files per flush of the disk

std::vector<std::string> g_files;  // nftw's callback has no context argument

int collect(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_F && S_ISREG(st->st_mode)) g_files.push_back(path);
  return 0;
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "durable_rewrite: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

struct Copy {
  std::string path, temp;
  int fd;
};

// The copy of path beside it, written and its write-out started.
Copy copyBeside(const std::string& path) {
  const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) fail(path);
  Copy copy{path, path + ".durable-rewrite", -1};
  copy.fd = open(copy.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (copy.fd < 0) fail(copy.temp);
  static char buffer[1 << 20];
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0) fail(path);
    if (n == 0) break;
    if (write(copy.fd, buffer, std::size_t(n)) != n) fail(copy.temp);
  }
  close(in);
  if (sync_file_range(copy.fd, 0, 0, SYNC_FILE_RANGE_WRITE) != 0) fail(copy.temp);
  return copy;
}

void commit(std::vector<Copy>& group) {
  if (syncfs(group.front().fd) != 0) fail("syncfs");
  std::set<std::string> directories;
  for (const Copy& copy : group) {
    if (rename(copy.temp.c_str(), copy.path.c_str()) != 0) fail(copy.path);
    close(copy.fd);
    directories.insert(copy.path.substr(0, copy.path.rfind('/')));
  }
  for (const std::string& directory : directories) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) fail(directory);
    close(fd);
  }
  group.clear();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: durable_rewrite DIR\n");
    return 2;
  }
  if (nftw(argv[1], collect, 64, FTW_PHYS) != 0) fail(argv[1]);
  std::sort(g_files.begin(), g_files.end());
  std::vector<Copy> group;
  for (const std::string& path : g_files) {
    group.push_back(copyBeside(path));
    if (group.size() == kGroup) commit(group);
  }
  if (!group.empty()) commit(group);
  return 0;
}
