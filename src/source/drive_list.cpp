#include "source/drive_list.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel {

namespace {

int32_t TypeOf(Host& host, const std::string& sysEntry, const std::string& name) {
  if (name.rfind("sr", 0) == 0) return kDriveCdRom;
  if (name.rfind("ram", 0) == 0) return kDriveRamDisk;
  Result<HostFile> removable = host.OpenFile(JoinPath(sysEntry, "removable"));
  char text[16];
  Result<size_t> read = removable ? removable->ReadAt(0, text, sizeof text) : removable.Failure();
  const std::string flag = read ? TrimBlanks(std::string_view(text, *read)) : "";
  if (flag.empty()) return kDriveUnknown;
  return flag[0] == '1' ? kDriveRemovable : kDriveFixed;
}

}  // namespace

std::vector<DriveEntry> ListDrives(Host& host, const std::string& sysBlock,
                                   const std::string& devFolder) {
  std::vector<DriveEntry> drives;
  Result<std::vector<FolderChild>> devices = host.ListFolder(sysBlock);
  if (!devices) return drives;
  for (const FolderChild& device : *devices) {
    const std::string node = JoinPath(devFolder, device.name);
    if (!host.InfoOf(node)) continue;
    drives.push_back({node, TypeOf(host, JoinPath(sysBlock, device.name), device.name)});
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
