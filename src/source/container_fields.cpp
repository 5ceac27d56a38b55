#include "source/container_fields.h"

namespace zanthrel {

std::string RecordModeName(RecordFormat format) {
  // A raw record tells its mode by where the user data starts: after a MODE1
  // header, or after a MODE2 header and its subheader.
  if (format.recordSize == kCdFrameSize) {
    return format.userOffset == kMode1Raw.userOffset ? "MODE1/2352" : "MODE2/2352";
  }
  if (format.recordSize == kMode2Records.recordSize) return "MODE2/2336";
  return "MODE1/2048";
}

}  // namespace zanthrel
