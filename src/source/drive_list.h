// The drives of this host, with the platform's type codes 0..6.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/host.h"

namespace zanthrel {

inline constexpr int32_t kDriveUnknown = 0;
inline constexpr int32_t kDriveRemovable = 2;
inline constexpr int32_t kDriveFixed = 3;
inline constexpr int32_t kDriveCdRom = 5;
inline constexpr int32_t kDriveRamDisk = 6;

struct DriveEntry {
  std::string name;  // the device path, such as /dev/sr0
  int32_t type;
};

// Every block device named in `sysBlock` (normally /sys/block) that has a node
// in `devFolder`, sorted by name: sr* as CD-ROM, removable ones as removable,
// ram* as RAM disks, the rest as fixed. A host without drives gives an empty list.
std::vector<DriveEntry> ListDrives(Host& host = SystemHost(), const std::string& sysBlock = "/sys/block",
                                   const std::string& devFolder = "/dev");

// The drives that De-Compile offers: CD-ROM and removable ones, in list order.
std::vector<DriveEntry> OfferedDrives(const std::vector<DriveEntry>& drives);

std::string DriveTypeName(int32_t type);

}  // namespace zanthrel
