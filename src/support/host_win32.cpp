// The host door on Windows: wide-character calls only, every path turned from
// UTF-8 into its UTF-16 "\\?\" form at this door, handles opened in binary
// with 64-bit offsets. The C runtime's file calls are never used: text mode
// adds bytes and stops at 0x1A, st_ino is always 0, and rename fails onto an
// existing file.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "support/host.h"
#include "support/text.h"
#include "support/windows_paths.h"

namespace zanthrel {

namespace {

HANDLE Win(const HostFile& file) { return reinterpret_cast<HANDLE>(file.Handle()); }

// The error numbers that the rest of the program tells apart, from Win32's.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return ENOTSUP;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    default: return EIO;
  }
}

Error LastError(const std::string& path) { return HostError(path, ErrnoOf(::GetLastError())); }

// The wide form that reaches the system: full, "\\?\" in front, so that
// neither the 260-character limit nor a trailing dot or space changes it.
std::optional<std::wstring> WidePath(const std::string& path) {
  std::optional<std::u16string> wide = Utf8ToUtf16(path);
  if (!wide) return std::nullopt;
  std::wstring given(wide->begin(), wide->end());
  if (given.rfind(L"\\\\?\\", 0) == 0 || given.rfind(L"\\\\.\\", 0) == 0) return given;
  const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  const std::u16string longForm = LongPathForm(std::u16string(full.begin(), full.end()));
  return std::wstring(longForm.begin(), longForm.end());
}

