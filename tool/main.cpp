// xmdopt: the program entry. The batch itself is runDriver (tool/Driver.h)
// over the model processing of tool/ModelStreamProcessor.h; every failure is
// caught there and rendered on standard error. main owns the one model store
// and the one processor of the run and hands the processor to the driver;
// the processor prints to the same stream as the driver.
#include <cstdlib>
#include <iostream>
#include <new>
#include <memory>
#include <vector>

#include "platform/Process.h"
#include "platform/Signals.h"
#include "tool/Driver.h"
#include "tool/ModelStore.h"
#include "tool/ModelStreamProcessor.h"

int main(int argc, char** argv) {
  // Every file the tool creates is a result that takes its source's
  // permissions when it replaces it (or is removed); until then nobody else
  // may read it, whatever the source allowed.
  platform::_umask(077);
  // SIGINT and SIGTERM end the run cleanly: the file in hand is left as it
  // was, its result removed.
  platform::catchStopSignals();
  std::ostream& out = std::cout;
  // Static storage, named by nothing but main: its 20 MB start as zero pages
  // that the system maps only as models touch them. (Zeroing a heap store
  // touches them all, which costs more than a small run.) The first worker
  // uses it; each further worker gets a store of its own, from calloc for
  // the same reason: its zero pages are mapped only as they are touched.
  static tool::ModelStore store;
  struct StoreDeleter {
    void operator()(tool::ModelStore* s) const {
      s->~ModelStore();
      std::free(s);
    }
  };
  std::vector<std::unique_ptr<tool::ModelStore, StoreDeleter>> moreStores;
  std::vector<std::unique_ptr<tool::ModelStreamProcessor>> processors;
  auto makeProcessor = [&]() -> tool::ModelProcessor::StreamProcessor {
    tool::ModelStore* own = &store;
    if (!processors.empty()) {
      void* zeroed = std::calloc(1, sizeof(tool::ModelStore));
      if (zeroed == nullptr) throw std::bad_alloc();
      // Default-initialised in place: the numbers keep calloc's zeros.
      moreStores.emplace_back(new (zeroed) tool::ModelStore);
      own = moreStores.back().get();
    }
    processors.emplace_back(new tool::ModelStreamProcessor(*own, out));
    tool::ModelStreamProcessor* processor = processors.back().get();
    // Each file's lines go to the console stream the batch hands over for it.
    return [processor](io::ChunkInputStream& in, io::ChunkOutputStream& result,
                       std::ostream& console) {
      processor->setConsole(console);
      return processor->processStream(in, result);
    };
  };
  return tool::runDriver(argc, argv, makeProcessor, out, std::cerr);
}
