#include "testkit/image_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace zanthrel::testkit {

void Put32(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value >> 24);
  at[1] = uint8_t(value >> 16);
  at[2] = uint8_t(value >> 8);
  at[3] = uint8_t(value);
}

EntryFields FileEntry(const std::string& name, uint32_t firstBlock, uint32_t byteCount,
                    uint32_t blockSize) {
  EntryFields fields;
  fields.name = name;
  fields.byteCount = byteCount;
  fields.blockSize = blockSize;
  fields.blockCount = (byteCount + blockSize - 1) / blockSize;
  fields.copies = {firstBlock};
  return fields;
}

EntryFields DirEntry(const std::string& name, uint32_t firstBlock, uint32_t blockCount) {
  EntryFields fields;
  fields.flags = 7;
  fields.type = "*dir";
  fields.name = name;
  fields.byteCount = 2048;
  fields.blockCount = blockCount;
  fields.copies = {firstBlock};
  return fields;
}

EntryFields LabelEntry() {
  EntryFields fields;
  fields.flags = 0xC0000006;
  fields.type = "*lbl";
  fields.name = "Disc label";
  fields.byteCount = 132;
  fields.blockCount = 1;
  fields.copies = {0};
  return fields;
}

Bytes EntryBytes(const EntryFields& fields) {
  Bytes bytes(68 + 4 * fields.copies.size(), 0);
  Put32(&bytes[0], fields.flags);
  Put32(&bytes[4], fields.id);
  std::memcpy(&bytes[8], fields.type.data(), std::min<size_t>(4, fields.type.size()));
  Put32(&bytes[12], fields.blockSize);
  Put32(&bytes[16], fields.byteCount);
  Put32(&bytes[20], fields.blockCount);
  Put32(&bytes[24], fields.burst);
  Put32(&bytes[28], fields.gap);
  std::memcpy(&bytes[32], fields.name.data(), std::min<size_t>(32, fields.name.size()));
  Put32(&bytes[64], fields.lastCopyIndex.value_or(uint32_t(fields.copies.size()) - 1));
  for (size_t i = 0; i < fields.copies.size(); ++i) Put32(&bytes[68 + 4 * i], fields.copies[i]);
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

void ImageBuilder::Label(const LabelFields& fields) {
  uint8_t* label = Block(0);
  std::memset(label, 0, 132);
  label[0] = 1;
  std::memset(label + 1, 0x5A, 5);
  label[6] = fields.version;
  label[7] = fields.flags;
  std::memcpy(label + 8, fields.comment.data(), std::min<size_t>(32, fields.comment.size()));
  std::memcpy(label + 40, fields.labelText.data(), std::min<size_t>(32, fields.labelText.size()));
  Put32(label + 72, fields.volumeId);
  Put32(label + 76, fields.blockSize);
  Put32(label + 80, fields.blockCount ? fields.blockCount : uint32_t(bytes_.size() / blockSize_));
  Put32(label + 84, fields.rootId);
  Put32(label + 88, fields.rootBlockCount);
  Put32(label + 92, fields.rootBlockSize);
  Put32(label + 96, fields.lastRootCopyIndex.value_or(uint32_t(fields.rootCopies.size()) - 1));
  for (size_t i = 0; i < fields.rootCopies.size() && i < 8; ++i) {
    Put32(label + 100 + 4 * i, fields.rootCopies[i]);
  }
}

void ImageBuilder::Directory(uint32_t block, const std::vector<EntryFields>& entries,
                             HeaderFields header) {
  uint8_t* start = Block(block);
  size_t at = header.firstEntry;
  for (const EntryFields& entry : entries) {
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

void ImageBuilder::DirectoryCopy(uint32_t firstBlock, const std::vector<std::vector<EntryFields>>& blocks) {
  const uint32_t count = uint32_t(blocks.size());
  for (uint32_t i = 0; i < count; ++i) {
    std::vector<EntryFields> entries = blocks[i];
    if (!entries.empty()) entries.back().flags |= i + 1 == count ? 0x80000000u : 0x40000000u;
    Fill(firstBlock + i);
    Directory(firstBlock + i, entries, Links(i + 1 == count ? 0xFFFFFFFF : i + 1, i == 0 ? 0xFFFFFFFF : i - 1));
  }
}

void ImageBuilder::Data(uint32_t firstBlock, const Bytes& data) {
  if (size_t(firstBlock) * blockSize_ + data.size() > bytes_.size()) {
    throw std::out_of_range("data past the image");
  }
  std::copy(data.begin(), data.end(), bytes_.begin() + long(size_t(firstBlock) * blockSize_));
}

void WriteImageWithOneLargeFile(const std::string& path, uint32_t bytes) {
  const uint32_t blocks = uint32_t((uint64_t(bytes) + 2047) / 2048);
  ImageBuilder builder(2);
  LabelFields label;
  label.blockCount = 2 + blocks;
  builder.Label(label);
  builder.Directory(1, {FileEntry("big", 2, bytes)});
  WriteBytes(path, builder.Image());
  std::filesystem::resize_file(PathOf(path), (2ull + blocks) * 2048);
}

}  // namespace zanthrel::testkit
