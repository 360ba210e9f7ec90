#include "tool/Workers.h"

#include <algorithm>
#include <utility>

namespace tool {

Workers::Workers(int count, Work work) : m_work(std::move(work)) {
  if (count <= 1) return;
  m_threads.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) m_threads.emplace_back([this, i] { loop(i); });
}

Workers::~Workers() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
    m_queue.clear();
  }
  m_queued.notify_all();
  for (std::thread& t : m_threads) t.join();
}

void Workers::submit(std::size_t index) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(index);
  }
  m_queued.notify_one();
}

void Workers::wait(std::size_t index) {
  if (m_threads.empty()) {
    // No threads: the work runs here, in the order submitted.
    for (;;) {
      const auto it = std::find(m_queue.begin(), m_queue.end(), index);
      if (it == m_queue.end()) return;
      const std::size_t next = m_queue.front();
      m_queue.pop_front();
      m_work(next, 0);
    }
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  m_done.wait(lock, [&] { return m_finished.count(index) != 0; });
  m_finished.erase(index);
}

void Workers::loop(int worker) {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_queued.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
    if (m_queue.empty()) return;  // stopping
    const std::size_t index = m_queue.front();
    m_queue.pop_front();
    lock.unlock();
    m_work(index, worker);
    lock.lock();
    m_finished.insert(index);
    m_done.notify_all();
  }
}

}  // namespace tool
