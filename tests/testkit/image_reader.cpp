#include "testkit/image_reader.h"

#include <stdexcept>

#include "opera/records.h"
#include "support/text.h"

namespace zanthrel::testkit {

uint32_t ImageReader::Field(uint32_t block, size_t offset) const {
  return opera::ReadBig32(bytes.data() + size_t(block) * 2048 + offset);
}

ImageDirectoryBlock ImageReader::DirectoryBlock(uint32_t block) const {
  ImageDirectoryBlock result{Field(block, 0), Field(block, 4), Field(block, 12), {}};
  for (uint32_t at = 20; at < result.firstFree; at += 72) {
    const uint8_t* e = bytes.data() + size_t(block) * 2048 + at;
    result.entries.push_back({opera::ReadBig32(e), opera::ReadBig32(e + 4), opera::ReadBig32(e + 8),
                              opera::ReadBig32(e + 16), opera::ReadBig32(e + 20), opera::ReadBig32(e + 68),
                              FieldText(e + 32, 32)});
  }
  return result;
}

std::vector<ImageEntry> ImageReader::Directory(uint32_t first) const {
  std::vector<ImageEntry> entries;
  for (uint32_t k = 0;;) {
    ImageDirectoryBlock block = DirectoryBlock(first + k);
    entries.insert(entries.end(), block.entries.begin(), block.entries.end());
    if (block.next == 0xFFFFFFFF) return entries;
    k = block.next;
  }
}

ImageEntry ImageReader::Find(uint32_t directory, const std::string& name) const {
  for (const ImageEntry& entry : Directory(directory)) {
    if (entry.name == name) return entry;
  }
  throw std::runtime_error("no entry " + name);
}

Bytes ImageReader::Blocks(uint32_t first, uint32_t count) const {
  return Bytes(bytes.begin() + long(first) * 2048, bytes.begin() + long(first + count) * 2048);
}

}  // namespace zanthrel::testkit
