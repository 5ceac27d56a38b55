// What the command line guards an image output against before any work,
// beyond what is never written over (CheckImageOutput): a file that exists,
// unless the user forced it, and, even then, the input itself or a place
// inside the folder being compiled, which a slip of the arguments would
// overwrite. The window asks in its save dialog instead.
#pragma once

#include <string>

#include "support/host.h"

namespace zanthrel {

enum class ReplaceRule {
  // The window: its save dialog has asked before naming a file that exists,
  // and the image being written is never listed as part of its own tree.
  kAskedByDialog,
  // The command line: a file that exists is refused.
  kRefuseExisting,
  // The command line with --force: a file that exists is replaced.
  kForced,
};

// A file written beside the one named (a track's BIN beside its cue sheet),
// under the rule of the one named: a save dialog asked about the name it was
// given alone, so one that exists beside it is refused, never replaced
// unasked.
Status CheckBesideOutput(Host& host, const std::string& path, ReplaceRule named);

// `image`, the output of a compile of `folder`: under the command line's
// rules it must not lie inside the folder (links resolved), and must be new
// unless forced.
Status CheckCompileOutput(Host& host, const std::string& folder, const std::string& image,
                          ReplaceRule rule);
// `output`, the output of a convert of `input`: never the input itself nor,
// for a cue sheet, a file the sheet names; new unless forced.
Status CheckConvertOutput(Host& host, const std::string& input, const std::string& output,
                          ReplaceRule rule);

}  // namespace zanthrel
