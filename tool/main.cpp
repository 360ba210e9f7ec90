// xmdopt: the program entry. The batch itself is runDriver (tool/Driver.h)
// over the model processing of tool/ModelStreamProcessor.h; every failure is
// caught there and rendered on standard error.
#include <iostream>

#include "tool/Driver.h"
#include "tool/ModelStreamProcessor.h"

int main(int argc, char** argv) {
  return runDriver(argc, argv, &processStream, std::cout, std::cerr);
}
