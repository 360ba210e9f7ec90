// ConsoleLines: the stream buffer behind the console stream that the model
// processing writes to. It hands each complete line (without its newline) to
// a sink as soon as the newline is written, so the batch can see every line
// of a file (for the report), filter them (--quiet) and pass them on at once.
// Text after the last newline waits for its newline or for finish().
//
// The sink is called on the writer's thread. Not copyable.
#pragma once

#include <functional>
#include <streambuf>
#include <string>

namespace tool {

class ConsoleLines : public std::streambuf {
 public:
  using Sink = std::function<void(const std::string& line)>;

  explicit ConsoleLines(Sink sink) : m_sink(std::move(sink)) {}
  ConsoleLines(const ConsoleLines&) = delete;
  ConsoleLines& operator=(const ConsoleLines&) = delete;

  // Hands over a last line that has no newline, if any.
  void finish();

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

 private:
  Sink m_sink;
  std::string m_partial;
};

}  // namespace tool
