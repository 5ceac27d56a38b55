#include "compile/image_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

#include "compile/entry_names.h"
#include "compile/unique_ids.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kCopyChunk = 256 * 1024;
constexpr uint64_t kLargestFile = 0xFFFFFFFFull;

using opera::WriteBig32;

// Files that get a copy in the boot area besides their place in the tree.
struct SlotRule {
  const char* name;
  BootSlot slots[2];
};
constexpr SlotRule kRootSlots[] = {{"rom_tags", {kRomTagsSlot, kRomTagsCopySlot}},
                                   {"bannerscreen", {kBannerSlot, {}}}};
constexpr SlotRule kBootCodeSlots[] = {{"boot_code", {kBootCodeSlot, {}}},
                                       {"os_code", {kOsCodeSlot, {}}},
                                       {"misc_code", {kMiscCodeSlot, {}}}};

void Report(Compilation& run, const std::string& path, const std::string& reason) {
  run.problems.push_back(path + ": " + reason);
}

// Reads until the buffer is full or the file ends; -1 after a read error.
int64_t ReadChunk(HostFile& file, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    int64_t n = ReadHostFile(file, buffer + done, size - done);
    if (n < 0) return done > 0 ? int64_t(done) : -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

// Opens a file for copying; reports and gives an invalid file when it cannot be stored.
HostFile OpenForCopy(Compilation& run, const std::string& hostPath) {
  HostFile file = OpenHostFile(hostPath, 0);
  if (!file.IsOpen()) {
    Report(run, hostPath, std::string("cannot be opened (") + std::strerror(errno) + ")");
    return file;
  }
  const int64_t size = SeekHostFile(file, 0, SeekOrigin::kEnd);
  if (size < 0 || SeekHostFile(file, 0, SeekOrigin::kStart) != 0) {
    Report(run, hostPath, "cannot be read (not seekable)");
    return HostFile();
  }
  if (uint64_t(size) > kLargestFile) {
    Report(run, hostPath, "4 GiB or more cannot be stored in one Opera entry; left empty");
    return HostFile();
  }
  return file;
}

// Pads the chunk to whole blocks with zeros; returns the number of blocks.
size_t PadToBlocks(std::vector<uint8_t>& chunk, size_t bytes) {
  const size_t blocks = (bytes + kImageBlockSize - 1) / kImageBlockSize;
  std::fill(chunk.begin() + long(bytes), chunk.begin() + long(blocks * kImageBlockSize), 0);
  return blocks;
}

}  // namespace

int32_t CopyFileBlocks(Compilation& run, const std::string& hostPath, uint8_t byteCountField[4]) {
  HostFile file = OpenForCopy(run, hostPath);
  if (!file.IsOpen()) return run.image.Cursor();
  std::vector<uint8_t> chunk(kCopyChunk);
  uint64_t byteCount = 0;
  for (;;) {
    int64_t n = ReadChunk(file, chunk.data(), chunk.size());
    if (n < 0) {
      Report(run, hostPath, std::string("read failed (") + std::strerror(errno) + "); cut there");
      break;
    }
    if (n == 0) break;
    if (byteCount + uint64_t(n) > kLargestFile) {
      Report(run, hostPath, "grew past 4 GiB while read; cut there");
      n = int64_t(kLargestFile - byteCount) / kImageBlockSize * kImageBlockSize;
    }
    run.image.Append(chunk.data(), PadToBlocks(chunk, size_t(n)));
    byteCount += uint64_t(n);
    run.bytesCopied += uint64_t(n);
    if (run.progress) (*run.progress)(run.bytesCopied, run.totalBytes);
    if (size_t(n) < chunk.size()) break;
  }
  WriteBig32(byteCountField, uint32_t(byteCount));
  return run.image.Cursor();
}

void CopyFileToSlot(Compilation& run, const std::string& hostPath, BootSlot slot) {
  HostFile file = OpenHostFile(hostPath, 0);
  const size_t slotBytes = size_t(slot.blocks) * kImageBlockSize;
  std::vector<uint8_t> chunk(slotBytes + 1);
  int64_t n = ReadChunk(file, chunk.data(), chunk.size());
  if (n <= 0) return;  // the normal copy has reported what went wrong
  if (size_t(n) > slotBytes) {
    Report(run, hostPath,
           "longer than its boot slot of " + std::to_string(slot.blocks) +
               " blocks; only the first " + std::to_string(slot.blocks) + " were put there");
    n = int64_t(slotBytes);
  }
  run.image.WriteAt(slot.firstBlock, chunk.data(), PadToBlocks(chunk, size_t(n)));
}

EntryBytes ChildEntry(const FolderItem& item) {
  EntryBytes entry{};
  namespace E = opera::entry;
  const std::string name = Utf8ToCp1251(item.hostName);
  WriteBig32(&entry[E::kFlags], item.isDirectory ? opera::kKindDirectory : opera::kKindFile);
  if (item.isDirectory) {
    std::memcpy(&entry[E::kType], opera::kTypeDirectory.data(), 4);
    WriteBig32(&entry[E::kByteCount], kImageBlockSize);
  } else {
    WriteBig32(&entry[E::kType], MakeEntryType(name));
  }
  WriteBig32(&entry[E::kBlockSize], kImageBlockSize);
  WriteBig32(&entry[E::kBurst], 1);
  MakeEntryName(name, &entry[E::kName]);
  return entry;
}

