#include "cli/image_batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

namespace zanthrel::cli {

namespace {

struct BufferedReport {
  std::ostringstream out;
  std::ostringstream err;
  int status = 0;
  bool done = false;
};

// The reports that the workers fill and the printer waits on.
class ReportBoard {
 public:
  explicit ReportBoard(size_t count) : reports_(count) {}

  void Fill(size_t index, const ReportImage& report) {
    BufferedReport& buffered = reports_[index];
    const int status = report(index, buffered.out, buffered.err);
    const std::lock_guard lock(mutex_);
    buffered.status = status;
    buffered.done = true;
    filled_.notify_all();
  }

  int PrintWhenDone(size_t index) {
    BufferedReport& buffered = reports_[index];
    std::unique_lock lock(mutex_);
    filled_.wait(lock, [&buffered] { return buffered.done; });
    lock.unlock();
    std::cout << buffered.out.str() << std::flush;
    std::cerr << buffered.err.str() << std::flush;
    // A report is let go once printed.
    buffered.out = std::ostringstream();
    buffered.err = std::ostringstream();
    return buffered.status;
  }

 private:
  std::vector<BufferedReport> reports_;
  std::mutex mutex_;
  std::condition_variable filled_;
};

}  // namespace

unsigned DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

std::vector<int> ReportImages(size_t count, unsigned jobs, const ReportImage& report) {
  if (count == 1) return {report(0, std::cout, std::cerr)};
  ReportBoard board(count);
  std::atomic<size_t> next{0};
  std::vector<int> statuses;
  {
    std::vector<std::jthread> workers;
    for (unsigned i = 0; i < std::max(1u, jobs) && i < count; ++i) {
      workers.emplace_back([&] {
        for (size_t index = next++; index < count; index = next++) board.Fill(index, report);
      });
    }
    for (size_t index = 0; index < count; ++index) statuses.push_back(board.PrintWhenDone(index));
  }
  return statuses;
}

}  // namespace zanthrel::cli
