#include "testkit/faulty_host.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel::testkit {

void FaultyHost::Count(HostCall call, std::unique_lock<std::mutex>& lock) {
  ++calls_[int(call)];
  threads_[call].insert(std::this_thread::get_id());
  if (auto delay = delays_.find(call); delay != delays_.end() && std::this_thread::get_id() != madeOn_) {
    const std::chrono::microseconds wait = delay->second;
    lock.unlock();
    std::this_thread::sleep_for(wait);
    lock.lock();
  }
}

const HostFault* FaultyHost::Strike(HostCall call, const std::string& path) {
  std::unique_lock lock(mutex_);
  Count(call, lock);
  for (Armed& armed : faults_) {
    const HostFault& fault = armed.fault;
    if (fault.call != call || path.find(fault.pathPart) == std::string::npos) continue;
    if (armed.passed < fault.passFirst) {
      ++armed.passed;
      continue;
    }
    return &fault;
  }
  return nullptr;
}

const HostFault* FaultyHost::StrikeTransfer(HostCall call, const HostFile& file, uint64_t offset,
                                            size_t& count) {
  std::unique_lock lock(mutex_);
  Count(call, lock);
  for (Armed& armed : faults_) {
    const HostFault& fault = armed.fault;
    if (fault.call != call || file.Path().find(fault.pathPart) == std::string::npos) continue;
    if (offset + count <= fault.fromByte) continue;
    if (armed.passed < fault.passFirst) {
      ++armed.passed;
      continue;
    }
    if (offset >= fault.fromByte) return &fault;
    count = size_t(fault.fromByte - offset);
  }
  return nullptr;
}

bool FaultyHost::Targets(HostCall call, const std::string& path) const {
  std::lock_guard lock(mutex_);
  for (const Armed& armed : faults_) {
    if (armed.fault.call == call && path.find(armed.fault.pathPart) != std::string::npos) return true;
  }
  return false;
}

void FaultyHost::After(HostCall call, std::string pathPart, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  waiting_.push_back({call, std::move(pathPart), std::move(action)});
}

void FaultyHost::RunAfter(HostCall call, const std::string& path) {
  std::function<void()> action;
  {
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](const Waiting& waiting) {
      return waiting.call == call && path.find(waiting.pathPart) != std::string::npos;
    });
    if (found == waiting_.end()) return;
    action = std::move(found->action);
    waiting_.erase(found);
  }
  action();
}

Result<HostFile> FaultyHost::Wrap(Result<HostFile> file) {
  if (!file) return file;
  const std::string path = file->Path();
  return HostFile(*this, file->Release(), path);
}

Result<HostFile> FaultyHost::CreateFile(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kCreateFile, path)) return HostError(path, fault->code);
  return Wrap(real_.CreateFile(path));
}

Result<HostFile> FaultyHost::CreateNewFile(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kCreateFile, path)) return HostError(path, fault->code);
  return Wrap(real_.CreateNewFile(path));
}

Result<HostFile> FaultyHost::OpenFile(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kOpenFile, path)) return HostError(path, fault->code);
  return Wrap(real_.OpenFile(path));
}

Result<HostFile> FaultyHost::CreateFileIn(const HostFolder& folder, const std::string& name) {
  const std::string path = JoinPath(folder.path, name);
  if (const HostFault* fault = Strike(HostCall::kCreateFile, path)) return HostError(path, fault->code);
  return Wrap(real_.CreateFileIn(folder, name));
}

Result<HostFile> FaultyHost::OpenFileIn(const HostFolder& folder, const std::string& name) {
  const std::string path = JoinPath(folder.path, name);
  if (const HostFault* fault = Strike(HostCall::kOpenFile, path)) return HostError(path, fault->code);
  return Wrap(real_.OpenFileIn(folder, name));
}

Result<HostFolder> FaultyHost::MakeFolderIn(const HostFolder& folder, const std::string& name) {
  const std::string path = JoinPath(folder.path, name);
  if (const HostFault* fault = Strike(HostCall::kMakeFolder, path)) return HostError(path, fault->code);
  return real_.MakeFolderIn(folder, name);
}

Status FaultyHost::RemoveFileIn(const HostFolder& folder, const std::string& name) {
  const std::string path = JoinPath(folder.path, name);
  if (const HostFault* fault = Strike(HostCall::kRemoveFile, path)) return HostError(path, fault->code);
  return real_.RemoveFileIn(folder, name);
}

Result<HostFile> FaultyHost::CreateScratchFile() {
  if (const HostFault* fault = Strike(HostCall::kCreateScratchFile, "")) {
    return HostError("scratch", fault->code);
  }
  return Wrap(real_.CreateScratchFile());
}

Result<HostFile> FaultyHost::CreateUnnamedFile(const std::string& folder) {
  if (const HostFault* fault = Strike(HostCall::kCreateUnnamedFile, folder)) {
    return HostError(folder, fault->code);
  }
  return Wrap(real_.CreateUnnamedFile(folder));
}

Status FaultyHost::NameFile(const HostFile& file, const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kNameFile, path)) return HostError(path, fault->code);
  return real_.NameFile(file, path);
}

