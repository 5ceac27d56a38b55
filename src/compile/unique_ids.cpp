#include "compile/unique_ids.h"

namespace zanthrel {

namespace {

uint32_t Step(uint32_t state) {
  const uint32_t feedback =
      ((state >> 31) ^ (state >> 27) ^ (state >> 21) ^ (state >> 17) ^ (state >> 9) ^ (state >> 4)) & 1;
  return (state << 1) | feedback;
}

}  // namespace

uint32_t UniqueIdGenerator::NewUniqueId() {
  do {
    state_ = Step(state_);
  } while (!handedOut_.insert(state_).second);
  return state_;
}

}  // namespace zanthrel
