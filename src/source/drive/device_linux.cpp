#include "source/drive/device_linux.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "support/host.h"

namespace zanthrel {

namespace {

int Fd(DeviceHandle device) { return int(device); }

}  // namespace

Result<DeviceHandle> LinuxDevice::OpenForReading(const std::string& name) {
  // Without O_NONBLOCK a drive without a disc refuses to open; the size query tells instead.
  int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return HostError(name, errno);
  return DeviceHandle(fd);
}

uint32_t LinuxDevice::GetSectorSize(DeviceHandle device) {
  int size = 0;
  return ::ioctl(Fd(device), BLKSSZGET, &size) == 0 && size > 0 ? uint32_t(size) : 0;
}

uint64_t LinuxDevice::GetDiscSize(DeviceHandle device) {
  uint64_t size = 0;
  return ::ioctl(Fd(device), BLKGETSIZE64, &size) == 0 ? size : 0;
}

bool LinuxDevice::LockMedia(DeviceHandle device) {
  return ::ioctl(Fd(device), CDROM_LOCKDOOR, 1) == 0;
}

bool LinuxDevice::UnlockMedia(DeviceHandle device) {
  return ::ioctl(Fd(device), CDROM_LOCKDOOR, 0) == 0;
}

int64_t LinuxDevice::SeekTo(DeviceHandle device, int64_t offset) {
  off_t position = ::lseek(Fd(device), off_t(offset), SEEK_SET);
  return position < 0 ? -1 : int64_t(position);
}

int64_t LinuxDevice::ReadDevice(DeviceHandle device, void* buffer, uint32_t count) {
  ssize_t n;
  do {
    n = ::read(Fd(device), buffer, count);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : int64_t(n);
}

void LinuxDevice::CloseDevice(DeviceHandle device) { ::close(Fd(device)); }

DeviceOperations& HostDevice() {
  static LinuxDevice device;
  return device;
}

}  // namespace zanthrel
