// The drives of this host, with the platform's type codes 0..6.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/host.h"

namespace zanthrel {

inline constexpr int32_t kDriveUnknown = 0;
inline constexpr int32_t kDriveRemovable = 2;
inline constexpr int32_t kDriveFixed = 3;
inline constexpr int32_t kDriveCdRom = 5;
inline constexpr int32_t kDriveRamDisk = 6;

struct DriveEntry {
  std::string name;  // the device path (/dev/sr0) or the drive name (D:)
  int32_t type;
};

// The drives of this host: ListBlockDevices of /sys/block and /dev on Linux,
// DrivesFromRoots of the logical drives on Windows.
std::vector<DriveEntry> ListDrives();

// Every block device named in `sysBlock` that has a node in `devFolder`,
// sorted by name: sr* as CD-ROM, removable ones as removable, ram* as RAM
// disks, the rest as fixed. A host without drives gives an empty list.
std::vector<DriveEntry> ListBlockDevices(Host& host, const std::string& sysBlock,
                                         const std::string& devFolder);

// The drives named in `roots` (each root, such as "D:\", ended by a zero
// byte, as the system lists them), in that order, named without the final
// backslash, with the type that `typeOf` gives for the name; a type outside
// 0..6 counts as 0.
std::vector<DriveEntry> DrivesFromRoots(std::string_view roots,
                                        const std::function<int32_t(const std::string&)>& typeOf);

// The drives that De-Compile offers: CD-ROM and removable ones, in list order.
std::vector<DriveEntry> OfferedDrives(const std::vector<DriveEntry>& drives);

std::string DriveTypeName(int32_t type);

}  // namespace zanthrel
