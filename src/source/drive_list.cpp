#include "source/drive_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zanthrel {

namespace {

namespace fs = std::filesystem;

int32_t TypeOf(const fs::path& sysEntry, const std::string& name) {
  if (name.rfind("sr", 0) == 0) return kDriveCdRom;
  if (name.rfind("ram", 0) == 0) return kDriveRamDisk;
  std::ifstream removable(sysEntry / "removable");
  char flag = '0';
  if (!(removable >> flag)) return kDriveUnknown;
  return flag == '1' ? kDriveRemovable : kDriveFixed;
}

}  // namespace

std::vector<DriveEntry> ListDrives(const std::string& sysBlock, const std::string& devFolder) {
  std::vector<DriveEntry> drives;
  std::error_code error;
  for (fs::directory_iterator it(sysBlock, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const fs::path node = fs::path(devFolder) / name;
    std::error_code missing;
    if (!fs::exists(node, missing)) continue;
    drives.push_back({node.string(), TypeOf(it->path(), name)});
  }
  std::sort(drives.begin(), drives.end(),
            [](const DriveEntry& a, const DriveEntry& b) { return a.name < b.name; });
  return drives;
}

std::vector<DriveEntry> OfferedDrives(const std::vector<DriveEntry>& drives) {
  std::vector<DriveEntry> offered;
  for (const DriveEntry& drive : drives) {
    if (drive.type == kDriveRemovable || drive.type == kDriveCdRom) offered.push_back(drive);
  }
  return offered;
}

std::string DriveTypeName(int32_t type) {
  switch (type) {
    case kDriveRemovable: return "removable";
    case kDriveFixed: return "fixed";
    case kDriveCdRom: return "CD-ROM";
    case kDriveRamDisk: return "RAM disk";
    default: return "unknown";
  }
}

}  // namespace zanthrel
