// The files a bootable disc needs, where compile looks for them: LaunchMe,
// rom_tags and bannerscreen in the root, boot_code, os_code and misc_code in
// a boot-code folder ("system" in the root and the "kernel" folders inside
// it). Only a compile with the boot area looks; a disc without one is not
// meant to boot.
#pragma once

#include <bitset>
#include <optional>
#include <string>

#include "compile/tree_walk.h"

namespace zanthrel {

class BootFilesFound {
 public:
  // A file of a folder of the boot area (the root or a boot-code folder);
  // `name` is Windows-1251.
  void Note(const std::string& name, FolderLevel level);
  // One warning that names every file missing, for the folder `root`;
  // nothing when all were found.
  std::optional<std::string> MissingWarning(const std::string& root) const;

 private:
  std::bitset<6> found_;
};

}  // namespace zanthrel
