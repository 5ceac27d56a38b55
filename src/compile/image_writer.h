// The body of an image: the data blocks of every file and the directory
// blocks of every folder, laid out in post-order behind the block cursor.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "compile/folder_scan.h"
#include "compile/image_file.h"
#include "decompile/progress.h"

namespace zanthrel {

using EntryBytes = std::array<uint8_t, 72>;

struct Compilation {
  explicit Compilation(ImageFile& image) : image(image) {}

  ImageFile& image;
  // One line per problem met: "path: reason".
  std::vector<std::string> problems;
  // Host objects never listed as part of the source (the image being written).
  std::vector<HostObject> excluded;
  // Folders on the current path, so that a link loop is not followed.
  std::vector<HostObject> path;
  const Progress* progress = nullptr;
  uint64_t totalBytes = 0;
  uint64_t bytesCopied = 0;
};

// Boot slots: the first block and the blocks up to the next slot.
struct BootSlot {
  uint32_t firstBlock;
  uint32_t blocks;
};
inline constexpr BootSlot kRomTagsSlot{1, 1};
inline constexpr BootSlot kBootCodeSlot{2, 4};
inline constexpr BootSlot kOsCodeSlot{6, 64};
inline constexpr BootSlot kMiscCodeSlot{70, 155};
inline constexpr uint32_t kLabelCopyBlock = 225;
inline constexpr BootSlot kRomTagsCopySlot{226, 1};
inline constexpr BootSlot kBannerSlot{227, 76};
inline constexpr uint32_t kBootAreaEnd = 303;

// Appends the file's data; writes its byte count, big-endian, into the field.
// Returns the new block cursor.
int32_t CopyFileBlocks(Compilation& run, const std::string& hostPath, uint8_t byteCountField[4]);
// Copies the file into a boot slot; a file longer than the slot is cut to it and reported.
void CopyFileToSlot(Compilation& run, const std::string& hostPath, BootSlot slot);
enum class FolderLevel { kRoot, kBelowRoot };

// Writes the children of a folder, in list order, and gives their entries.
// In the root, "rom_tags" and "bannerscreen" and the folder "system" are
// special; below it, in boot-code folders, the boot code files and "kernel".
std::vector<EntryBytes> CompileChildren(Compilation& run, const std::string& hostPath,
                                        int32_t bootFlag, FolderLevel level);
// Writes the folder's subtree and then its directory blocks; stores its first
// directory block, big-endian, into `parentCopyField`. Returns the new cursor.
int32_t CompileFolder(Compilation& run, const std::string& hostPath, uint8_t parentCopyField[4],
                      int32_t bootFlag);
// 28 entries a block, the last-in-block bit on the last entry of every block
// that another follows. Returns the new cursor.
int32_t WriteDirectoryBlocks(ImageFile& image, std::vector<EntryBytes>& entries);

// The entry of a file or folder child, filled as the image writer fills it.
EntryBytes ChildEntry(const FolderItem& item);
// Sets the fields that are known only once the child is written.
void FinishEntry(EntryBytes& entry, uint32_t blockCount, uint32_t firstBlock);

}  // namespace zanthrel
