#include "compile/scan_ahead.h"

namespace zanthrel {

namespace {
// Listings waiting for the writer: enough to keep it from waiting, few enough
// that a tree of huge folders costs little memory.
constexpr size_t kFoldersAhead = 8;
}  // namespace

ScanAhead::ScanAhead(SourceTree tree)
    : tree_(std::move(tree)), lister_([this] {
        WalkTree(tree_, false, *this);
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
      }) {}

ScanAhead::~ScanAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  lister_.join();
}

bool ScanAhead::Enter(const WalkFolder& folder) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || ready_.size() < kFoldersAhead; });
  if (stopping_) return false;
  ready_.push_back({folder.path, folder.list});
  changed_.notify_all();
  return true;
}

bool ScanAhead::Ascend(const WalkFolder&) {
  std::lock_guard lock(mutex_);
  return !stopping_;
}

SharedFolderList ScanAhead::Next(const std::string& path) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return done_ || !ready_.empty(); });
  if (!ready_.empty() && ready_.front().path == path) {
    SharedFolderList list = std::move(ready_.front().list);
    ready_.pop_front();
    changed_.notify_all();
    return list;
  }
  // Not what the writer expects, which its own listing settles.
  lock.unlock();
  return tree_.List(path);
}

}  // namespace zanthrel
