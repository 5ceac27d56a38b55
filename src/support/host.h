// The one door to the host: every file, folder and temporary-file operation of
// the program goes through a Host. Each operating system has one
// implementation (SystemHost); tests add one that fails on demand. Nothing
// here prints; every failure comes back as an Error that names the path and
// gives the operating system's own reason.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/result.h"

namespace zanthrel {

using NativeHandle = intptr_t;
inline constexpr NativeHandle kNoHandle = -1;

// What a path leads to: the same identity means the same file or folder.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t object = 0;
  bool operator==(const FileIdentity&) const = default;
};

// kDevice: a block device, such as a drive; kOther: pipes, character devices
// and sockets, whose data may never end.
enum class PathKind { kFile, kFolder, kDevice, kOther };

// What stands at a path itself, a link not followed.
enum class EntryType { kFile, kFolder, kLink, kBlockDevice, kCharacterDevice, kPipe, kSocket, kOther };

struct PathInfo {
  PathKind kind = PathKind::kOther;
  uint64_t size = 0;  // bytes, for files
  int64_t modifiedSeconds = 0;  // last modification, seconds since 1970
  uint32_t modifiedNanoseconds = 0;
  FileIdentity identity;
};

// A child of a listed folder, links followed; `info` fails alone when the
// child cannot be examined.
struct FolderChild {
  std::string name;  // as the host gives it, without a path
  Result<PathInfo> info;
  // The name itself is a symbolic link (on Windows, a reparse point), which
  // `info` has followed.
  bool link = false;
};

class Host;

// An open host file; closes itself. Reads and writes name their offset, so a
// file has no position of its own.
class HostFile {
 public:
  HostFile() = default;
  HostFile(Host& host, NativeHandle handle, std::string path)
      : host_(&host), handle_(handle), path_(std::move(path)) {}
  HostFile(HostFile&& other) noexcept;
  HostFile& operator=(HostFile&& other) noexcept;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;
  ~HostFile();

  bool IsOpen() const { return handle_ != kNoHandle; }
  NativeHandle Handle() const { return handle_; }
  const std::string& Path() const { return path_; }

  // Reads from `offset` until `count` bytes are in or the file ends: the count read.
  Result<size_t> ReadAt(uint64_t offset, void* buffer, size_t count) const;
  // Writes all `count` bytes at `offset`, or fails.
  Status WriteAt(uint64_t offset, const void* bytes, size_t count) const;
  Result<PathInfo> Info() const;
  Status Truncate(uint64_t size) const;
  // One copy inside the operating system into `to`; see Host::CopySome.
  Result<size_t> CopySomeTo(uint64_t offset, const HostFile& to, uint64_t toOffset,
                            size_t count) const;
  void Close();
  // Gives the handle up without closing it, for a host that wraps another.
  NativeHandle Release();

 private:
  Host* host_ = nullptr;
  NativeHandle handle_ = kNoHandle;
  std::string path_;
};

// A folder whose children are made and opened by name alone, so that the
// host need not look up the whole path again for each of them. `handle` is
// open where the host can hold folders open; elsewhere, and where the folder
// could not be opened, the children are reached by their full paths.
struct HostFolder {
  std::string path;
  HostFile handle;
};

class Host {
 public:
  virtual ~Host() = default;

