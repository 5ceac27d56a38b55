// A disc built again by its layout from the folder decompile wrote: the
// label, every copy of every directory and of every file where the layout
// puts them, then the blocks kept beside the layout laid over what the
// records do not give again. A file or folder changed, added or removed since
// is written where it fits, and the blocks kept for the places a change wrote
// are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compile/unique_ids.h"
#include "support/cancel.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "volume/layout.h"

namespace zanthrel {

struct LayoutBuildOptions {
  Host* host = &SystemHost();
  // The generator that the front end keeps, for the ids of added entries; a
  // fresh one when null.
  UniqueIdGenerator* ids = nullptr;
  // What the names of added entries are stored as.
  TextEncoding names = TextEncoding::kCp1251;
  // One line for each entry moved, added or removed.
  std::function<void(const std::string&)> changed;
  CancelToken cancel;
};

struct LayoutBuildReport {
  bool written = false;
  bool cancelled = false;
  // Why the image could not be built ("path: reason"); empty when it was.
  std::string failure;
  uint32_t blockCount = 0;  // blocks of the image built
  // Blocks that the changes wrote anew (or left empty), and those added at
  // the end: at most this many differ from the original.
  uint64_t blocksChanged = 0;
  // What the user may want to know though the image was built: "path: what".
  std::vector<std::string> warnings;
};

// Blocks of an image the layout may describe (8 GiB): a layout that claims
// more is refused before anything is written.
inline constexpr uint32_t kMaxLayoutBlocks = uint32_t(1) << 22;

// Builds into `image` (an empty file) from `folder`, decompile's folder of
// the disc, and the blocks file `blocksPath` (none when empty). Every file
// read gets its SHA-1 in the layout, and every entry and directory changed
// its new fields.
LayoutBuildReport BuildByLayout(DiscLayout& layout, const std::string& folder, const std::string& blocksPath,
                                const HostFile& image, const LayoutBuildOptions& options = {});

}  // namespace zanthrel
