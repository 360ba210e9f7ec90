// xmdopt: the program entry. The batch itself is runDriver (tool/Driver.h)
// over the model processing of tool/ModelStreamProcessor.h; every failure is
// caught there and rendered on standard error. main owns the one model store
// and the one processor of the run and hands the processor to the driver;
// the processor prints to the same stream as the driver.
#include <iostream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "tool/Driver.h"
#include "tool/ModelStore.h"
#include "tool/ModelStreamProcessor.h"

int main(int argc, char** argv) {
#ifndef _WIN32
  // Every file the tool creates is a result that takes its source's
  // permissions when it replaces it (or is removed); until then nobody else
  // may read it, whatever the source allowed.
  umask(077);
#endif
  std::ostream& out = std::cout;
  // Static storage, named by nothing but main: its 20 MB start as zero pages
  // that the system maps only as models touch them. (Zeroing a heap store
  // touches them all, which costs more than a small run.)
  static tool::ModelStore store;
  tool::ModelStreamProcessor processor(store, out);
  return runDriver(
      argc, argv,
      [&processor](io::ChunkInputStream& in, io::ChunkOutputStream& result) {
        return processor.processStream(in, result);
      },
      out, std::cerr);
}