  // A new, empty file open for reading and writing; an existing one is emptied.
  virtual Result<HostFile> CreateFile(const std::string& path) = 0;
  // Like CreateFile, but fails (code EEXIST) when the path exists already.
  virtual Result<HostFile> CreateNewFile(const std::string& path) = 0;
  // An existing file, for reading only: a regular file or a block device (a
  // drive). Anything else is refused (RefusedInput) without waiting, for a
  // FIFO with no writer would hold the open, and its data, like that of a
  // character device or a socket, may never end.
  virtual Result<HostFile> OpenFile(const std::string& path) = 0;
  // A file with no name, for scratch data; it is gone once closed.
  virtual Result<HostFile> CreateScratchFile() = 0;
  // A file with no name in `folder`, gone once closed unless NameFile gives
  // it one, so that nothing is left behind however the process ends. Fails
  // with code ENOTSUP where the file system cannot make one.
  virtual Result<HostFile> CreateUnnamedFile(const std::string& folder) = 0;
  // Gives a file made by CreateUnnamedFile a name; fails (code EEXIST) when
  // the name is taken.
  virtual Status NameFile(const HostFile& file, const std::string& path) = 0;
  // Removes the file at `path` should the process be interrupted (SIGINT or
  // SIGTERM) before KeepOnInterrupt; for files that could not be made unnamed.
  virtual void RemoveOnInterrupt(const std::string& path) = 0;
  virtual void KeepOnInterrupt(const std::string& path) = 0;
  // Sets `*flag` when SIGINT arrives instead of ending the process, so that a
  // run can stop between blocks; a second SIGINT ends the process as usual.
  // Null gives SIGINT back its usual end. The flag must outlive its use here.
  virtual void CancelOnInterrupt(std::atomic<bool>* flag) = 0;

  // One read or write call at an offset: the count moved, which may be short
  // (a read gives 0 at the end of the file).
  virtual Result<size_t> ReadSome(const HostFile& file, uint64_t offset, void* buffer,
                                  size_t count) = 0;
  virtual Result<size_t> WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                                   size_t count) = 0;
  // One copy inside the operating system: the count copied, 0 at the end of
  // `from`. Fails with code ENOTSUP where these two files cannot be copied
  // between without a buffer.
  virtual Result<size_t> CopySome(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                                  uint64_t toOffset, size_t count) = 0;
  virtual Result<PathInfo> InfoOf(const HostFile& file) = 0;
  virtual Status Truncate(const HostFile& file, uint64_t size) = 0;
  virtual void Close(NativeHandle handle) = 0;

  // The folder at `path`, for the calls below; it always gives one, and a
  // folder it cannot open is reached by its path.
  virtual HostFolder OpenFolder(const std::string& path);
  // CreateFile and OpenFile of the child `name` of `folder`; failures name
  // the child's full path. CreateFileIn never follows a link at `name` (it
  // fails, see LinkInTheWay) and makes nothing but a regular file there.
  virtual Result<HostFile> CreateFileIn(const HostFolder& folder, const std::string& name);
  virtual Result<HostFile> OpenFileIn(const HostFolder& folder, const std::string& name);
  // The child folder `name` of `folder`, opened for the calls here. A link
  // at `name` is never followed: it fails, and so does anything but a folder
  // (ENOTDIR). The result's path is the child's full path.
  virtual Result<HostFolder> OpenFolderIn(const HostFolder& folder, const std::string& name);
  // Makes the child folder `name` of `folder` unless a folder stands there
  // already, and opens it as OpenFolderIn does; files can be made in it.
  virtual Result<HostFolder> MakeFolderIn(const HostFolder& folder, const std::string& name);
  // Removes the child file `name` of `folder`; a link there is removed
  // itself, never what it leads to.
  virtual Status RemoveFileIn(const HostFolder& folder, const std::string& name);

  // What a path leads to, links followed.
  virtual Result<PathInfo> InfoOf(const std::string& path) = 0;
  // What stands at the path itself: a link is kLink, wherever it leads.
  virtual Result<EntryType> EntryTypeOf(const std::string& path) = 0;
  // The folder exists afterwards and files can be made in it; only the last
  // element of the path is created.
  virtual Status MakeFolder(const std::string& path) = 0;
  // Every child but "." and "..", in the host's order.
  virtual Result<std::vector<FolderChild>> ListFolder(const std::string& path) = 0;
  virtual Status RemoveFile(const std::string& path) = 0;
  // Puts `from` in the place of `to` in one step, replacing what was there.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // The full path of the process's current directory, of any length.
  virtual Result<std::string> CurrentDirectory() = 0;
  // The full path with every link, "." and ".." resolved.
  virtual Result<std::string> RealPath(const std::string& path) = 0;
};

