// Extraction of one copy of a directory, and everything below it, into a
// folder of the output tree: log lines, block map records, host files and
// folders, and the fallback to further copies at every level.
#pragma once

#include <cstdint>
#include <string>

#include "decompile/run_state.h"

namespace zanthrel {

// `folder` is the folder of the output tree that receives the directory.
bool ExtractDirectory(DecompileRun& run, const TreeFolder& folder, uint32_t firstBlock,
                      uint32_t blockCount, uint32_t blockSize);

}  // namespace zanthrel
