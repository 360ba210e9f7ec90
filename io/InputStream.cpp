#include "io/InputStream.h"

#include <algorithm>

namespace io {

void InputStream::close() {}

bool InputStream::rewind() { return seek(0, 0); }

int InputStream::skip(int count) {
  // Skipping reads and drops; no seek, so it works on any source.
  unsigned char scratch[256];
  int skipped = 0;
  while (skipped < count) {
    int n = read(scratch, std::min(count - skipped, static_cast<int>(sizeof scratch)));
    if (n <= 0) break;
    skipped += n;
  }
  return skipped;
}

void InputStream::mark(int) {}

void InputStream::reset() {}

bool InputStream::markSupported() { return false; }

}  // namespace io
