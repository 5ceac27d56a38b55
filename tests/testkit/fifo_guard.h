// Keeps a test that opens a FIFO from hanging should the program wait in that
// open after all: after a while the guard opens the FIFO for writing, which
// lets a waiting reader go on (to an empty input), and says that it had to.
// POSIX only.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace zanthrel::testkit {

class FifoGuard {
 public:
  FifoGuard(std::string path, std::chrono::milliseconds patience = std::chrono::seconds(5));
  // Stops waiting and joins the guard's thread.
  ~FifoGuard();
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;

  // True once the guard had to open the FIFO for a reader that waited.
  bool Unblocked() const { return unblocked_; }

 private:
  void Watch(std::chrono::milliseconds patience);

  std::string path_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::atomic<bool> unblocked_{false};
  std::thread thread_;
};

}  // namespace zanthrel::testkit