// The host this program runs on.
Host& SystemHost();

// The operating system's words for an error number.
std::string ErrorText(int code);
// "path: reason" for an error number.
Error HostError(const std::string& path, int code);
// OpenFile's refusal of what stands at `path`, naming it ("path: is a FIFO,
// ..."); code 0, for the host did not fail.
Error RefusedInput(const std::string& path, EntryType type);
// The words of a failure at `path` without the "path: " they begin with, for
// a message that names the path its own way.
std::string ReasonOf(const Error& error, const std::string& path);

bool IsAbsolutePath(const std::string& path);
// The folder that holds `path`, named so that it can be opened by itself:
// "." for a bare name, "/" or "C:\" for a file at a root.
std::string ParentFolderOf(const std::string& path);
// What an output folder's child operations give when a link stands where a
// file or folder is to be made: the link is not followed (code ELOOP).
Error LinkInTheWay(const std::string& path);
// The folder `relative` (host names joined by the separator) below `root`,
// opened one name at a time with OpenFolderIn, so that no link on the way is
// followed however deep it lies. An empty `relative` is not allowed: the
// caller has `root` itself.
Result<HostFolder> OpenFolderBelow(Host& host, const HostFolder& root, const std::string& relative);
// Makes the folder and every missing folder above it.
Status MakeFolderPath(Host& host, const std::string& path);
// An image is written only over a regular file or where nothing stands yet:
// anything else at `path` (a device, a pipe, a socket, a folder, a link even
// to a regular file) would be replaced by the image or written through, so it
// is refused, the failure naming what stands there. Nothing is opened.
Status CheckImageOutput(Host& host, const std::string& path);
// A relative path is taken inside the current directory.
Result<std::string> AbsolutePath(Host& host, const std::string& path);

// Copies `count` bytes from one file to the other, inside the operating
// system where it can and through a buffer where it cannot. `copied` is short
// at the end of `from` or at a failure, which `failure` then gives.
struct CopyOutcome {
  uint64_t copied = 0;
  std::optional<Error> failure;
};
CopyOutcome CopyFileRange(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                          uint64_t toOffset, uint64_t count);

// A file written beside `target` and put in its place only when the writer
// commits. It has no name until then where the file system allows, so that not
// even a killed process leaves it behind; elsewhere it has a name of its own,
// removed again on failure and on SIGINT or SIGTERM.
class TemporaryFile {
 public:
  static Result<TemporaryFile> CreateBeside(Host& host, const std::string& target);
  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  const HostFile& File() const { return file_; }
  // The file's name; empty while it has none.
  const std::string& Path() const { return path_; }
  // Closes the file and renames it onto the target.
  Status Commit();

 private:
  TemporaryFile(Host& host, HostFile file, std::string path, std::string target)
      : host_(&host), file_(std::move(file)), path_(std::move(path)), target_(std::move(target)) {}
  // Names an unnamed file beside the target: the name it took.
  Result<std::string> GiveName();

  Host* host_;
  HostFile file_;
  std::string path_;  // empty while the file has no name
  std::string target_;
  bool settled_ = false;  // committed, or handed over to another object
};

// A number that tells this process from the others running now.
uint64_t CurrentProcessNumber();
// True for a name that TemporaryFile gives: "<target>.zanthrel-<n>-<n>".
bool IsTemporaryFileName(const std::string& name);
// True when standard error goes to a terminal.
bool StandardErrorIsTerminal();
// The width of the terminal that standard error goes to, read each time so
// that a resized window is seen; 0 when it is not a terminal or tells none.
int StandardErrorColumns();

}  // namespace zanthrel
