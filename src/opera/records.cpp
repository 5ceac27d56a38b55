#include "opera/records.h"

namespace zanthrel::opera {

void FillPattern(uint8_t* buffer, size_t size) {
  for (size_t i = 0; i < size; ++i) buffer[i] = uint8_t(kFillPattern[i % kFillPattern.size()]);
}

}  // namespace zanthrel::opera
