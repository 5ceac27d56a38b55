#include "compile/unique_ids.h"

namespace zanthrel {

uint32_t UniqueIdGenerator::NewUniqueId() {
  const uint32_t feedback =
      ((state_ >> 31) ^ (state_ >> 27) ^ (state_ >> 21) ^ (state_ >> 17) ^ (state_ >> 9) ^ (state_ >> 4)) & 1;
  state_ = (state_ << 1) | feedback;
  return state_;
}

}  // namespace zanthrel
