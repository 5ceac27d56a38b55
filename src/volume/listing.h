// The directory tree of an image, read without writing anything: one record
// per entry, from the first copy of each directory that reads cleanly. A
// folder none of whose copies reads is named, and the rest is listed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/image_source.h"

namespace zanthrel {

struct ListedEntry {
  std::string path;  // Opera names joined by "/", Windows-1251
  uint32_t flags;
  uint32_t byteCount;
  uint32_t blockCount;
  uint32_t copies;
  uint32_t firstBlock;
};

struct TreeListing {
  std::vector<ListedEntry> entries;
  // Folders below the root that no copy of could be read, as paths like the
  // entries'; each is listed as an entry, what it holds is not.
  std::vector<std::string> unreadableFolders;
};

// False when the label or every root copy cannot be read; `listing` then holds nothing.
bool ListTree(ImageSource& source, TreeListing& listing);

}  // namespace zanthrel
