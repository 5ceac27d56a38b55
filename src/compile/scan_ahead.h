// The folders of a tree listed on a thread of their own, in the order the
// compile walks them and a few folders ahead of it, so that listing the next
// folders overlaps copying the files of this one. This thread and the writer
// take their path through the tree from the same walk.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "compile/tree_walk.h"

namespace zanthrel {

class ScanAhead : private TreeVisitor {
 public:
  // Lists the root of the tree and the folders below it.
  explicit ScanAhead(SourceTree tree);
  // Stops listing.
  ~ScanAhead() override;
  ScanAhead(const ScanAhead&) = delete;
  ScanAhead& operator=(const ScanAhead&) = delete;

  // The listing of `path`, the walk's next folder.
  SharedFolderList Next(const std::string& path);

 private:
  struct Listed {
    std::string path;
    SharedFolderList list;
  };

  // Hands the listing over once there is room; false once the writer no
  // longer wants listings.
  bool Enter(const WalkFolder& folder) override;
  bool Ascend(const WalkFolder&) override;

  const SourceTree tree_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Listed> ready_;
  bool done_ = false;      // every folder is listed
  bool stopping_ = false;  // the writer has ended
  std::thread lister_;
};

}  // namespace zanthrel
