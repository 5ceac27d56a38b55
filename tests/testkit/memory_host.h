// A host held wholly in memory: files and folders under "/" that a test sets
// up and reads back without touching a disk, and the lists of what the code
// under test made, read and removed, in order, for tests to assert on. Paths
// are POSIX-like (a backslash is read as "/"); relative ones are taken from the
// current directory. Calls may come from several threads at once.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/host.h"
#include "testkit/files.h"

namespace zanthrel::testkit {

class MemoryHost : public Host {
 public:
  // The current directory is made with its parents.
  explicit MemoryHost(const std::string& currentDirectory = "/work");

  // Setting up, without a record: a file (its folders made too) and a folder with its parents.
  void PutFile(const std::string& path, const Bytes& bytes);
  void PutFolder(const std::string& path);
  // The bytes of a file; none when there is no file at `path`.
  std::optional<Bytes> FileBytes(const std::string& path) const;
  // Every folder (ending in "/") and file below `root`, relative to it, sorted.
  std::vector<std::string> Tree(const std::string& root) const;

  // Full paths of what the code under test made (folders end in "/"), of the
  // files it opened for reading, and of what it removed or renamed away, in
  // the order of the calls. A file made twice is listed twice.
  std::vector<std::string> Made() const;
  std::vector<std::string> Read() const;
  std::vector<std::string> Removed() const;
  // Files open now, scratch files included.
  size_t OpenFiles() const;

  Result<HostFile> CreateFile(const std::string& path) override;
  Result<HostFile> CreateNewFile(const std::string& path) override;
  Result<HostFile> OpenFile(const std::string& path) override;
  Result<HostFile> CreateScratchFile() override;
  Result<HostFile> CreateUnnamedFile(const std::string& folder) override;
  Status NameFile(const HostFile& file, const std::string& path) override;
  void RemoveOnInterrupt(const std::string&) override {}
  void KeepOnInterrupt(const std::string&) override {}
  void CancelOnInterrupt(std::atomic<bool>*) override {}
  Result<size_t> ReadSome(const HostFile& file, uint64_t offset, void* buffer, size_t count) override;
  Result<size_t> WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                           size_t count) override;
  // Always ENOTSUP: copies go through a buffer, as on hosts without a copy call.
  Result<size_t> CopySome(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                          uint64_t toOffset, size_t count) override;
  Result<PathInfo> InfoOf(const HostFile& file) override;
  Status Truncate(const HostFile& file, uint64_t size) override;
  void Close(NativeHandle handle) override;
  Result<PathInfo> InfoOf(const std::string& path) override;
  // Holds no links nor devices: only files and folders.
  Result<EntryType> EntryTypeOf(const std::string& path) override;
  Status MakeFolder(const std::string& path) override;
  Result<std::vector<FolderChild>> ListFolder(const std::string& path) override;
  Status RemoveFile(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Result<std::string> CurrentDirectory() override;
  Result<std::string> RealPath(const std::string& path) override;

 private:
  struct Node {
    Bytes bytes;
    uint64_t id;
  };
  struct Open {
    std::shared_ptr<Node> node;
    bool writable;
  };

  // `path` made absolute, with ".", ".." and repeated separators resolved.
  std::string Full(const std::string& path) const;
  bool ParentIsFolder(const std::string& full) const;
  std::shared_ptr<Node> NewNode();
  HostFile Hand(const std::shared_ptr<Node>& node, bool writable, const std::string& path);
  Result<HostFile> Create(const std::string& path, bool mustBeNew);
  PathInfo FileInfo(const Node& node) const;
  // The open file behind `file`; null when it is not one of this host's.
  Open* Find(const HostFile& file);

  mutable std::mutex mutex_;
  std::string current_;
  std::map<std::string, std::shared_ptr<Node>> files_;
  std::map<std::string, uint64_t> folders_;  // each with its identity
  std::map<NativeHandle, Open> open_;
  NativeHandle nextHandle_ = 3;
  uint64_t nextId_ = 1;
  std::vector<std::string> made_, read_, removed_;
};

}  // namespace zanthrel::testkit
