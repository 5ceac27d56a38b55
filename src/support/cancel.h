// A request to stop a long run, set from a signal handler or the window's
// thread and read by the run between blocks.
#pragma once

#include <atomic>

namespace zanthrel {

struct CancelToken {
  // Null when nothing can stop the run.
  const std::atomic<bool>* flag = nullptr;

  bool Requested() const { return flag && flag->load(std::memory_order_relaxed); }
};

}  // namespace zanthrel
