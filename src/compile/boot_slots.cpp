#include "compile/boot_slots.h"

#include <span>
#include <vector>

#include "compile/entry_names.h"

namespace zanthrel {

namespace {

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

}  // namespace

void CopyFileToSlot(CompileRun& run, const std::string& hostPath, BootSlot slot) {
  Result<HostFile> file = run.host.OpenFile(hostPath);
  if (!file) return;  // the normal copy has reported what went wrong
  const size_t slotBytes = size_t(slot.blocks) * kImageBlockSize;
  std::vector<uint8_t> chunk(slotBytes + kImageBlockSize);
  Result<size_t> read = file->ReadAt(0, chunk.data(), slotBytes + 1);
  if (!read || *read == 0) return;
  size_t n = *read;
  if (n > slotBytes) {
    Report(run, hostPath,
           "longer than its boot slot of " + std::to_string(slot.blocks) +
               " blocks; only the first " + std::to_string(slot.blocks) + " were put there");
    n = slotBytes;
  }
  run.image.WriteAt(slot.firstBlock, chunk.data(), PadToBlocks(chunk, n));
}

void CopyToBootSlots(CompileRun& run, const std::string& name, const std::string& hostPath,
                     FolderLevel level) {
  const std::span<const SlotRule> rules =
      level == FolderLevel::kRoot ? std::span<const SlotRule>(kRootSlots) : kBootCodeSlots;
  for (const SlotRule& rule : rules) {
    if (!IsSpecialName(name, rule.name)) continue;
    for (const BootSlot& slot : rule.slots) {
      if (slot.blocks != 0) CopyFileToSlot(run, hostPath, slot);
    }
    return;
  }
}

}  // namespace zanthrel
