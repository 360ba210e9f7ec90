// xmdopt: the program entry. The batch itself is runDriver (tool/Driver.h)
// over the model processing of tool/ModelStreamProcessor.h; every failure is
// caught there and rendered on standard error.
#include <iostream>

#include "platform/Process.h"
#include "platform/Signals.h"
#include "tool/Driver.h"
#include "tool/ModelStreamProcessor.h"

int main(int argc, char** argv) {
  // Every file the tool creates is a result that takes its source's
  // permissions when it replaces it (or is removed); until then nobody else
  // may read it, whatever the source allowed.
  platform::_umask(077);
  // SIGINT and SIGTERM end the run cleanly: the file in hand is left as it
  // was, its result removed.
  platform::catchStopSignals();
  return runDriver(argc, argv, &processStream, std::cout, std::cerr);
}
