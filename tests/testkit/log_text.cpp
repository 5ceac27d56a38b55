#include "testkit/log_text.h"

#include "decompile/describe.h"
#include "support/cp1251.h"

namespace zanthrel::testkit {

std::string Win(const std::string& utf8) { return Utf8ToCp1251(utf8); }

std::string HeadLines(const Bytes& image, uint32_t block) {
  return "HEAD\n" + DescribeDirectoryHeader(image.data() + size_t(block) * 2048);
}

std::string EntryLines(const Bytes& image, uint32_t block, uint32_t offset) {
  const uint8_t* start = image.data() + size_t(block) * 2048;
  return "ENTRY\n" + DescribeEntry(opera::EntryView(start + offset, start + 2048));
}

std::string LabelLines(const Bytes& image) { return DescribeLabelBytes(image.data()); }

}  // namespace zanthrel::testkit
