#include "testkit/memory_host.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zanthrel::testkit {

namespace {

// The folder that holds `full`; "/" for "/" itself.
std::string ParentOf(const std::string& full) {
  const size_t slash = full.rfind('/');
  return slash == 0 ? "/" : full.substr(0, slash);
}

// `child` lies below `root` ("/" between them), or is it.
bool IsWithin(const std::string& child, const std::string& root) {
  if (root == "/") return true;
  return child.compare(0, root.size(), root) == 0 && (child.size() == root.size() || child[root.size()] == '/');
}

}  // namespace

MemoryHost::MemoryHost(const std::string& currentDirectory) : current_("/") {
  folders_["/"] = nextId_++;
  current_ = Full(currentDirectory);
  PutFolder(current_);
}

std::string MemoryHost::Full(const std::string& path) const {
  std::string whole = !path.empty() && (path[0] == '/' || path[0] == '\\') ? path : current_ + "/" + path;
  // The code under test joins paths with the host's separator.
  std::replace(whole.begin(), whole.end(), '\\', '/');
  std::vector<std::string> parts;
  for (size_t at = 0; at <= whole.size();) {
    size_t end = whole.find('/', at);
    if (end == std::string::npos) end = whole.size();
    const std::string part = whole.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string full;
  for (const std::string& part : parts) full += "/" + part;
  return full.empty() ? "/" : full;
}

bool MemoryHost::ParentIsFolder(const std::string& full) const {
  return folders_.count(ParentOf(full)) != 0;
}

std::shared_ptr<MemoryHost::Node> MemoryHost::NewNode() {
  return std::make_shared<Node>(Node{{}, nextId_++});
}

HostFile MemoryHost::Hand(const std::shared_ptr<Node>& node, bool writable, const std::string& path) {
  const NativeHandle handle = nextHandle_++;
  open_[handle] = {node, writable};
  return HostFile(*this, handle, path);
}

MemoryHost::Open* MemoryHost::Find(const HostFile& file) {
  const auto open = open_.find(file.Handle());
  return open == open_.end() ? nullptr : &open->second;
}

PathInfo MemoryHost::FileInfo(const Node& node) const {
  PathInfo info;
  info.kind = PathKind::kFile;
  info.size = node.bytes.size();
  info.identity = {1, node.id};
  return info;
}

void MemoryHost::PutFile(const std::string& path, const Bytes& bytes) {
  const std::string full = Full(path);
  PutFolder(ParentOf(full));
  std::lock_guard lock(mutex_);
  auto& node = files_[full];
  if (!node) node = NewNode();
  node->bytes = bytes;
}

void MemoryHost::PutFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (std::string full = Full(path); !folders_.count(full); full = ParentOf(full)) {
    folders_[full] = nextId_++;
  }
}

std::optional<Bytes> MemoryHost::FileBytes(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto file = files_.find(Full(path));
  if (file == files_.end()) return std::nullopt;
  return file->second->bytes;
}

std::vector<std::string> MemoryHost::Tree(const std::string& root) const {
  std::lock_guard lock(mutex_);
  const std::string top = Full(root);
  const size_t skip = top == "/" ? 1 : top.size() + 1;
  std::vector<std::string> tree;
  for (const auto& [path, id] : folders_) {
    if (path != top && IsWithin(path, top)) tree.push_back(path.substr(skip) + "/");
  }
  for (const auto& [path, node] : files_) {
    if (IsWithin(path, top)) tree.push_back(path.substr(skip));
  }
  std::sort(tree.begin(), tree.end());
  return tree;
}

std::vector<std::string> MemoryHost::Made() const {
  std::lock_guard lock(mutex_);
  return made_;
}

std::vector<std::string> MemoryHost::Read() const {
  std::lock_guard lock(mutex_);
  return read_;
}

std::vector<std::string> MemoryHost::Removed() const {
  std::lock_guard lock(mutex_);
  return removed_;
}

size_t MemoryHost::OpenFiles() const {
  std::lock_guard lock(mutex_);
  return open_.size();
}

Result<HostFile> MemoryHost::Create(const std::string& path, bool mustBeNew) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (folders_.count(full)) return HostError(path, EISDIR);
  if (!ParentIsFolder(full)) return HostError(path, ENOENT);
  auto& node = files_[full];
  if (node && mustBeNew) return HostError(path, EEXIST);
  if (!node) node = NewNode();
  node->bytes.clear();
  made_.push_back(full);
  return Hand(node, true, path);
}

Result<HostFile> MemoryHost::CreateFile(const std::string& path) { return Create(path, false); }

Result<HostFile> MemoryHost::CreateNewFile(const std::string& path) { return Create(path, true); }

Result<HostFile> MemoryHost::OpenFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (folders_.count(full)) return HostError(path, EISDIR);
  const auto file = files_.find(full);
  if (file == files_.end()) return HostError(path, ENOENT);
  read_.push_back(full);
  return Hand(file->second, false, path);
}

Result<HostFile> MemoryHost::CreateScratchFile() {
  std::lock_guard lock(mutex_);
  return Hand(NewNode(), true, "scratch");
}

