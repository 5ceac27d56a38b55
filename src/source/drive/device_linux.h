// Device operations on Linux block devices: open(2) read-only, BLKSSZGET,
// BLKGETSIZE64, CDROM_LOCKDOOR, lseek(2) and read(2).
#pragma once

#include "source/drive/device.h"

namespace zanthrel {

class LinuxDevice : public DeviceOperations {
 public:
  Result<DeviceHandle> OpenForReading(const std::string& name) override;
  uint32_t GetSectorSize(DeviceHandle device) override;
  uint64_t GetDiscSize(DeviceHandle device) override;
  bool LockMedia(DeviceHandle device) override;
  bool UnlockMedia(DeviceHandle device) override;
  int64_t SeekTo(DeviceHandle device, int64_t offset) override;
  int64_t ReadDevice(DeviceHandle device, void* buffer, uint32_t count) override;
  void CloseDevice(DeviceHandle device) override;
};

}  // namespace zanthrel
