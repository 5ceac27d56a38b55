// One folder of an image as decompile would write it: its children under the
// names they get on the host, each with what is needed to list or read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "source/image_source.h"
#include "support/cp1251.h"
#include "volume/entry.h"

namespace zanthrel {

struct DiscNode {
  bool folder = false;
  uint64_t size = 0;    // bytes a file gives: what decompile writes of it (FileBytes)
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;
  std::vector<uint32_t> copies;  // first blocks, in the order they are tried
  uint32_t type = 0;             // the entry's four type bytes, read big-endian
};

struct DiscListing {
  // The copy of the folder that was listed, so that a folder below cannot lead back to it.
  uint32_t firstBlock = 0;
  std::map<std::string, DiscNode> children;
  size_t cost = 0;  // bytes held, roughly, for the cache's bound
};

struct ListingOptions {
  bool allCopies = false;  // a file with several copies becomes "name;1", "name;2", ...
  size_t maxCost = 0;      // a folder that would hold more fails to list
  VolumeExtent volume;     // a file is read no further than the volume holds it
  TextEncoding names = TextEncoding::kCp1251;  // what the disc's names are read as
};

// Lists the folder `node` from its first copy that walks whole and is not on
// `pathBlocks` (the copies listed above it); null when none does.
std::shared_ptr<const DiscListing> ListFolder(ImageSource& source, const DiscNode& node,
                                              const std::vector<uint32_t>& pathBlocks,
                                              const ListingOptions& options);

}  // namespace zanthrel
