// A host that passes every call on to the system's and fails the calls a test
// asks it to: for failures that a real disk cannot be made to show on demand
// (a full disk at byte N, a read error in the middle of a file, a refused
// folder or rename). Calls may come from several threads at once.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/host.h"

namespace zanthrel::testkit {

enum class HostCall {
  kCreateFile,  // CreateFile and CreateNewFile
  kOpenFile,
  kCreateScratchFile,
  kCreateUnnamedFile,
  kNameFile,
  kRead,
  kWrite,
  kInfo,
  kTruncate,
  kMakeFolder,
  kListFolder,
  kRemoveFile,
  kRename,
  kCurrentDirectory,
  kRealPath,
};

struct HostFault {
  HostCall call;
  // Only calls on a path that contains this fail; empty: every path.
  std::string pathPart;
  int code = EIO;
  // Reads and writes: bytes before this offset of the file still pass, so a
  // call that reaches past it comes back short and the next one fails.
  uint64_t fromByte = 0;
  // Matching calls that pass before the fault strikes.
  int passFirst = 0;
};

class FaultyHost : public Host {
 public:
  explicit FaultyHost(Host& real = SystemHost()) : real_(real) {}

  void Add(HostFault fault);
  void ClearFaults();
  // How many calls of this kind were made, failed or not.
  int Calls(HostCall call) const;
  // Calls of this kind made on any thread but the one that made the host
  // wait `delay` first: a writing thread that falls behind the walk.
  void SlowOtherThreads(HostCall call, std::chrono::microseconds delay);
  // How many threads made calls of this kind.
  int Threads(HostCall call) const;
  // Runs `action` once, just after the first call of this kind on a path
  // that contains `pathPart` has gone through (kRead: a read of the file or
  // a copy from it; kListFolder: a listing): to change a file between its
  // listing and its reading, or while it is read.
  void After(HostCall call, std::string pathPart, std::function<void()> action);
  // Writes and copies into files whose path contains `pathPart` are taken
  // whole but kept nowhere, so that a test can let a huge file go.
  void DiscardWrites(const std::string& pathPart);
  // The end of the furthest write into the file at `path`, so that a test can
  // know how long a discarded file came out.
  uint64_t WrittenEnd(const std::string& path) const;

  Result<HostFile> CreateFile(const std::string& path) override;
  Result<HostFile> CreateNewFile(const std::string& path) override;
  Result<HostFile> OpenFile(const std::string& path) override;
  // Folders are held open by the real host; their children strike as the
  // calls by path do (CreateFileIn as kCreateFile, MakeFolderIn as
  // kMakeFolder, RemoveFileIn as kRemoveFile), named by their full paths.
  HostFolder OpenFolder(const std::string& path) override { return real_.OpenFolder(path); }
  Result<HostFile> CreateFileIn(const HostFolder& folder, const std::string& name) override;
  Result<HostFile> OpenFileIn(const HostFolder& folder, const std::string& name) override;
  Result<HostFolder> OpenFolderIn(const HostFolder& folder, const std::string& name) override {
    return real_.OpenFolderIn(folder, name);
  }
  Result<HostFolder> MakeFolderIn(const HostFolder& folder, const std::string& name) override;
  Status RemoveFileIn(const HostFolder& folder, const std::string& name) override;
  Result<HostFile> CreateScratchFile() override;
  Result<HostFile> CreateUnnamedFile(const std::string& folder) override;
  Status NameFile(const HostFile& file, const std::string& path) override;
  void RemoveOnInterrupt(const std::string& path) override { real_.RemoveOnInterrupt(path); }
  void KeepOnInterrupt(const std::string& path) override { real_.KeepOnInterrupt(path); }
  void CancelOnInterrupt(std::atomic<bool>* flag) override { real_.CancelOnInterrupt(flag); }
  Result<size_t> ReadSome(const HostFile& file, uint64_t offset, void* buffer,
                          size_t count) override;
  Result<size_t> WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                           size_t count) override;
  Result<size_t> CopySome(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                          uint64_t toOffset, size_t count) override;
  Result<PathInfo> InfoOf(const HostFile& file) override;
  Status Truncate(const HostFile& file, uint64_t size) override;
  void Close(NativeHandle handle) override;
  Result<PathInfo> InfoOf(const std::string& path) override;
  Result<EntryType> EntryTypeOf(const std::string& path) override { return real_.EntryTypeOf(path); }
  Status MakeFolder(const std::string& path) override;
  Result<std::vector<FolderChild>> ListFolder(const std::string& path) override;
  Status RemoveFile(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Result<std::string> CurrentDirectory() override;
  Result<std::string> RealPath(const std::string& path) override;

 private:
  // Counts the call and its thread, and waits as SlowOtherThreads asked.
  void Count(HostCall call, std::unique_lock<std::mutex>& lock);
  // The fault that strikes this call, if any; counts the call.
  const HostFault* Strike(HostCall call, const std::string& path);
  // Like Strike, for a read or write of `count` bytes at `offset`: `count` is
  // cut to the bytes before the fault's offset, and a fault is given only
  // when no byte can pass.
  const HostFault* StrikeTransfer(HostCall call, const HostFile& file, uint64_t offset,
                                  size_t& count);
  bool Targets(HostCall call, const std::string& path) const;
  // Runs the action that waits for this call, if any.
  void RunAfter(HostCall call, const std::string& path);
  Result<HostFile> Wrap(Result<HostFile> file);
  void NoteWrittenEnd(const std::string& path, uint64_t end);
  bool Discards(const std::string& path) const;

  struct Armed {
    HostFault fault;
    int passed;
  };

  Host& real_;
  mutable std::mutex mutex_;
  std::vector<Armed> faults_;
  struct Waiting {
    HostCall call;
    std::string pathPart;
    std::function<void()> action;
  };
  std::vector<Waiting> waiting_;
  std::map<std::string, uint64_t> writtenEnds_;
  std::vector<std::string> discarded_;
  int calls_[int(HostCall::kRealPath) + 1] = {};
  const std::thread::id madeOn_ = std::this_thread::get_id();
  std::map<HostCall, std::chrono::microseconds> delays_;
  std::map<HostCall, std::set<std::thread::id>> threads_;
};

}  // namespace zanthrel::testkit