void FinishEntry(EntryBytes& entry, uint32_t blockCount, uint32_t firstBlock) {
  namespace E = opera::entry;
  WriteBig32(&entry[E::kUniqueId], NewUniqueId());
  WriteBig32(&entry[E::kBlockCount], blockCount);
  WriteBig32(&entry[E::kCopies], firstBlock);
}

std::vector<EntryBytes> CompileChildren(Compilation& run, const std::string& hostPath,
                                        int32_t bootFlag, FolderLevel level) {
  const bool boot = (bootFlag & 1) != 0;
  FolderList list = ScanFolder(hostPath, run.excluded);
  run.problems.insert(run.problems.end(), list.problems.begin(), list.problems.end());
  std::vector<EntryBytes> entries;
  for (const FolderItem& item : list.items) {
    const std::string childPath = JoinPath(hostPath, item.hostName);
    const std::string name = Utf8ToCp1251(item.hostName);
    if (item.isDirectory &&
        std::find(run.path.begin(), run.path.end(), item.object) != run.path.end()) {
      Report(run, childPath, "leads back to a folder above it (link loop); left out");
      continue;
    }
    EntryBytes entry = ChildEntry(item);
    const int32_t before = run.image.Cursor();
    if (item.isDirectory) {
      // The boot-code folders: "system" in the root, then "kernel" inside each of them.
      const char* bootFolder = level == FolderLevel::kRoot ? "system" : "kernel";
      const int32_t childBoot = boot && IsSpecialName(name, bootFolder) ? bootFlag : 0;
      run.path.push_back(item.object);
      const int32_t after = CompileFolder(run, childPath, &entry[opera::entry::kCopies], childBoot);
      run.path.pop_back();
      const uint32_t firstDirectoryBlock = opera::ReadBig32(&entry[opera::entry::kCopies]);
      FinishEntry(entry, uint32_t(after) - firstDirectoryBlock, firstDirectoryBlock);
    } else {
      const int32_t after = CopyFileBlocks(run, childPath, &entry[opera::entry::kByteCount]);
      if (boot) {
        const std::span<const SlotRule> rules =
            level == FolderLevel::kRoot ? std::span<const SlotRule>(kRootSlots) : kBootCodeSlots;
        for (const SlotRule& rule : rules) {
          if (!IsSpecialName(name, rule.name)) continue;
          for (const BootSlot& slot : rule.slots) {
            if (slot.blocks != 0) CopyFileToSlot(run, childPath, slot);
          }
          break;
        }
      }
      FinishEntry(entry, uint32_t(after - before), uint32_t(before));
    }
    entries.push_back(entry);
  }
  return entries;
}

int32_t CompileFolder(Compilation& run, const std::string& hostPath, uint8_t parentCopyField[4],
                      int32_t bootFlag) {
  std::vector<EntryBytes> entries = CompileChildren(run, hostPath, bootFlag, FolderLevel::kBelowRoot);
  const int32_t first = run.image.Cursor();
  const int32_t after = WriteDirectoryBlocks(run.image, entries);
  WriteBig32(parentCopyField, uint32_t(first));
  return after;
}

int32_t WriteDirectoryBlocks(ImageFile& image, std::vector<EntryBytes>& entries) {
  namespace H = opera::header;
  const uint32_t perBlock = opera::kEntriesPerBlock;
  size_t remaining = entries.size();
  size_t next = 0;
  uint32_t index = 0;
  std::vector<uint8_t> block(kImageBlockSize);
  do {
    opera::FillPattern(block.data(), block.size());
    const bool final = remaining <= perBlock;
    const size_t count = final ? remaining : perBlock;
    WriteBig32(&block[H::kNextBlock], final ? opera::kNone : index + 1);
    WriteBig32(&block[H::kPreviousBlock], index - 1);
    WriteBig32(&block[H::kFlags], 0);
    WriteBig32(&block[H::kFirstFree], uint32_t(opera::kHeaderSize + opera::kEntrySize * count));
    WriteBig32(&block[H::kFirstEntry], opera::kHeaderSize);
    if (!final) {
      uint8_t* flags = &entries[next + count - 1][opera::entry::kFlags];
      WriteBig32(flags, opera::ReadBig32(flags) | opera::kLastInBlockBit);
    }
    for (size_t j = 0; j < count; ++j) {
      std::memcpy(&block[opera::kHeaderSize + opera::kEntrySize * j], entries[next + j].data(),
                  opera::kEntrySize);
    }
    image.Append(block.data(), 1);
    next += count;
    remaining -= count;
    ++index;
  } while (remaining != 0);
  return image.Cursor();
}

}  // namespace zanthrel
