// A fresh temporary folder that is the current directory for one test and is
// removed afterwards, so that no test depends on where it was started.
#pragma once

#include <filesystem>
#include <string>

namespace zanthrel::testkit {

class TempFolder {
 public:
  TempFolder();
  // Inside `base` instead of the temporary folder, such as a memory file
  // system for tests that read gigabytes of holes.
  explicit TempFolder(const std::filesystem::path& base);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` (UTF-8, "/" between its parts) inside, in UTF-8 with the host's separators.
  std::string operator/(const std::string& name) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace zanthrel::testkit
