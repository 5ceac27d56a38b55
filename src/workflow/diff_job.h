// `diff`: which entries of two images differ. Each image is opened for
// reading only, as the reading commands open one, and the two volumes are
// compared side by side (DiffVolumes).
#pragma once

#include <string>

#include "support/host.h"
#include "support/progress.h"
#include "verify/volume_diff.h"
#include "workflow/inspect_job.h"

namespace zanthrel {

struct DiffImagesReport {
  ImageOpening opening[2];
  // Set, for each image, when the host failed its reading, in the system's
  // words: what was found is not to be trusted then.
  std::string hostFailure[2];
  // Filled only when both images opened.
  VolumeDiff diff;

  bool Opened() const { return opening[0].opened && opening[1].opened; }
};

// `progress` hears of the bytes of the first image's files compared.
DiffImagesReport DiffImageFiles(const std::string& first, const std::string& second, Host& host = SystemHost(),
                                const Progress& progress = {});

}  // namespace zanthrel
