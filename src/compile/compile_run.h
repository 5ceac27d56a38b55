// The compile run: a host folder becomes a complete Opera image of 2048-byte
// blocks, with its volume label, the boot area on request, and the root
// directory last.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decompile/progress.h"

namespace zanthrel {

struct CompileOptions {
  // Bytes copied against the bytes of every file found below the folder.
  Progress progress;
};

struct CompileReport {
  bool written = false;  // the image is in place
  uint32_t blockCount = 0;
  // Every file or folder that could not be taken whole, and why the image
  // could not be written: "path: reason".
  std::vector<std::string> problems;
};

// Returns 1 when the image was written, 0 when it could not be. The image is
// written through a temporary file beside it and put in place only when every
// write succeeded, so a failed run leaves an existing image as it was.
int CompileImage(const std::string& folder, const std::string& imagePath, int32_t bootFlag,
                 const CompileOptions& options = {}, CompileReport* report = nullptr);

}  // namespace zanthrel
