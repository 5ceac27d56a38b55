#include "source/drive/drive_list.h"

#include <algorithm>

#include "support/text.h"

#ifdef _WIN32
#include "source/drive/device_win32.h"
#endif

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

std::vector<DriveEntry> ListDrives() {
#ifdef _WIN32
  return DrivesFromRoots(LogicalDriveStrings(), DriveTypeOf);
#else
  return ListBlockDevices(SystemHost(), "/sys/block", "/dev");
#endif
}

std::vector<DriveEntry> ListBlockDevices(Host& host, const std::string& sysBlock,
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

std::vector<DriveEntry> DrivesFromRoots(std::string_view roots,
                                        const std::function<int32_t(const std::string&)>& typeOf) {
  std::vector<DriveEntry> drives;
  size_t at = 0;
  while (at < roots.size() && roots[at] != '\0') {
    const size_t end = std::min(roots.find('\0', at), roots.size());
    std::string name(roots.substr(at, end - at));
    at = end + 1;
    if (name.back() == '\\') name.pop_back();
    const int32_t type = typeOf(name);
    drives.push_back({name, type >= 0 && type <= 6 ? type : kDriveUnknown});
  }
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