Result<size_t> FaultyHost::ReadSome(const HostFile& file, uint64_t offset, void* buffer,
                                    size_t count) {
  if (const HostFault* fault = StrikeTransfer(HostCall::kRead, file, offset, count)) {
    return HostError(file.Path(), fault->code);
  }
  Result<size_t> read = real_.ReadSome(file, offset, buffer, count);
  RunAfter(HostCall::kRead, file.Path());
  return read;
}

Result<size_t> FaultyHost::WriteSome(const HostFile& file, uint64_t offset, const void* bytes,
                                     size_t count) {
  if (const HostFault* fault = StrikeTransfer(HostCall::kWrite, file, offset, count)) {
    return HostError(file.Path(), fault->code);
  }
  if (Discards(file.Path())) {
    NoteWrittenEnd(file.Path(), offset + count);
    return count;
  }
  Result<size_t> written = real_.WriteSome(file, offset, bytes, count);
  if (written) NoteWrittenEnd(file.Path(), offset + *written);
  return written;
}

Result<size_t> FaultyHost::CopySome(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                                    uint64_t toOffset, size_t count) {
  // Copies that a fault may touch go through reads and writes, where it strikes.
  if (Targets(HostCall::kRead, from.Path()) || Targets(HostCall::kWrite, to.Path())) {
    return Error{from.Path() + ": copied through a buffer", ENOTSUP};
  }
  if (Discards(to.Path())) {
    NoteWrittenEnd(to.Path(), toOffset + count);
    return count;
  }
  Result<size_t> copied = real_.CopySome(from, fromOffset, to, toOffset, count);
  if (copied) NoteWrittenEnd(to.Path(), toOffset + *copied);
  RunAfter(HostCall::kRead, from.Path());
  return copied;
}

void FaultyHost::DiscardWrites(const std::string& pathPart) {
  std::lock_guard lock(mutex_);
  discarded_.push_back(pathPart);
}

bool FaultyHost::Discards(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return std::any_of(discarded_.begin(), discarded_.end(),
                     [&](const std::string& part) { return path.find(part) != std::string::npos; });
}

void FaultyHost::NoteWrittenEnd(const std::string& path, uint64_t end) {
  std::lock_guard lock(mutex_);
  writtenEnds_[path] = std::max(writtenEnds_[path], end);
}

void FaultyHost::Add(HostFault fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back({std::move(fault), 0});
}

void FaultyHost::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

void FaultyHost::SlowOtherThreads(HostCall call, std::chrono::microseconds delay) {
  std::lock_guard lock(mutex_);
  delays_[call] = delay;
}

int FaultyHost::Threads(HostCall call) const {
  std::lock_guard lock(mutex_);
  const auto threads = threads_.find(call);
  return threads == threads_.end() ? 0 : int(threads->second.size());
}

int FaultyHost::Calls(HostCall call) const {
  std::lock_guard lock(mutex_);
  return calls_[int(call)];
}

uint64_t FaultyHost::WrittenEnd(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto it = writtenEnds_.find(path);
  return it == writtenEnds_.end() ? 0 : it->second;
}

Result<PathInfo> FaultyHost::InfoOf(const HostFile& file) {
  if (const HostFault* fault = Strike(HostCall::kInfo, file.Path())) {
    return HostError(file.Path(), fault->code);
  }
  return real_.InfoOf(file);
}

Status FaultyHost::Truncate(const HostFile& file, uint64_t size) {
  if (const HostFault* fault = Strike(HostCall::kTruncate, file.Path())) {
    return HostError(file.Path(), fault->code);
  }
  return real_.Truncate(file, size);
}

void FaultyHost::Close(NativeHandle handle) { real_.Close(handle); }

Result<PathInfo> FaultyHost::InfoOf(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kInfo, path)) return HostError(path, fault->code);
  return real_.InfoOf(path);
}

Status FaultyHost::MakeFolder(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kMakeFolder, path)) return HostError(path, fault->code);
  return real_.MakeFolder(path);
}

Result<std::vector<FolderChild>> FaultyHost::ListFolder(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kListFolder, path)) return HostError(path, fault->code);
  Result<std::vector<FolderChild>> children = real_.ListFolder(path);
  RunAfter(HostCall::kListFolder, path);
  return children;
}

Status FaultyHost::RemoveFile(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kRemoveFile, path)) return HostError(path, fault->code);
  return real_.RemoveFile(path);
}

Status FaultyHost::Rename(const std::string& from, const std::string& to) {
  if (const HostFault* fault = Strike(HostCall::kRename, to)) return HostError(to, fault->code);
  return real_.Rename(from, to);
}

Result<std::string> FaultyHost::CurrentDirectory() {
  if (const HostFault* fault = Strike(HostCall::kCurrentDirectory, "")) {
    return HostError(".", fault->code);
  }
  return real_.CurrentDirectory();
}

Result<std::string> FaultyHost::RealPath(const std::string& path) {
  if (const HostFault* fault = Strike(HostCall::kRealPath, path)) return HostError(path, fault->code);
  return real_.RealPath(path);
}

}  // namespace zanthrel::testkit
