// Drives held in memory, for tests where no CD-ROM drive can exist.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "source/drive/device.h"

namespace zanthrel {

struct MemoryDisc {
  uint32_t sectorSize = 2048;
  std::vector<uint8_t> bytes;
  // Sectors whose reads fail.
  std::set<uint64_t> badSectors;
  bool refuseLock = false;
};

class MemoryDevice : public DeviceOperations {
 public:
  // Every call, in order, for tests that check the sequence ("open", "lock", "read 0", ...).
  std::vector<std::string> calls;
  std::map<std::string, MemoryDisc> discs;

  bool Locked(const std::string& name) const;
  size_t OpenHandles() const { return open_.size(); }
  size_t Reads() const { return reads_; }

  Result<DeviceHandle> OpenForReading(const std::string& name) override;
  uint32_t GetSectorSize(DeviceHandle device) override;
  uint64_t GetDiscSize(DeviceHandle device) override;
  bool LockMedia(DeviceHandle device) override;
  bool UnlockMedia(DeviceHandle device) override;
  int64_t SeekTo(DeviceHandle device, int64_t offset) override;
  int64_t ReadDevice(DeviceHandle device, void* buffer, uint32_t count) override;
  void CloseDevice(DeviceHandle device) override;

 private:
  struct OpenDisc {
    std::string name;
    int64_t position = 0;
  };
  OpenDisc* Find(DeviceHandle device);

  std::map<DeviceHandle, OpenDisc> open_;
  std::set<std::string> locked_;
  DeviceHandle next_ = 1;
  size_t reads_ = 0;
};

}  // namespace zanthrel
