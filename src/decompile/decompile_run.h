// The decompile run: from an open image source to a host folder tree, a log
// and, on request, the block map.
#pragma once

#include <string>

#include "decompile/progress.h"
#include "source/image_source.h"

namespace zanthrel {

// How a run ended, for callers that word their own message.
enum class DecompileOutcome {
  kDone,
  kNotOpen,            // the source is not open, or of an unknown kind: no log
  kBlockZeroNotFound,
  kCannotMakeFolder,
  kCannotEnterFolder,
  kCannotReadLabel,
  kAllRootCopiesFailed,
  kWriteFailures,      // extracted, but some host file or the log could not be written
};

struct DecompileOptions {
  Progress progress;
};

// `outputFolder` and `logPath` are host paths, relative ones taken from the
// current directory at the time of the call. True after a clean extraction.
bool DecompileImage(ImageSource& source, const std::string& outputFolder,
                    const std::string& logPath, const DecompileOptions& options = {},
                    DecompileOutcome* outcome = nullptr);

}  // namespace zanthrel
