// The layout of a decompiled disc recorded beside its folder: the disc's
// records (ScanLayout), then the image built again from them and the folder,
// compared block by block with the source; every run of blocks that the
// build does not give again is kept in the blocks file, so that the folder
// unchanged builds the same bytes.
#pragma once

#include <string>
#include <vector>

#include "source/image_source.h"
#include "support/cancel.h"
#include "support/host.h"
#include "support/result.h"
#include "volume/layout.h"
#include "volume/layout_scan.h"

namespace zanthrel {

struct LayoutRecord {
  DiscLayout layout;
  // Blocks kept in the blocks file.
  uint64_t keptBlocks = 0;
  // What the user should know though the layout was recorded: blocks of the
  // source that could not be read, kept as zeros.
  std::vector<std::string> warnings;
};

// `folder` is the one decompile wrote the source into; the blocks file is
// written at `blocksPath` (its name goes into the layout), the image built
// for the comparison lies beside it until the end. A stop asked for ends it
// with code ECANCELED.
Result<LayoutRecord> RecordLayout(ImageSource& source, const std::string& folder, const std::string& blocksPath,
                                  const LayoutScanOptions& scan, Host& host = SystemHost(),
                                  CancelToken cancel = {});

}  // namespace zanthrel
