// What `info` tells a person or a script about an image: the label's main
// fields, the container the image came in, and the size of the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "source/image_source.h"

namespace zanthrel {

struct VolumeSummary {
  std::string labelText;  // UTF-8
  std::string comment;    // UTF-8
  uint32_t volumeId = 0;
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;
  uint64_t imageBytes = 0;  // block size times block count
  std::vector<uint32_t> rootCopies;
  // "plain", "gzip", "drive", or the source's container ("raw 2352", "CHD v5 ...").
  std::string container;
  // False when every root copy failed; the counts are then 0.
  bool treeRead = false;
  uint64_t folders = 0;  // below the root
  uint64_t files = 0;    // the label entry included, as `list` shows it
  uint64_t fileBytes = 0;
  // Folders no copy of which could be read: counted among the folders, what
  // they hold is not counted.
  uint64_t unreadableFolders = 0;
};

// Nothing when the label cannot be read.
std::optional<VolumeSummary> SummarizeVolume(ImageSource& source);

}  // namespace zanthrel
