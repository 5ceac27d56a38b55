// How a reading command's run on one image ended: its exit status and, when
// the report is not whole, why; the text and the JSON of every command tell
// the same.
#pragma once

#include <string>

namespace zanthrel::cli {

struct ImageOutcome {
  int status = 0;  // the exit status of a run on this image alone
  // A short code ("cannot-open", "label-unreadable", ...); empty when the
  // report is whole. Damage that verify finds is a finding, not an error.
  std::string error;
  std::string message;  // what stderr says after the image's name
};

}  // namespace zanthrel::cli
