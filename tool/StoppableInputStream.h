// StoppableInputStream: passes reads on to another input stream, and at each
// read first asks whether the run is to stop; when it is, the read throws
// StopRequested instead. The model processing reads its file through it, so
// a stop signal ends even a long file promptly.
//
// Like every filter it does not own the stream under it. One thread.
#pragma once

#include <functional>

#include "io/FilterInputStream.h"

namespace tool {

class StoppableInputStream : public io::FilterInputStream {
 public:
  // stopSignal returns the number of a caught stop signal, or 0; an empty
  // function never stops.
  StoppableInputStream(io::InputStream* in, std::function<int()> stopSignal);

  // As the stream under it; throws StopRequested (without a file) when the
  // run is to stop.
  int read(void* dest, int size) override;
  int skip(int count) override;

 private:
  // Throws StopRequested when the run is to stop.
  void check() const;

  std::function<int()> m_stopSignal;
};

}  // namespace tool
