// Device operations on Windows drives: CreateFileW on "\\.\X:", the geometry
// and media-removal ioctls, SetFilePointerEx and ReadFile; and the two calls
// behind the drive list.
#pragma once

#include <cstdint>
#include <string>

#include "source/drive/device.h"

namespace zanthrel {

class WindowsDevice : public DeviceOperations {
 public:
  // "D:" opens the drive "\\.\D:"; any other name is opened as it stands, so
  // that an image file can play a drive.
  Result<DeviceHandle> OpenForReading(const std::string& name) override;
  // Where the geometry ioctls are refused (an image file, or wine), a file
  // that has a size counts as 2048-byte sectors of that size.
  uint32_t GetSectorSize(DeviceHandle device) override;
  uint64_t GetDiscSize(DeviceHandle device) override;
  bool LockMedia(DeviceHandle device) override;
  bool UnlockMedia(DeviceHandle device) override;
  int64_t SeekTo(DeviceHandle device, int64_t offset) override;
  int64_t ReadDevice(DeviceHandle device, void* buffer, uint32_t count) override;
  void CloseDevice(DeviceHandle device) override;
};

// GetLogicalDriveStringsW's answer in UTF-8: roots ("C:\") each ended by a
// zero byte; empty when the call fails.
std::string LogicalDriveStrings();
// GetDriveTypeW's code for a drive name such as "D:".
int32_t DriveTypeOf(const std::string& name);

}  // namespace zanthrel
