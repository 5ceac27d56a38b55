// Puts files into the kernel's page cache before they are read, one after
// another on a thread of its own, off the threads that answer requests: a put
// waits on any page the kernel is reading meanwhile, and the read that fills
// that page needs a thread to answer it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "mount/disc_index.h"

struct fuse_session;

namespace zanthrel {

struct FileToPut {
  uint64_t number;  // the kernel's node of the file
  DiscNode node;
};

class KernelCacheFiller {
 public:
  // `lock` is the one that guards `index`.
  KernelCacheFiller(fuse_session* session, DiscIndex& index, std::mutex& lock)
      : session_(session), index_(index), lock_(lock) {}
  ~KernelCacheFiller() { Stop(); }
  KernelCacheFiller(const KernelCacheFiller&) = delete;
  KernelCacheFiller& operator=(const KernelCacheFiller&) = delete;

  // Queues the files, the kernel already knowing each; the thread starts with
  // the first. A queue already full drops what comes.
  void Add(std::vector<FileToPut> files);
  // Drops what waits and ends the thread; before the session ends.
  void Stop();

 private:
  void Run();

  fuse_session* session_;
  DiscIndex& index_;
  std::mutex& lock_;
  std::mutex queueLock_;
  std::condition_variable wake_;
  std::deque<FileToPut> waiting_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace zanthrel
