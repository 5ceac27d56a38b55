#include "testkit/image_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace zanthrel::testkit {

void Put32(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value >> 24);
  at[1] = uint8_t(value >> 16);
  at[2] = uint8_t(value >> 8);
  at[3] = uint8_t(value);
}

EntrySpec FileEntry(const std::string& name, uint32_t firstBlock, uint32_t byteCount,
                    uint32_t blockSize) {
  EntrySpec spec;
  spec.name = name;
  spec.byteCount = byteCount;
  spec.blockSize = blockSize;
  spec.blockCount = (byteCount + blockSize - 1) / blockSize;
  spec.copies = {firstBlock};
  return spec;
}

EntrySpec DirEntry(const std::string& name, uint32_t firstBlock, uint32_t blockCount) {
  EntrySpec spec;
  spec.flags = 7;
  spec.type = "*dir";
  spec.name = name;
  spec.byteCount = 2048;
  spec.blockCount = blockCount;
  spec.copies = {firstBlock};
  return spec;
}

EntrySpec LabelEntry() {
  EntrySpec spec;
  spec.flags = 0xC0000006;
  spec.type = "*lbl";
  spec.name = "Disc label";
  spec.byteCount = 132;
  spec.blockCount = 1;
  spec.copies = {0};
  return spec;
}

Bytes EntryBytes(const EntrySpec& spec) {
  Bytes bytes(68 + 4 * spec.copies.size(), 0);
  Put32(&bytes[0], spec.flags);
  Put32(&bytes[4], spec.id);
  std::memcpy(&bytes[8], spec.type.data(), std::min<size_t>(4, spec.type.size()));
  Put32(&bytes[12], spec.blockSize);
  Put32(&bytes[16], spec.byteCount);
  Put32(&bytes[20], spec.blockCount);
  Put32(&bytes[24], spec.burst);
  Put32(&bytes[28], spec.gap);
  std::memcpy(&bytes[32], spec.name.data(), std::min<size_t>(32, spec.name.size()));
  Put32(&bytes[64], spec.lastCopyIndex.value_or(uint32_t(spec.copies.size()) - 1));
  for (size_t i = 0; i < spec.copies.size(); ++i) Put32(&bytes[68 + 4 * i], spec.copies[i]);
  return bytes;
}

ImageBuilder::ImageBuilder(uint32_t blockCount, uint32_t blockSize)
    : blockSize_(blockSize), bytes_(size_t(blockCount) * blockSize, 0) {}

uint8_t* ImageBuilder::Block(uint32_t block) {
  if (size_t(block + 1) * blockSize_ > bytes_.size()) throw std::out_of_range("block");
  return bytes_.data() + size_t(block) * blockSize_;
}

void ImageBuilder::Fill(uint32_t block) {
  uint8_t* start = Block(block);
  for (uint32_t i = 0; i < blockSize_; ++i) start[i] = uint8_t("iamaduck"[i % 8]);
}

void ImageBuilder::Label(const LabelSpec& spec) {
  uint8_t* label = Block(0);
  std::memset(label, 0, 132);
  label[0] = 1;
  std::memset(label + 1, 0x5A, 5);
  label[6] = spec.version;
  label[7] = spec.flags;
  std::memcpy(label + 8, spec.comment.data(), std::min<size_t>(32, spec.comment.size()));
  std::memcpy(label + 40, spec.labelText.data(), std::min<size_t>(32, spec.labelText.size()));
  Put32(label + 72, spec.volumeId);
  Put32(label + 76, spec.blockSize);
  Put32(label + 80, spec.blockCount ? spec.blockCount : uint32_t(bytes_.size() / blockSize_));
  Put32(label + 84, spec.rootId);
  Put32(label + 88, spec.rootBlockCount);
  Put32(label + 92, spec.rootBlockSize);
  Put32(label + 96, spec.lastRootCopyIndex.value_or(uint32_t(spec.rootCopies.size()) - 1));
  for (size_t i = 0; i < spec.rootCopies.size() && i < 8; ++i) {
    Put32(label + 100 + 4 * i, spec.rootCopies[i]);
  }
}

void ImageBuilder::Directory(uint32_t block, const std::vector<EntrySpec>& entries,
                             HeaderSpec header) {
  uint8_t* start = Block(block);
  size_t at = header.firstEntry;
  for (const EntrySpec& entry : entries) {
    Bytes bytes = EntryBytes(entry);
    if (at + bytes.size() > blockSize_) throw std::out_of_range("entries overflow the block");
    std::memcpy(start + at, bytes.data(), bytes.size());
    at += bytes.size();
  }
  Put32(start + 0, header.next);
  Put32(start + 4, header.previous);
  Put32(start + 8, header.flags);
  Put32(start + 12, header.firstFree.value_or(uint32_t(at)));
  Put32(start + 16, header.firstEntry);
}

void ImageBuilder::Data(uint32_t firstBlock, const Bytes& data) {
  if (size_t(firstBlock) * blockSize_ + data.size() > bytes_.size()) {
    throw std::out_of_range("data past the image");
  }
  std::copy(data.begin(), data.end(), bytes_.begin() + long(size_t(firstBlock) * blockSize_));
}

}  // namespace zanthrel::testkit
