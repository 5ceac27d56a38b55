// Serves an image's tree read-only at a mount point through FUSE until the
// mount is left (fusermount3 -u) or the process is interrupted.
#pragma once

#include <string>

#include "support/result.h"

namespace zanthrel {

struct MountRequest {
  std::string image;
  std::string mountPoint;
  bool allCopies = false;
  bool foreground = false;  // otherwise the process goes to the background once mounted
};

// Fails when the image cannot be opened or the mount cannot be made; in the
// background, returns in the child once the mount is left.
Status MountImage(const MountRequest& request);

}  // namespace zanthrel
