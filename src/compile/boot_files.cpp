#include "compile/boot_files.h"

#include "compile/entry_names.h"

namespace zanthrel {

namespace {

struct BootFile {
  const char* name;  // as IsSpecialName takes it
  FolderLevel level;
  const char* shown;  // where a bootable disc has it
};
constexpr BootFile kBootFiles[] = {
    {"launchme", FolderLevel::kRoot, "LaunchMe"},
    {"rom_tags", FolderLevel::kRoot, "rom_tags"},
    {"bannerscreen", FolderLevel::kRoot, "bannerscreen"},
    {"boot_code", FolderLevel::kBelowRoot, "system/kernel/boot_code"},
    {"os_code", FolderLevel::kBelowRoot, "system/kernel/os_code"},
    {"misc_code", FolderLevel::kBelowRoot, "system/kernel/misc_code"},
};
static_assert(std::size(kBootFiles) == 6);

}  // namespace

void BootFilesFound::Note(const std::string& name, FolderLevel level) {
  for (size_t i = 0; i < std::size(kBootFiles); ++i) {
    if (kBootFiles[i].level == level && IsSpecialName(name, kBootFiles[i].name)) found_.set(i);
  }
}

std::optional<std::string> BootFilesFound::MissingWarning(const std::string& root) const {
  if (found_.all()) return std::nullopt;
  std::string missing;
  for (size_t i = 0; i < std::size(kBootFiles); ++i) {
    if (found_.test(i)) continue;
    missing += (missing.empty() ? "" : ", ") + std::string(kBootFiles[i].shown);
  }
  return root + ": the image will not boot; missing: " + missing;
}

}  // namespace zanthrel
