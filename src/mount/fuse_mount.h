// Serves an image's tree read-only at a mount point through FUSE until the
// mount is left (fusermount3 -u) or the process is interrupted.
#pragma once

#include <string>

#include "support/cp1251.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

struct MountRequest {
  std::string image;
  std::string mountPoint;
  bool allCopies = false;
  bool foreground = false;  // otherwise the process goes to the background once mounted
  TextEncoding names = TextEncoding::kCp1251;  // what the disc's names are read as
};

// Whether the mount point can take the mount: a folder, and an empty one
// unless `nonEmpty`, since the mount would hide what it holds until left.
// Asked before the image is opened, so a wrong mount point costs nothing.
Status CheckMountPoint(const std::string& mountPoint, bool nonEmpty, Host& host = SystemHost());

// Fails when the image cannot be opened or the mount cannot be made; in the
// background, returns in the child once the mount is left. A mount left by
// fusermount3 -u or ended by Ctrl-C (or SIGTERM) ends well.
Status MountImage(const MountRequest& request);

}  // namespace zanthrel
