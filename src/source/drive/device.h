// Device operations through which a disc in a CD-ROM drive is read: a drive
// opened for raw 2048-byte sector reads with a byte position, its geometry and
// its tray lock. Each operation reports failure only through its result;
// opening also says why it failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/result.h"

namespace zanthrel {

using DeviceHandle = intptr_t;
inline constexpr DeviceHandle kInvalidDevice = -1;

class DeviceOperations {
 public:
  virtual ~DeviceOperations() = default;

  // Discs are only ever read, so a drive is opened for reading alone.
  virtual Result<DeviceHandle> OpenForReading(const std::string& name) = 0;
  // Bytes per sector, 0 on failure.
  virtual uint32_t GetSectorSize(DeviceHandle device) = 0;
  // Size of the disc in bytes, 0 on failure.
  virtual uint64_t GetDiscSize(DeviceHandle device) = 0;
  // Prevent / allow media removal; true when the drive accepted.
  virtual bool LockMedia(DeviceHandle device) = 0;
  virtual bool UnlockMedia(DeviceHandle device) = 0;
  // To `offset` bytes from the start of the disc: the new position, or -1.
  virtual int64_t SeekTo(DeviceHandle device, int64_t offset) = 0;
  // Bytes read, or -1.
  virtual int64_t ReadDevice(DeviceHandle device, void* buffer, uint32_t count) = 0;
  virtual void CloseDevice(DeviceHandle device) = 0;
};

// The device operations of this host (device_linux.cpp, device_win32.cpp).
DeviceOperations& HostDevice();

}  // namespace zanthrel
