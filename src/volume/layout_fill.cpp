#include "volume/layout_fill.h"

#include <algorithm>
#include <cstring>

#include "opera/records.h"

namespace zanthrel {

LayoutFill FillOfBlock(const uint8_t* block, const uint8_t* label, size_t size) {
  if (std::all_of(block, block + size, [](uint8_t byte) { return byte == 0; })) return LayoutFill::kZero;
  const std::string_view pattern = opera::kFillPattern;
  size_t i = 0;
  while (i < size && block[i] == uint8_t(pattern[i % pattern.size()])) ++i;
  if (i == size) return LayoutFill::kPattern;
  return std::memcmp(block, label, size) == 0 ? LayoutFill::kLabel : LayoutFill::kBytes;
}

void WriteFill(LayoutFill fill, uint8_t* bytes, size_t size) {
  if (fill == LayoutFill::kZero) std::memset(bytes, 0, size);
  if (fill == LayoutFill::kPattern) opera::FillPattern(bytes, size);
}

}  // namespace zanthrel
