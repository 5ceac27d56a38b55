#include "mount/kernel_cache_filler.h"

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include <utility>

namespace zanthrel {

namespace {

// Files waiting to be put; a walk that outruns the thread drops the rest.
constexpr size_t kMostWaitingToPut = 4096;

}  // namespace

void KernelCacheFiller::Add(std::vector<FileToPut> files) {
  if (files.empty()) return;
  {
    const std::lock_guard<std::mutex> held(queueLock_);
    if (stopping_) return;
    for (FileToPut& file : files) {
      if (waiting_.size() >= kMostWaitingToPut) break;
      waiting_.push_back(std::move(file));
    }
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
  }
  wake_.notify_one();
}

void KernelCacheFiller::Stop() {
  {
    const std::lock_guard<std::mutex> held(queueLock_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
}

void KernelCacheFiller::Run() {
  std::vector<uint8_t> bytes;
  for (;;) {
    FileToPut file;
    {
      std::unique_lock<std::mutex> held(queueLock_);
      wake_.wait(held, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      file = std::move(waiting_.front());
      waiting_.pop_front();
    }
    bytes.resize(size_t(file.node.size));
    Result<size_t, MountFailure> read = MountFailure::kIoError;
    {
      const std::lock_guard<std::mutex> held(lock_);
      read = index_.Read(file.node, 0, bytes.data(), bytes.size());
    }
    // A file that does not read whole is left for its reader to be told why.
    if (!read || *read != bytes.size()) continue;
    fuse_bufvec put = FUSE_BUFVEC_INIT(bytes.size());
    put.buf[0].mem = bytes.data();
    // Fails harmlessly when the kernel has forgotten the file meanwhile.
    fuse_lowlevel_notify_store(session_, file.number, 0, &put, fuse_buf_copy_flags(0));
  }
}

}  // namespace zanthrel
