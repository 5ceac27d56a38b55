// The boot area: fixed blocks that hold copies of the boot files, besides
// their places in the tree, and of the volume label.
#pragma once

#include <cstdint>
#include <string>

#include "compile/run_state.h"
#include "compile/tree_walk.h"

namespace zanthrel {

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

// Copies the file into a boot slot; a file longer than the slot is cut to it and reported.
void CopyFileToSlot(CompileRun& run, const std::string& hostPath, BootSlot slot);
// Copies a file into the slots its name gives it: in the root "rom_tags" and
// "bannerscreen", in the boot-code folders the boot code files.
void CopyToBootSlots(CompileRun& run, const std::string& name, const std::string& hostPath,
                     FolderLevel level);

}  // namespace zanthrel