std::string Utf8Of(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

// FILETIME counts 100-ns steps since 1601.
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

PathInfo InfoFromHandle(const BY_HANDLE_FILE_INFORMATION& data, DWORD fileType) {
  PathInfo out;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    out.kind = PathKind::kFolder;
  } else {
    out.kind = fileType == FILE_TYPE_DISK ? PathKind::kFile : PathKind::kOther;
  }
  if (out.kind == PathKind::kFile) {
    out.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  out.identity = {data.dwVolumeSerialNumber,
                  (uint64_t(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
  const uint64_t ticks =
      (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  out.modifiedSeconds = int64_t(ticks / 10000000) - kSecondsFrom1601To1970;
  out.modifiedNanoseconds = uint32_t(ticks % 10000000) * 100;
  return out;
}

Result<PathInfo> InfoOfHandle(HANDLE handle, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION data{};
  if (!::GetFileInformationByHandle(handle, &data)) return LastError(path);
  return InfoFromHandle(data, ::GetFileType(handle));
}

bool IsDevicePath(const std::string& path) { return path.rfind("\\\\.\\", 0) == 0; }

// Files to remove should the console end the process (Ctrl+C, Ctrl+Break, the
// window closing): the console's handler runs on a thread of its own, so it
// reaches these through process-wide storage.
struct InterruptState {
  std::mutex mutex;
  std::vector<std::wstring> armed;
  std::atomic<std::atomic<bool>*> cancel{nullptr};
  std::atomic<bool> handlerInstalled{false};
};
InterruptState gInterrupt;

BOOL WINAPI HandleConsoleEvent(DWORD event) {
  std::atomic<bool>* cancel = gInterrupt.cancel.load();
  if (event == CTRL_C_EVENT && cancel && !cancel->exchange(true)) return TRUE;
  std::lock_guard<std::mutex> lock(gInterrupt.mutex);
  for (const std::wstring& path : gInterrupt.armed) ::DeleteFileW(path.c_str());
  return FALSE;
}

void InstallConsoleHandler() {
  if (!gInterrupt.handlerInstalled.exchange(true)) ::SetConsoleCtrlHandler(HandleConsoleEvent, TRUE);
}

class Win32Host : public Host {
 public:
  void CancelOnInterrupt(std::atomic<bool>* flag) override {
    gInterrupt.cancel = flag;
    if (flag) InstallConsoleHandler();
  }

  Result<HostFile> CreateFile(const std::string& path) override {
    return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, 0);
  }
  Result<HostFile> CreateNewFile(const std::string& path) override {
    return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, 0);
  }
  // Only a disk file or a drive is read: a pipe or a character device (CON,
  // COM1) may never end.
  Result<HostFile> OpenFile(const std::string& path) override {
    Result<HostFile> file = Open(path, GENERIC_READ, OPEN_EXISTING, 0);
    if (!file) return file;
    const DWORD type = ::GetFileType(Win(*file));
    if (type == FILE_TYPE_DISK) return file;
    return RefusedInput(path, type == FILE_TYPE_PIPE   ? EntryType::kPipe
                              : type == FILE_TYPE_CHAR ? EntryType::kCharacterDevice
                                                       : EntryType::kOther);
  }

  // Children of an output folder: a reparse point (a symbolic link, a
  // junction) is opened itself, never what it leads to, and refused.
  Result<HostFile> CreateFileIn(const HostFolder& folder, const std::string& name) override {
    const std::string path = JoinPath(folder.path, name);
    // OPEN_ALWAYS leaves what stands there as it is until it is known to be a file.
    Result<HostFile> file = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS,
                                 FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file) return file;
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(Win(*file), &data)) return LastError(path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkInTheWay(path);
    if (::GetFileType(Win(*file)) != FILE_TYPE_DISK) return Error{path + ": not a regular file", EEXIST};
    if (Status emptied = Truncate(*file, 0); !emptied) return emptied.Failure();
    return file;
  }
  Result<HostFolder> OpenFolderIn(const HostFolder& folder, const std::string& name) override {
    std::string path = JoinPath(folder.path, name);
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    HANDLE handle = ::CreateFileW(wide->c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError(path);
    HostFile held(*this, NativeHandle(handle), path);
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) return LastError(path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkInTheWay(path);
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return HostError(path, ENOTDIR);
    return HostFolder{std::move(path), std::move(held)};
  }
  Result<HostFolder> MakeFolderIn(const HostFolder& folder, const std::string& name) override {
    const std::string path = JoinPath(folder.path, name);
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    if (!::CreateDirectoryW(wide->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return LastError(path);
    }
    return OpenFolderIn(folder, name);
  }

  Result<HostFile> CreateScratchFile() override {
    std::array<wchar_t, MAX_PATH + 1> folder{};
    const DWORD length = ::GetTempPathW(DWORD(folder.size()), folder.data());
    if (length == 0 || length > folder.size()) return HostError("temporary folder", ENOENT);
    std::array<wchar_t, MAX_PATH + 1> name{};
    if (::GetTempFileNameW(folder.data(), L"zan", 0, name.data()) == 0) {
      return LastError(Utf8Of(folder.data()));
    }
    // Gone with its last handle, however the process ends.
    HANDLE handle = ::CreateFileW(name.data(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const Error failure = LastError(Utf8Of(name.data()));
      ::DeleteFileW(name.data());
      return failure;
    }
    // Named by its folder, as a file without a name of its own would be.
    std::string path = Utf8Of(folder.data());
    if (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
    return HostFile(*this, NativeHandle(handle), path);
  }

  // A file cannot be given a name after it was made nameless here, so
  // TemporaryFile names it from the start.
  Result<HostFile> CreateUnnamedFile(const std::string& folder) override {
    return Error{folder + ": no unnamed files here", ENOTSUP};
  }
  Status NameFile(const HostFile& file, const std::string&) override {
    return Error{file.Path() + ": no unnamed files here", ENOTSUP};
  }

  void RemoveOnInterrupt(const std::string& path) override {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return;
    std::lock_guard<std::mutex> lock(gInterrupt.mutex);
    gInterrupt.armed.push_back(*wide);
    InstallConsoleHandler();
  }

  void KeepOnInterrupt(const std::string& path) override {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return;
    std::lock_guard<std::mutex> lock(gInterrupt.mutex);
    std::erase(gInterrupt.armed, *wide);
  }

  Result<size_t> ReadSome(const HostFile& file, uint64_t offset, void* buffer,
                          size_t count) override {
    OVERLAPPED at = Position(offset);
    DWORD done = 0;
    if (!::ReadFile(Win(file), buffer, Chunk(count), &done, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) return size_t(0);
      return LastError(file.Path());
    }
    return size_t(done);
  }

  Result<size_t> WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                           size_t count) override {
    OVERLAPPED at = Position(offset);
    DWORD done = 0;
    if (!::WriteFile(Win(file), bytes, Chunk(count), &done, &at)) return LastError(file.Path());
    return size_t(done);
  }

  Result<size_t> CopySome(const HostFile& from, uint64_t, const HostFile&, uint64_t,
                          size_t) override {
    return Error{from.Path() + ": no copy inside the system", ENOTSUP};
  }

  Result<PathInfo> InfoOf(const HostFile& file) override {
    return InfoOfHandle(Win(file), file.Path());
  }

  Status Truncate(const HostFile& file, uint64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = LONGLONG(size);
    if (!::SetFileInformationByHandle(Win(file), FileEndOfFileInfo, &end, sizeof end)) {
      return LastError(file.Path());
    }
    return {};
  }

  void Close(NativeHandle handle) override { ::CloseHandle(reinterpret_cast<HANDLE>(handle)); }

  Result<PathInfo> InfoOf(const std::string& path) override {
    if (IsDevicePath(path)) {
      PathInfo device;
      device.kind = PathKind::kDevice;
      return device;
    }
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    // No access asked, only attributes; folders open with backup semantics.
    HANDLE handle = ::CreateFileW(wide->c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError(path);
    Result<PathInfo> info = InfoOfHandle(handle, path);
    ::CloseHandle(handle);
    return info;
  }

  Result<EntryType> EntryTypeOf(const std::string& path) override {
    if (IsDevicePath(path)) return EntryType::kBlockDevice;
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    // Names such as NUL and COM1 come back from the full-path form as devices.
    if (wide->rfind(L"\\\\.\\", 0) == 0) return EntryType::kCharacterDevice;
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError(path);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryType::kLink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryType::kFolder;
    return EntryType::kFile;
  }

  Status MakeFolder(const std::string& path) override {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    if (::CreateDirectoryW(wide->c_str(), nullptr)) return {};
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return HostError(path, ErrnoOf(error));
    Result<PathInfo> info = InfoOf(path);
    if (!info) return info.Failure();
    if (info->kind != PathKind::kFolder) return HostError(path, ENOTDIR);
    return {};
  }

  Result<std::vector<FolderChild>> ListFolder(const std::string& path) override {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW((*wide + L"\\*").c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return std::vector<FolderChild>{};
      return HostError(path, ErrnoOf(error));
    }
    std::vector<FolderChild> children;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::string utf8 = Utf8Of(name);
      // The identity (and a link's target) needs the child opened.
      children.push_back({utf8, InfoOf(JoinPath(path, utf8)),
                          (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES) return HostError(path, ErrnoOf(error));
    return children;
  }

  Status RemoveFile(const std::string& path) override {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    if (!::DeleteFileW(wide->c_str())) return LastError(path);
    return {};
  }

  Status Rename(const std::string& from, const std::string& to) override {
    std::optional<std::wstring> wideFrom = WidePath(from);
    std::optional<std::wstring> wideTo = WidePath(to);
    if (!wideFrom) return HostError(from, EINVAL);
    if (!wideTo) return HostError(to, EINVAL);
    if (!::MoveFileExW(wideFrom->c_str(), wideTo->c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return LastError(to);
    }
    return {};
  }

  Result<std::string> CurrentDirectory() override {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring current(needed, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(needed, current.data());
    if (length == 0 || length >= needed) return LastError(".");
    current.resize(length);
    return Utf16ToUtf8(WithoutLongPathPrefix(std::u16string(current.begin(), current.end())));
  }

  Result<std::string> RealPath(const std::string& path) override {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    HANDLE handle = ::CreateFileW(wide->c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError(path);
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()),
                                               FILE_NAME_NORMALIZED);
    if (length >= resolved.size()) {
      resolved.resize(length + 1);
      length = ::GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()),
                                           FILE_NAME_NORMALIZED);
    }
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (length == 0 || length >= resolved.size()) return HostError(path, ErrnoOf(error));
    resolved.resize(length);
    return Utf16ToUtf8(WithoutLongPathPrefix(std::u16string(resolved.begin(), resolved.end())));
  }

 private:
  Result<HostFile> Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
    std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return HostError(path, EINVAL);
    HANDLE handle = ::CreateFileW(wide->c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError(path);
    return HostFile(*this, NativeHandle(handle), path);
  }

  static OVERLAPPED Position(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    return at;
  }

  // ReadFile and WriteFile take 32-bit counts.
  static DWORD Chunk(size_t count) { return DWORD(std::min<size_t>(count, size_t(1) << 30)); }
};

}  // namespace

Host& SystemHost() {
  static Win32Host host;
  return host;
}

std::string ErrorText(int code) { return std::strerror(code); }

bool IsAbsolutePath(const std::string& path) { return IsWindowsAbsolutePath(path); }

uint64_t CurrentProcessNumber() { return uint64_t(::GetCurrentProcessId()); }

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return int(info.srWindow.Right - info.srWindow.Left + 1);
}

}  // namespace zanthrel
