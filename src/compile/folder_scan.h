// Lists the children of one host folder for the compiler, in a fixed order,
// leaving out folders whose names begin with "." and anything that is not a
// regular file or a folder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/host.h"

namespace zanthrel {

struct FolderItem {
  bool isDirectory;
  std::string hostName;   // as the host gives it, without a path
  FileIdentity identity;  // what the name leads to, links followed
  uint64_t size;          // bytes, for files
  // The last modification the listing found, for files: with the size, what
  // tells whether a file changed while it was read.
  int64_t modifiedSeconds;
  uint32_t modifiedNanoseconds;
};

struct FolderList {
  std::vector<FolderItem> items;
  // One line per child or folder that could not be taken: "path: reason".
  std::vector<std::string> problems;
  // One line per child taken or left out that the user may want to know of,
  // though nothing was lost: "path: what".
  std::vector<std::string> warnings;
};

// What a listing leaves out besides hidden folders and what is not a file.
struct ScanRules {
  // Left out silently: the image being written.
  std::span<const FileIdentity> excluded;
  // The real path of the folder being compiled. A child that is a link
  // leading out of it is a warning, and is left out unless `outsideLinks`.
  // Empty: links are not looked at.
  std::string_view root;
  bool outsideLinks = true;
};

// Children sorted by name with ASCII letters folded to upper case, ties broken
// by the raw bytes, so that the same folder always gives the same order.
FolderList ScanFolder(Host& host, const std::string& path, const ScanRules& rules = {});

}  // namespace zanthrel
