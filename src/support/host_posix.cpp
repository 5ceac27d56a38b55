// The host door on POSIX systems (Linux first): positioned reads and writes,
// copy_file_range for copies inside the kernel, O_TMPFILE for scratch files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

namespace {

int Fd(const HostFile& file) { return int(file.Handle()); }

// Repeats a system call that a signal interrupted.
template <typename Call>
auto Retry(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

PathInfo InfoFromStat(const struct stat& info) {
  PathInfo out;
  out.kind = S_ISREG(info.st_mode)   ? PathKind::kFile
             : S_ISDIR(info.st_mode) ? PathKind::kFolder
             : S_ISBLK(info.st_mode) ? PathKind::kDevice
                                     : PathKind::kOther;
  out.size = S_ISREG(info.st_mode) ? uint64_t(info.st_size) : 0;
  out.identity = {uint64_t(info.st_dev), uint64_t(info.st_ino)};
  out.modifiedSeconds = int64_t(info.st_mtim.tv_sec);
  out.modifiedNanoseconds = uint32_t(info.st_mtim.tv_nsec);
  return out;
}

EntryType EntryTypeFromMode(mode_t mode) {
  return S_ISREG(mode)    ? EntryType::kFile
         : S_ISDIR(mode)  ? EntryType::kFolder
         : S_ISLNK(mode)  ? EntryType::kLink
         : S_ISBLK(mode)  ? EntryType::kBlockDevice
         : S_ISCHR(mode)  ? EntryType::kCharacterDevice
         : S_ISFIFO(mode) ? EntryType::kPipe
         : S_ISSOCK(mode) ? EntryType::kSocket
                          : EntryType::kOther;
}

// Files to remove should SIGINT or SIGTERM end the process: a signal handler
// can reach nothing but process-wide storage, so this is some. Slots are
// claimed and freed with atomics and hold fixed arrays, so that the handler
// neither allocates nor takes a lock.
enum SlotState : int { kFree, kFilling, kArmed };
struct InterruptSlot {
  std::atomic<int> state{kFree};
  std::array<char, PATH_MAX> path{};
};
std::array<InterruptSlot, 8> gInterruptSlots;
std::atomic<bool> gHandlersInstalled{false};
// Where a SIGINT asks the run to stop, while a front end wants that.
std::atomic<std::atomic<bool>*> gCancelFlag{nullptr};

// One handler for both wishes: the first SIGINT only asks a cancellable run to
// stop (which removes its own files); anything else removes the armed files
// and ends the process as the signal would have.
extern "C" void HandleInterrupt(int signal) {
  std::atomic<bool>* cancel = gCancelFlag.load();
  if (signal == SIGINT && cancel && !cancel->exchange(true)) return;
  for (InterruptSlot& slot : gInterruptSlots) {
    if (slot.state.load() == kArmed) ::unlink(slot.path.data());
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void InstallInterruptHandlers() {
  if (gHandlersInstalled.exchange(true)) return;
  for (int signal : {SIGINT, SIGTERM}) {
    struct sigaction action {};
    struct sigaction previous {};
    ::sigaction(signal, nullptr, &previous);
    // A front end that handles the signal itself keeps its handler.
    if (previous.sa_handler != SIG_DFL) continue;
    action.sa_handler = HandleInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

// Whether a child that readdir gave is a symbolic link: its type where the
// file system gives one, else the child itself examined.
bool IsLink(int folder, const dirent& child) {
  if (child.d_type != DT_UNKNOWN) return child.d_type == DT_LNK;
  struct stat own {};
  return ::fstatat(folder, child.d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

class PosixHost : public Host {
 public:
  void CancelOnInterrupt(std::atomic<bool>* flag) override {
    gCancelFlag = flag;
    if (!flag) return;
    struct sigaction action {};
    action.sa_handler = HandleInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
  }

  Result<HostFile> CreateFile(const std::string& path) override {
    return Open(path, O_RDWR | O_CREAT | O_TRUNC);
  }
  Result<HostFile> CreateNewFile(const std::string& path) override {
    return Open(path, O_RDWR | O_CREAT | O_EXCL);
  }
  Result<HostFile> OpenFile(const std::string& path) override {
    return OpenForReading(AT_FDCWD, path.c_str(), path);
  }

  // O_PATH: the folder is only searched, so a folder that may be searched but
  // not listed can be held open too.
  HostFolder OpenFolder(const std::string& path) override {
    const int fd = Retry([&] { return ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0) return Host::OpenFolder(path);
    return {path, HostFile(*this, fd, path)};
  }
  // O_NOFOLLOW: a link at the name fails instead of being written through;
  // O_NONBLOCK and O_NOCTTY: should a FIFO or a device stand there, opening it
  // neither waits nor takes a terminal, and it is refused below.
  Result<HostFile> CreateFileIn(const HostFolder& folder, const std::string& name) override {
    Result<HostFile> file =
        OpenIn(folder, name, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (!file) return file;
    struct stat info {};
    if (::fstat(Fd(*file), &info) != 0) return HostError(file->Path(), errno);
    if (!S_ISREG(info.st_mode)) return Error{file->Path() + ": not a regular file", EEXIST};
    return file;
  }
  Result<HostFile> OpenFileIn(const HostFolder& folder, const std::string& name) override {
    if (!folder.handle.IsOpen()) return OpenFile(JoinPath(folder.path, name));
    return OpenForReading(Fd(folder.handle), name.c_str(), JoinPath(folder.path, name));
  }
  Result<HostFolder> OpenFolderIn(const HostFolder& folder, const std::string& name) override {
    Result<HostFile> opened = OpenIn(folder, name, O_PATH | O_DIRECTORY | O_NOFOLLOW);
    if (!opened) return opened.Failure();
    std::string path = opened->Path();
    return HostFolder{std::move(path), std::move(*opened)};
  }
  Result<HostFolder> MakeFolderIn(const HostFolder& folder, const std::string& name) override {
    if (::mkdirat(DirectoryOf(folder), NameIn(folder, name).c_str(), 0777) != 0 && errno != EEXIST) {
      return HostError(JoinPath(folder.path, name), errno);
    }
    Result<HostFolder> opened = OpenFolderIn(folder, name);
    if (!opened) return opened;
    // A folder that was there already may be one where nothing can be made.
    if (::faccessat(DirectoryOf(folder), NameIn(folder, name).c_str(), W_OK | X_OK, 0) != 0) {
      return HostError(opened->path, errno);
    }
    return opened;
  }
  Status RemoveFileIn(const HostFolder& folder, const std::string& name) override {
    if (::unlinkat(DirectoryOf(folder), NameIn(folder, name).c_str(), 0) != 0) {
      return HostError(JoinPath(folder.path, name), errno);
    }
    return {};
  }

  Result<HostFile> CreateScratchFile() override {
    const char* dir = std::getenv("TMPDIR");
    const std::string folder = dir && *dir ? dir : "/tmp";
    int fd = Retry([&] { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); });
    if (fd < 0) {
      // Without O_TMPFILE: a named file, unlinked at once.
      std::string pattern = folder + "/zanthrel-scratch-XXXXXX";
      fd = ::mkstemp(pattern.data());
      if (fd < 0) return HostError(folder, errno);
      ::unlink(pattern.c_str());
    }
    return HostFile(*this, fd, folder);
  }

  Result<HostFile> CreateUnnamedFile(const std::string& folder) override {
    const int fd = Retry([&] { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666); });
    if (fd >= 0) return HostFile(*this, fd, folder);
    const int code = errno;
    // Kernels and file systems without O_TMPFILE answer in several ways.
    if (code == EOPNOTSUPP || code == EISDIR || code == EINVAL) {
      return Error{folder + ": no unnamed files here", ENOTSUP};
    }
    return HostError(folder, code);
  }

  Status NameFile(const HostFile& file, const std::string& path) override {
    const std::string self = "/proc/self/fd/" + std::to_string(Fd(file));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
    const int code = errno;
    // Without /proc, linking the descriptor itself needs more rights, but try.
    if (code == ENOENT && ::linkat(Fd(file), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return {};
    return HostError(path, code);
  }

  void RemoveOnInterrupt(const std::string& path) override {
    if (path.size() >= PATH_MAX) return;
    for (InterruptSlot& slot : gInterruptSlots) {
      int expected = kFree;
      if (slot.state.compare_exchange_strong(expected, kFilling)) {
        std::memcpy(slot.path.data(), path.c_str(), path.size() + 1);
        slot.state = kArmed;
        InstallInterruptHandlers();
        return;
      }
    }
  }

  void KeepOnInterrupt(const std::string& path) override {
    for (InterruptSlot& slot : gInterruptSlots) {
      if (slot.state.load() == kArmed && path == slot.path.data()) slot.state = kFree;
    }
  }

  Result<size_t> ReadSome(const HostFile& file, uint64_t offset, void* buffer,
                          size_t count) override {
    if (offset > uint64_t(LLONG_MAX)) return HostError(file.Path(), EOVERFLOW);
    const ssize_t n = Retry([&] { return ::pread(Fd(file), buffer, count, off_t(offset)); });
    if (n < 0) return HostError(file.Path(), errno);
    return size_t(n);
  }

  Result<size_t> WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                           size_t count) override {
    if (offset > uint64_t(LLONG_MAX)) return HostError(file.Path(), EOVERFLOW);
    const ssize_t n = Retry([&] { return ::pwrite(Fd(file), bytes, count, off_t(offset)); });
    if (n < 0) return HostError(file.Path(), errno);
    return size_t(n);
  }

  Result<size_t> CopySome(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                          uint64_t toOffset, size_t count) override {
    loff_t in = loff_t(fromOffset), out = loff_t(toOffset);
    const ssize_t n =
        Retry([&] { return ::copy_file_range(Fd(from), &in, Fd(to), &out, count, 0); });
    if (n >= 0) return size_t(n);
    const int code = errno;
    if (code == EXDEV || code == ENOSYS || code == EINVAL || code == EOPNOTSUPP) {
      return Error{from.Path() + ": no copy inside the kernel", ENOTSUP};
    }
    // copy_file_range does not say which side failed; the target is the likelier.
    return HostError(to.Path(), code);
  }

  Result<PathInfo> InfoOf(const HostFile& file) override {
    struct stat info {};
    if (::fstat(Fd(file), &info) != 0) return HostError(file.Path(), errno);
    return InfoFromStat(info);
  }

  Status Truncate(const HostFile& file, uint64_t size) override {
    if (Retry([&] { return ::ftruncate(Fd(file), off_t(size)); }) != 0) {
      return HostError(file.Path(), errno);
    }
    return {};
  }

  void Close(NativeHandle handle) override { ::close(int(handle)); }

  Result<PathInfo> InfoOf(const std::string& path) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return HostError(path, errno);
    return InfoFromStat(info);
  }

  Result<EntryType> EntryTypeOf(const std::string& path) override {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return HostError(path, errno);
    return EntryTypeFromMode(info.st_mode);
  }

  Status MakeFolder(const std::string& path) override {
    if (::mkdir(path.c_str(), 0777) == 0) return {};
    const int code = errno;
    if (code != EEXIST) return HostError(path, code);
    Result<PathInfo> info = InfoOf(path);
    if (!info) return info.Failure();
    if (info->kind != PathKind::kFolder) return HostError(path, ENOTDIR);
    if (::access(path.c_str(), W_OK | X_OK) != 0) return HostError(path, errno);
    return {};
  }

  Result<std::vector<FolderChild>> ListFolder(const std::string& path) override {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir) return HostError(path, errno);
    std::vector<FolderChild> children;
    errno = 0;
    while (dirent* child = ::readdir(dir.get())) {
      const std::string name = child->d_name;
      if (name != "." && name != "..") {
        struct stat info {};
        if (::fstatat(::dirfd(dir.get()), child->d_name, &info, 0) == 0) {
          children.push_back({name, InfoFromStat(info)});
        } else {
          const int error = errno;
          children.push_back({name, HostError(JoinPath(path, name), error)});
        }
        children.back().link = IsLink(::dirfd(dir.get()), *child);
      }
      errno = 0;
    }
    if (errno != 0) return HostError(path, errno);
    return children;
  }

  Status RemoveFile(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return HostError(path, errno);
    return {};
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return HostError(to, errno);
    return {};
  }

  Result<std::string> CurrentDirectory() override {
    std::vector<char> buffer(256);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return HostError(".", errno);
      buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
  }

  Result<std::string> RealPath(const std::string& path) override {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved) return HostError(path, errno);
    return std::string(resolved.get());
  }

 private:
  Result<HostFile> Open(const std::string& path, int flags) {
    const int fd = Retry([&] { return ::open(path.c_str(), flags | O_CLOEXEC, 0666); });
    if (fd < 0) return HostError(path, errno);
    return HostFile(*this, fd, path);
  }

  // Opened without waiting, so that a FIFO with no writer cannot hold the
  // run, and kept only when it is a regular file or a block device; reads
  // then wait for their data as usual.
  Result<HostFile> OpenForReading(int folder, const char* name, std::string path) {
    const int fd = Retry([&] { return ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) return HostError(path, errno);
    HostFile file(*this, fd, std::move(path));
    struct stat info {};
    if (::fstat(fd, &info) != 0) return HostError(file.Path(), errno);
    if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
      return RefusedInput(file.Path(), EntryTypeFromMode(info.st_mode));
    }
    if (S_ISBLK(info.st_mode)) {
      // A drive opened without waiting skips its check for a disc; opened
      // again through this handle, it is the same device, and one without a
      // disc says so ("No medium found").
      const std::string self = "/proc/self/fd/" + std::to_string(fd);
      const int again = Retry([&] { return ::open(self.c_str(), O_RDONLY | O_CLOEXEC); });
      if (again >= 0) return HostFile(*this, again, file.Path());
      if (errno != ENOENT) return HostError(file.Path(), errno);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return HostError(file.Path(), errno);
    return file;
  }

  // A folder that could not be held open is reached by its full path.
  static int DirectoryOf(const HostFolder& folder) {
    return folder.handle.IsOpen() ? Fd(folder.handle) : AT_FDCWD;
  }
  static std::string NameIn(const HostFolder& folder, const std::string& name) {
    return folder.handle.IsOpen() ? name : JoinPath(folder.path, name);
  }

  Result<HostFile> OpenIn(const HostFolder& folder, const std::string& name, int flags) {
    std::string path = JoinPath(folder.path, name);
    const std::string at = NameIn(folder, name);
    const int fd =
        Retry([&] { return ::openat(DirectoryOf(folder), at.c_str(), flags | O_CLOEXEC, 0666); });
    if (fd < 0) {
      const int code = errno;
      // O_NOFOLLOW fails on a link with ELOOP, or ENOTDIR where a folder was
      // asked for: say that a link stands there.
      struct stat info {};
      if ((flags & O_NOFOLLOW) && (code == ELOOP || code == ENOTDIR) &&
          ::fstatat(DirectoryOf(folder), at.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(info.st_mode)) {
        return LinkInTheWay(path);
      }
      return HostError(path, code);
    }
    return HostFile(*this, fd, std::move(path));
  }
};

}  // namespace

Host& SystemHost() {
  static PosixHost host;
  return host;
}

std::string ErrorText(int code) { return std::strerror(code); }

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

uint64_t CurrentProcessNumber() { return uint64_t(::getpid()); }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int StandardErrorColumns() {
  winsize size{};
  return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? int(size.ws_col) : 0;
}

}  // namespace zanthrel
