// The folders of a tree listed on a thread of their own, in the order the
// compile walks them and a few folders ahead of it, so that listing the next
// folders overlaps copying the files of this one. The walk enters every
// listed folder that is not already on its path, and so does this thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "compile/folder_scan.h"
#include "support/host.h"

namespace zanthrel {

class ScanAhead {
 public:
  // Lists `root`, whose identity is `rootIdentity`, and the folders below it.
  ScanAhead(Host& host, const std::string& root, const FileIdentity& rootIdentity,
            std::vector<FileIdentity> excluded);
  // Stops listing.
  ~ScanAhead();
  ScanAhead(const ScanAhead&) = delete;
  ScanAhead& operator=(const ScanAhead&) = delete;

  // The listing of `path`, the walk's next folder.
  FolderList Next(const std::string& path);

 private:
  struct Listed {
    std::string path;
    FolderList list;
  };

  void Walk(const std::string& path, std::vector<FileIdentity>& onPath);
  // Waits for room; false once the walk no longer wants listings.
  bool Offer(Listed listed);

  Host& host_;
  const std::vector<FileIdentity> excluded_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Listed> ready_;
  bool done_ = false;      // every folder is listed
  bool stopping_ = false;  // the walk has ended
  std::thread lister_;
};

}  // namespace zanthrel
