// Workers: runs numbered pieces of work on a fixed set of threads, in the
// order they are submitted, for a caller that waits for each in turn.
//
// The caller owns the workers and whatever the work touches; work(index,
// worker) runs on one thread at a time per worker number (0 .. count - 1),
// so per-worker state needs no lock. With one worker no thread is started:
// wait() does the work on the caller's thread. Destroying the workers drops
// the work not started yet and waits for the work under way.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace tool {

class Workers {
 public:
  using Work = std::function<void(std::size_t index, int worker)>;

  // count: the number of workers, at least 1. work must not throw.
  Workers(int count, Work work);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Queues work for index (each index once).
  void submit(std::size_t index);
  // Returns once the work for index (submitted) has run.
  void wait(std::size_t index);

 private:
  void loop(int worker);

  Work m_work;
  std::mutex m_mutex;
  std::condition_variable m_queued;  // work queued, or stopping
  std::condition_variable m_done;    // work done
  std::deque<std::size_t> m_queue;
  std::set<std::size_t> m_finished;  // done and not yet waited for
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};

}  // namespace tool
