// The directory tree of an image, read without writing anything: one record
// per entry, from the first copy of each directory that reads cleanly. A
// folder none of whose copies reads is named, and the rest is listed.
#pragma once

#include <cstdint>
#include <functional>
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
  uint32_t uniqueId = 0;
  std::string type;                  // the four bytes of the entry's type, as stored
  std::vector<uint32_t> copyBlocks;  // the first block of every copy, `copies` of them
  uint32_t blockSize = 0;
  uint32_t burst = 0;
  uint32_t gap = 0;
  // The bytes a file gives, as decompile writes it from its copies (FileBytes).
  uint64_t fileBytes = 0;
};

// What a listing hands over as the walk meets it.
struct ListingReceiver {
  std::function<void(const ListedEntry&)> entry;
  // A folder below the root that no copy of could be read, by a path like the
  // entries'; it was handed over as an entry just before, what it holds is not.
  std::function<void(const std::string&)> unreadableFolder;
};

struct TreeListing {
  std::vector<ListedEntry> entries;
  std::vector<std::string> unreadableFolders;
};

// Hands the tree over as it is walked, keeping only the current path, so that
// no depth or width of tree costs memory. Nothing of a directory copy that
// breaks off is handed over: each copy is first walked without going below to
// find whether its blocks read whole. False when the label or every root copy
// cannot be read; nothing is handed over then.
bool ListTree(ImageSource& source, const ListingReceiver& receiver);
// The same, gathered.
bool ListTree(ImageSource& source, TreeListing& listing);

}  // namespace zanthrel