Result<HostFile> MemoryHost::CreateUnnamedFile(const std::string& folder) {
  std::lock_guard lock(mutex_);
  if (!folders_.count(Full(folder))) return HostError(folder, ENOENT);
  return Hand(NewNode(), true, folder);
}

Status MemoryHost::NameFile(const HostFile& file, const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  Open* open = Find(file);
  if (!open) return HostError(path, EBADF);
  if (files_.count(full) || folders_.count(full)) return HostError(path, EEXIST);
  if (!ParentIsFolder(full)) return HostError(path, ENOENT);
  files_[full] = open->node;
  made_.push_back(full);
  return {};
}

Result<size_t> MemoryHost::ReadSome(const HostFile& file, uint64_t offset, void* buffer, size_t count) {
  std::lock_guard lock(mutex_);
  Open* open = Find(file);
  if (!open) return HostError(file.Path(), EBADF);
  const Bytes& bytes = open->node->bytes;
  if (offset >= bytes.size()) return size_t(0);
  const size_t n = std::min<uint64_t>(count, bytes.size() - offset);
  std::memcpy(buffer, bytes.data() + offset, n);
  return n;
}

Result<size_t> MemoryHost::WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                                     size_t count) {
  std::lock_guard lock(mutex_);
  Open* open = Find(file);
  if (!open || !open->writable) return HostError(file.Path(), EBADF);
  Bytes& data = open->node->bytes;
  if (data.size() < offset + count) data.resize(offset + count, 0);
  std::memcpy(data.data() + offset, bytes, count);
  return count;
}

Result<size_t> MemoryHost::CopySome(const HostFile& from, uint64_t, const HostFile&, uint64_t, size_t) {
  return HostError(from.Path(), ENOTSUP);
}

Result<PathInfo> MemoryHost::InfoOf(const HostFile& file) {
  std::lock_guard lock(mutex_);
  Open* open = Find(file);
  if (!open) return HostError(file.Path(), EBADF);
  return FileInfo(*open->node);
}

Status MemoryHost::Truncate(const HostFile& file, uint64_t size) {
  std::lock_guard lock(mutex_);
  Open* open = Find(file);
  if (!open || !open->writable) return HostError(file.Path(), EBADF);
  open->node->bytes.resize(size, 0);
  return {};
}

void MemoryHost::Close(NativeHandle handle) {
  std::lock_guard lock(mutex_);
  open_.erase(handle);
}

Result<PathInfo> MemoryHost::InfoOf(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (const auto folder = folders_.find(full); folder != folders_.end()) {
    PathInfo info;
    info.kind = PathKind::kFolder;
    info.identity = {1, folder->second};
    return info;
  }
  const auto file = files_.find(full);
  if (file == files_.end()) return HostError(path, ENOENT);
  return FileInfo(*file->second);
}

Result<EntryType> MemoryHost::EntryTypeOf(const std::string& path) {
  const Result<PathInfo> info = InfoOf(path);
  if (!info) return info.Failure();
  return info->kind == PathKind::kFolder ? EntryType::kFolder : EntryType::kFile;
}

Status MemoryHost::MakeFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (folders_.count(full)) return {};
  if (files_.count(full)) return HostError(path, EEXIST);
  if (!ParentIsFolder(full)) return HostError(path, ENOENT);
  folders_[full] = nextId_++;
  made_.push_back(full + "/");
  return {};
}

Result<std::vector<FolderChild>> MemoryHost::ListFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (!folders_.count(full)) return HostError(path, files_.count(full) ? ENOTDIR : ENOENT);
  std::vector<FolderChild> children;
  for (const auto& [child, id] : folders_) {
    if (child != "/" && ParentOf(child) == full) {
      PathInfo info;
      info.kind = PathKind::kFolder;
      info.identity = {1, id};
      children.push_back({child.substr(child.rfind('/') + 1), info});
    }
  }
  for (const auto& [child, node] : files_) {
    if (ParentOf(child) == full) children.push_back({child.substr(child.rfind('/') + 1), FileInfo(*node)});
  }
  return children;
}

Status MemoryHost::RemoveFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (!files_.erase(full)) return HostError(path, folders_.count(full) ? EISDIR : ENOENT);
  removed_.push_back(full);
  return {};
}

Status MemoryHost::Rename(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  const std::string source = Full(from), target = Full(to);
  const auto file = files_.find(source);
  if (file == files_.end()) return HostError(from, ENOENT);
  if (folders_.count(target)) return HostError(to, EISDIR);
  if (!ParentIsFolder(target)) return HostError(to, ENOENT);
  const std::shared_ptr<Node> node = file->second;
  files_.erase(file);
  files_[target] = node;
  removed_.push_back(source);
  made_.push_back(target);
  return {};
}

Result<std::string> MemoryHost::CurrentDirectory() {
  std::lock_guard lock(mutex_);
  return current_;
}

Result<std::string> MemoryHost::RealPath(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string full = Full(path);
  if (!folders_.count(full) && !files_.count(full)) return HostError(path, ENOENT);
  return full;
}

}  // namespace zanthrel::testkit
