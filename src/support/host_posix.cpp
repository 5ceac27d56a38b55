#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

HostFile& HostFile::operator=(HostFile&& other) noexcept {
  if (this != &other) {
    if (handle_ != -1) ::close(handle_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

HostFile::~HostFile() {
  if (handle_ != -1) ::close(handle_);
}

HostFile CreateHostFile(const std::string& path) {
  return HostFile(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

HostFile OpenHostFile(const std::string& path, int mode) {
  static const int kFlags[] = {O_RDONLY, O_WRONLY, O_RDWR};
  int access = mode & 3;
  if (access == 3) return HostFile();
  return HostFile(::open(path.c_str(), kFlags[access] | O_CLOEXEC));
}

int64_t SeekHostFile(HostFile& file, int64_t offset, SeekOrigin origin) {
  if (!file.IsOpen()) return -1;
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t position = ::lseek(file.Handle(), offset, kWhence[int(origin)]);
  return position < 0 ? -1 : int64_t(position);
}

int64_t ReadHostFile(HostFile& file, void* buffer, size_t count) {
  if (!file.IsOpen()) return -1;
  ssize_t n;
  do {
    n = ::read(file.Handle(), buffer, count);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : int64_t(n);
}

int64_t WriteHostFile(HostFile& file, const void* buffer, size_t count) {
  if (!file.IsOpen()) return -1;
  ssize_t n;
  do {
    n = ::write(file.Handle(), buffer, count);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : int64_t(n);
}

void CloseHostFile(HostFile& file) { file = HostFile(); }

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "";
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

bool EnterDirectory(const std::string& path) {
  if (path.empty()) return false;
  if (::chdir(path.c_str()) == 0) return true;
  if (IsAbsolutePath(path)) return false;
  std::string current = CurrentDirectory();
  return !current.empty() && ::chdir(JoinPath(current, path).c_str()) == 0;
}

bool CanEnterDirectory(const std::string& path) {
  // Return through a handle on the current folder, so that coming back never
  // depends on a path that might be too long to name.
  int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (here < 0) return false;
  bool entered = EnterDirectory(path);
  if (entered && ::fchdir(here) != 0) entered = false;
  ::close(here);
  return entered;
}

bool MakeDirectory(const std::string& path) {
  if (CanEnterDirectory(path)) return true;
  return ::mkdir(path.c_str(), 0777) == 0;
}

}  // namespace zanthrel
