#include "source/drive/device_win32.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <cerrno>
#include <vector>

#include "support/host.h"
#include "support/windows_paths.h"

namespace zanthrel {

namespace {

// ntddcdrm.h's code, which mingw's headers lack: CTL_CODE(IOCTL_CDROM_BASE, 0x14, ...).
constexpr DWORD kCdromGetDriveGeometryEx = 0x24050;

HANDLE Win(DeviceHandle device) { return reinterpret_cast<HANDLE>(device); }

bool IsDriveName(const std::string& name) {
  return name.size() == 2 && name[1] == ':' &&
         ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

bool Geometry(DeviceHandle device, DISK_GEOMETRY_EX& geometry) {
  DWORD returned = 0;
  for (DWORD code : {kCdromGetDriveGeometryEx, DWORD(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX)}) {
    if (::DeviceIoControl(Win(device), code, nullptr, 0, &geometry, sizeof geometry, &returned,
                          nullptr) &&
        returned >= offsetof(DISK_GEOMETRY_EX, Data)) {
      return true;
    }
  }
  return false;
}

// The size of a handle that is a file rather than a drive; 0 for none.
uint64_t FileSize(DeviceHandle device) {
  LARGE_INTEGER size{};
  if (::GetFileType(Win(device)) != FILE_TYPE_DISK || !::GetFileSizeEx(Win(device), &size)) return 0;
  return uint64_t(size.QuadPart);
}

bool MediaRemoval(DeviceHandle device, bool prevent) {
  PREVENT_MEDIA_REMOVAL request{};
  request.PreventMediaRemoval = prevent ? TRUE : FALSE;
  DWORD returned = 0;
  return ::DeviceIoControl(Win(device), IOCTL_STORAGE_MEDIA_REMOVAL, &request, sizeof request,
                           nullptr, 0, &returned, nullptr) != 0;
}

}  // namespace

Result<DeviceHandle> WindowsDevice::OpenForReading(const std::string& name) {
  std::optional<std::u16string> path = Utf8ToUtf16(IsDriveName(name) ? "\\\\.\\" + name : name);
  if (!path) return HostError(name, EINVAL);
  HANDLE handle = ::CreateFileW(Wide(*path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return HostError(name, error == ERROR_ACCESS_DENIED ? EACCES
                           : error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
                           : error == ERROR_NOT_READY ? ENXIO
                                                      : EIO);
  }
  return DeviceHandle(handle);
}

uint32_t WindowsDevice::GetSectorSize(DeviceHandle device) {
  DISK_GEOMETRY_EX geometry{};
  if (Geometry(device, geometry)) return geometry.Geometry.BytesPerSector;
  return FileSize(device) > 0 ? 2048 : 0;
}

uint64_t WindowsDevice::GetDiscSize(DeviceHandle device) {
  DISK_GEOMETRY_EX geometry{};
  if (Geometry(device, geometry)) return uint64_t(geometry.DiskSize.QuadPart);
  return FileSize(device);
}

bool WindowsDevice::LockMedia(DeviceHandle device) { return MediaRemoval(device, true); }

bool WindowsDevice::UnlockMedia(DeviceHandle device) { return MediaRemoval(device, false); }

int64_t WindowsDevice::SeekTo(DeviceHandle device, int64_t offset) {
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(Win(device), distance, &position, FILE_BEGIN)) return -1;
  return int64_t(position.QuadPart);
}

int64_t WindowsDevice::ReadDevice(DeviceHandle device, void* buffer, uint32_t count) {
  DWORD done = 0;
  if (!::ReadFile(Win(device), buffer, count, &done, nullptr)) return -1;
  return int64_t(done);
}

void WindowsDevice::CloseDevice(DeviceHandle device) { ::CloseHandle(Win(device)); }

DeviceOperations& HostDevice() {
  static WindowsDevice device;
  return device;
}

std::string LogicalDriveStrings() {
  // Asked with a small buffer first, then with the length the system names.
  std::vector<wchar_t> roots(256, L'\0');
  DWORD length = ::GetLogicalDriveStringsW(DWORD(roots.size()), roots.data());
  if (length > roots.size()) {
    roots.assign(length + 2, L'\0');
    length = ::GetLogicalDriveStringsW(DWORD(roots.size()), roots.data());
  }
  if (length == 0 || length > roots.size()) return "";
  return Utf16ToUtf8(std::u16string(roots.begin(), roots.begin() + length));
}

int32_t DriveTypeOf(const std::string& name) {
  std::optional<std::u16string> root = Utf8ToUtf16(name + "\\");
  if (!root) return 0;
  return int32_t(::GetDriveTypeW(Wide(*root).c_str()));
}

}  // namespace zanthrel
