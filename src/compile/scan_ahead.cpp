#include "compile/scan_ahead.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel {

namespace {
// Listings waiting for the walk: enough to keep it from waiting, few enough
// that a tree of huge folders costs little memory.
constexpr size_t kFoldersAhead = 8;
}  // namespace

ScanAhead::ScanAhead(Host& host, const std::string& root, const FileIdentity& rootIdentity,
                     std::vector<FileIdentity> excluded)
    : host_(host), excluded_(std::move(excluded)), lister_([this, root, rootIdentity] {
        std::vector<FileIdentity> onPath{rootIdentity};
        Walk(root, onPath);
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

void ScanAhead::Walk(const std::string& path, std::vector<FileIdentity>& onPath) {
  Listed listed{path, ScanFolder(host_, path, excluded_)};
  // The folders to enter, taken before the listing is handed over.
  std::vector<std::pair<std::string, FileIdentity>> below;
  for (const FolderItem& item : listed.list.items) {
    if (item.isDirectory && std::find(onPath.begin(), onPath.end(), item.identity) == onPath.end()) {
      below.emplace_back(JoinPath(path, item.hostName), item.identity);
    }
  }
  if (!Offer(std::move(listed))) return;
  for (const auto& [folder, identity] : below) {
    onPath.push_back(identity);
    Walk(folder, onPath);
    onPath.pop_back();
    std::lock_guard lock(mutex_);
    if (stopping_) return;
  }
}

bool ScanAhead::Offer(Listed listed) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || ready_.size() < kFoldersAhead; });
  if (stopping_) return false;
  ready_.push_back(std::move(listed));
  changed_.notify_all();
  return true;
}

FolderList ScanAhead::Next(const std::string& path) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return done_ || !ready_.empty(); });
  if (!ready_.empty() && ready_.front().path == path) {
    FolderList list = std::move(ready_.front().list);
    ready_.pop_front();
    changed_.notify_all();
    return list;
  }
  // Not what the walk expects, which its own listing settles.
  lock.unlock();
  return ScanFolder(host_, path, excluded_);
}

}  // namespace zanthrel
