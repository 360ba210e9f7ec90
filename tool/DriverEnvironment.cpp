#include "tool/DriverEnvironment.h"

#include <fstream>
#include <iostream>
#include <stdexcept>
#include <vector>

#include <thread>

#include <boost/make_shared.hpp>

#include "io/fs/FilesFileSystem.h"
#include "platform/Console.h"
#include "platform/Process.h"
#include "platform/Signals.h"

namespace tool {

namespace {

std::string processCurrentDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    const platform::DWORD n =
        ::platform::GetCurrentDirectoryA(static_cast<platform::DWORD>(buffer.size()), &buffer[0]);
    if (n == 0) throw std::runtime_error("Cannot read the current directory.");
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(n);  // n is the size it needs; the directory may have grown since
  }
}

}  // namespace

DriverEnvironment DriverEnvironment::real() {
  DriverEnvironment env;
  env.fileSystemAt = [](const std::string& root) -> boost::shared_ptr<io::fs::BaseFileSystem> {
    return boost::make_shared<io::fs::FilesFileSystem>(root);
  };
  env.currentDirectory = processCurrentDirectory;
  env.errorIsTerminal = platform::StandardErrorIsConsole;
  env.openList = [](const std::string& name) -> std::shared_ptr<std::istream> {
    if (name == "-") return std::shared_ptr<std::istream>(&std::cin, [](std::istream*) {});
    auto file = std::make_shared<std::ifstream>(name, std::ios::binary);
    if (!*file) return nullptr;
    return file;
  };
  env.stopSignal = ::platform::caughtStopSignal;
  env.processorCount = [] { return static_cast<int>(std::thread::hardware_concurrency()); };
  return env;
}

}  // namespace tool
