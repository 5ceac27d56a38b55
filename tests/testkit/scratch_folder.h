// Sends the host's scratch files into a folder of the test's for the life of
// one object: TMPDIR names it on POSIX, TMP on Windows.
#pragma once

#include <string>

namespace zanthrel::testkit {

class ScratchFolderOverride {
 public:
  explicit ScratchFolderOverride(const std::string& folder);
  ~ScratchFolderOverride();
  ScratchFolderOverride(const ScratchFolderOverride&) = delete;
  ScratchFolderOverride& operator=(const ScratchFolderOverride&) = delete;

 private:
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace zanthrel::testkit
