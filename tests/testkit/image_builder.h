// Builds Opera images record by record for tests, independently of the
// compiler under test: a label, directory blocks with chosen entries, data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "testkit/files.h"

namespace zanthrel::testkit {

struct LabelFields {
  uint32_t blockSize = 2048;
  uint32_t blockCount = 0;  // 0: the image's block count
  uint32_t volumeId = 0x11111111;
  uint32_t rootId = 0x22222222;
  uint32_t rootBlockCount = 1;
  uint32_t rootBlockSize = 2048;
  std::vector<uint32_t> rootCopies = {1};
  std::optional<uint32_t> lastRootCopyIndex;  // default: copies - 1
  std::string comment;
  std::string labelText = "CD-ROM";
  uint8_t version = 1;
  uint8_t flags = 0;
};

struct EntryFields {
  uint32_t flags = 2;
  uint32_t id = 0x33333333;
  std::string type = "    ";
  uint32_t blockSize = 2048;
  uint32_t byteCount = 0;
  uint32_t blockCount = 0;
  std::string name;
  std::vector<uint32_t> copies;
  std::optional<uint32_t> lastCopyIndex;  // default: copies - 1
  uint32_t burst = 1;
  uint32_t gap = 0;
};

EntryFields FileEntry(const std::string& name, uint32_t firstBlock, uint32_t byteCount,
                    uint32_t blockSize = 2048);
EntryFields DirEntry(const std::string& name, uint32_t firstBlock, uint32_t blockCount = 1);
EntryFields LabelEntry();

struct HeaderFields {
  uint32_t next = 0xFFFFFFFF;
  uint32_t previous = 0xFFFFFFFF;
  uint32_t flags = 0;
  std::optional<uint32_t> firstFree;  // default: behind the last entry
  uint32_t firstEntry = 20;
};

// A header with these next-block and previous-block fields.
inline HeaderFields Links(uint32_t next, uint32_t previous) {
  HeaderFields header;
  header.next = next;
  header.previous = previous;
  return header;
}

class ImageBuilder {
 public:
  explicit ImageBuilder(uint32_t blockCount, uint32_t blockSize = 2048);

  uint8_t* Block(uint32_t block);
  // Fills a block with "iamaduck" repeated, as record blocks are before their records.
  void Fill(uint32_t block);
  void Label(const LabelFields& fields);
  // One directory block; entries are laid out from the header's first entry on.
  void Directory(uint32_t block, const std::vector<EntryFields>& entries, HeaderFields header = {});
  // One copy of a directory over as many blocks as `blocks` holds, from
  // `firstBlock` on, as a mastering tool lays it out: the blocks linked by
  // their numbers within the copy, the last entry of each block and of the
  // directory marked so, and the bytes behind the last entry filled.
  void DirectoryCopy(uint32_t firstBlock, const std::vector<std::vector<EntryFields>>& blocks);
  // Data from the start of a block on, over as many blocks as it needs.
  void Data(uint32_t firstBlock, const Bytes& data);
  const Bytes& Image() const { return bytes_; }

 private:
  uint32_t blockSize_;
  Bytes bytes_;
};

// Writes at `path` an image whose root holds one file, "big", of `bytes`
// zeros from block 2 on, the image sparse on the host: reading it out takes
// long enough to be cancelled, and costs no disk.
void WriteImageWithOneLargeFile(const std::string& path, uint32_t bytes);

// The bytes of one entry in on-disc form.
Bytes EntryBytes(const EntryFields& fields);
void Put32(uint8_t* at, uint32_t value);

}  // namespace zanthrel::testkit
