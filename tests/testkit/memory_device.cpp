#include "testkit/memory_device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/host.h"

namespace zanthrel {

bool MemoryDevice::Locked(const std::string& name) const { return locked_.count(name) != 0; }

MemoryDevice::OpenDisc* MemoryDevice::Find(DeviceHandle device) {
  auto it = open_.find(device);
  return it == open_.end() ? nullptr : &it->second;
}

Result<DeviceHandle> MemoryDevice::OpenForReading(const std::string& name) {
  calls.push_back("open " + name);
  if (discs.count(name) == 0) return HostError(name, ENOENT);
  DeviceHandle handle = next_++;
  open_[handle] = OpenDisc{name, 0};
  return handle;
}

uint32_t MemoryDevice::GetSectorSize(DeviceHandle device) {
  calls.push_back("sector size");
  OpenDisc* disc = Find(device);
  return disc ? discs[disc->name].sectorSize : 0;
}

uint64_t MemoryDevice::GetDiscSize(DeviceHandle device) {
  calls.push_back("disc size");
  OpenDisc* disc = Find(device);
  return disc ? discs[disc->name].bytes.size() : 0;
}

bool MemoryDevice::LockMedia(DeviceHandle device) {
  calls.push_back("lock");
  OpenDisc* disc = Find(device);
  if (!disc || discs[disc->name].refuseLock) return false;
  locked_.insert(disc->name);
  return true;
}

bool MemoryDevice::UnlockMedia(DeviceHandle device) {
  calls.push_back("unlock");
  OpenDisc* disc = Find(device);
  if (!disc) return false;
  locked_.erase(disc->name);
  return true;
}

int64_t MemoryDevice::SeekTo(DeviceHandle device, int64_t offset) {
  calls.push_back("seek " + std::to_string(offset));
  OpenDisc* disc = Find(device);
  if (!disc || offset < 0) return -1;
  disc->position = offset;
  return disc->position;
}

int64_t MemoryDevice::ReadDevice(DeviceHandle device, void* buffer, uint32_t count) {
  OpenDisc* disc = Find(device);
  if (!disc) return -1;
  ++reads_;
  const MemoryDisc& data = discs[disc->name];
  calls.push_back("read " + std::to_string(disc->position / 2048));
  if (data.badSectors.count(uint64_t(disc->position) / 2048)) return -1;
  int64_t size = int64_t(data.bytes.size());
  int64_t available = std::max<int64_t>(0, size - disc->position);
  int64_t n = std::min<int64_t>(count, available);
  if (n > 0) std::memcpy(buffer, data.bytes.data() + disc->position, size_t(n));
  disc->position += n;
  return n;
}

void MemoryDevice::CloseDevice(DeviceHandle device) {
  calls.push_back("close");
  open_.erase(device);
}

}  // namespace zanthrel
