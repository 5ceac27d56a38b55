// Host files and folders. Every operation reports failure by its result alone
// (false, -1 or a short count) and prints nothing; the caller words the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zanthrel {

// An open host file; closes itself. A default-constructed or failed one holds
// the invalid handle -1, which every file operation accepts and answers with -1.
class HostFile {
 public:
  HostFile() = default;
  explicit HostFile(int handle) : handle_(handle) {}
  HostFile(HostFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  HostFile& operator=(HostFile&& other) noexcept;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;
  ~HostFile();

  int Handle() const { return handle_; }
  bool IsOpen() const { return handle_ != -1; }

 private:
  int handle_ = -1;
};

enum class OpenMode { kRead = 0, kWrite = 1, kReadWrite = 2 };
enum class SeekOrigin { kStart = 0, kCurrent = 1, kEnd = 2 };

// A new, empty file open for reading and writing (an existing file is emptied).
HostFile CreateHostFile(const std::string& path);
// An existing file, never created. Only the two low bits of the mode count; 3 fails.
HostFile OpenHostFile(const std::string& path, int mode);
// The new position, or -1.
int64_t SeekHostFile(HostFile& file, int64_t offset, SeekOrigin origin);
// One read or write call: the count moved (0 at the end of a file), or -1.
int64_t ReadHostFile(HostFile& file, void* buffer, size_t count);
int64_t WriteHostFile(HostFile& file, const void* buffer, size_t count);
void CloseHostFile(HostFile& file);

bool IsAbsolutePath(const std::string& path);
// Full path of the current directory, of any length; empty when the host cannot tell.
std::string CurrentDirectory();
// Makes the folder current; a relative path is taken inside the current directory.
bool EnterDirectory(const std::string& path);
// True when the folder could be made current; the current directory is unchanged after.
bool CanEnterDirectory(const std::string& path);
// True when the folder exists afterwards. Only the last element is created.
bool MakeDirectory(const std::string& path);

}  // namespace zanthrel
