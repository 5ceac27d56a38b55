// Extraction of one copy of a directory, and everything below it, into a host
// folder: log lines, block map records, host files and folders, and the
// fallback to further copies at every level.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decompile/decompile_log.h"
#include "decompile/progress.h"
#include "source/image_source.h"

namespace zanthrel {

struct Extraction {
  Extraction(ImageSource& source, DecompileLog& log) : source(source), log(log) {}

  ImageSource& source;
  DecompileLog& log;
  const Progress* progress = nullptr;
  uint64_t totalBlocks = 0;
  uint64_t blocksWritten = 0;
  // A host file could not be created or written.
  bool writeFailed = false;
  // First blocks of the directory copies being walked on the current path.
  std::vector<uint32_t> walking;
};

// `folder` is the full host path of the folder that receives the directory,
// which is also the current directory on entry and on a true return.
bool ExtractDirectory(Extraction& run, const std::string& folder, uint32_t firstBlock,
                      uint32_t blockCount, uint32_t blockSize);

}  // namespace zanthrel
