#include "testkit/fifo_guard.h"

#include <fcntl.h>
#include <unistd.h>

namespace zanthrel::testkit {

FifoGuard::FifoGuard(std::string path, std::chrono::milliseconds patience)
    : path_(std::move(path)), thread_([this, patience] { Watch(patience); }) {}

FifoGuard::~FifoGuard() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  thread_.join();
}

void FifoGuard::Watch(std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  if (stopped_.wait_for(lock, patience, [this] { return stopping_; })) return;
  // Opening for writing without waiting succeeds only while a reader has the
  // FIFO open, or waits in its open; that reader then goes on.
  while (!stopped_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping_; })) {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      unblocked_ = true;
      ::close(fd);
      return;
    }
  }
}

}  // namespace zanthrel::testkit
