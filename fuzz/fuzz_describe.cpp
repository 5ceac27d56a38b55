// The three record descriptions on arbitrary bytes: a label, a block header,
// and an entry at any offset of a block, never reading past the block.
#include <cstdint>
#include <cstring>
#include <vector>

#include "decompile/describe.h"
#include "opera/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  std::vector<uint8_t> label(opera::kLabelSize, 0);
  std::memcpy(label.data(), data, std::min(size, label.size()));
  DescribeLabelBytes(label.data());

  if (size < opera::kHeaderSize + 2) return 0;
  // The block is exactly the input behind its first two bytes, so that the
  // sanitizer sees any read past its end.
  const uint16_t offset = uint16_t(data[0] << 8 | data[1]);
  std::vector<uint8_t> block(data + 2, data + size);
  DescribeDirectoryHeader(block.data());
  if (opera::EntryView::FixedPartFits(block.size(), offset)) {
    DescribeEntry(opera::EntryView(block.data() + offset, block.data() + block.size()));
  }
  return 0;
}
