// The directory tree of an image, read without writing anything: one record
// per entry, from the first copy of each directory that reads cleanly.
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

// False when the label or every root copy cannot be read; `entries` then holds nothing.
bool ListTree(ImageSource& source, std::vector<ListedEntry>& entries);

}  // namespace zanthrel
