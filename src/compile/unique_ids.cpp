#include "compile/unique_ids.h"

#include <unordered_set>

namespace zanthrel {

namespace {

struct UniqueIdGenerator {
  uint32_t state = 0x5005FF55;
  std::unordered_set<uint32_t> handedOut;
};

UniqueIdGenerator& Generator() {
  static UniqueIdGenerator generator;
  return generator;
}

uint32_t Step(uint32_t state) {
  const uint32_t feedback =
      ((state >> 31) ^ (state >> 27) ^ (state >> 21) ^ (state >> 17) ^ (state >> 9) ^ (state >> 4)) & 1;
  return (state << 1) | feedback;
}

}  // namespace

uint32_t NewUniqueId() {
  UniqueIdGenerator& generator = Generator();
  do {
    generator.state = Step(generator.state);
  } while (!generator.handedOut.insert(generator.state).second);
  return generator.state;
}

void ResetUniqueIds() { Generator().handedOut.clear(); }

}  // namespace zanthrel
