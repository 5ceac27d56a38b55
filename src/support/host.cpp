#include "support/host.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "support/text.h"

namespace zanthrel {

HostFile::HostFile(HostFile&& other) noexcept
    : host_(other.host_), handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
}

HostFile& HostFile::operator=(HostFile&& other) noexcept {
  if (this != &other) {
    Close();
    host_ = other.host_;
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = kNoHandle;
  }
  return *this;
}

HostFile::~HostFile() { Close(); }

void HostFile::Close() {
  if (handle_ != kNoHandle) host_->Close(handle_);
  handle_ = kNoHandle;
}

NativeHandle HostFile::Release() {
  const NativeHandle handle = handle_;
  handle_ = kNoHandle;
  return handle;
}

Result<size_t> HostFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  if (!IsOpen()) return HostError(path_, EBADF);
  size_t done = 0;
  while (done < count) {
    Result<size_t> n = host_->ReadSome(*this, offset + done, static_cast<uint8_t*>(buffer) + done,
                                       count - done);
    if (!n) return n.Failure();
    if (*n == 0) break;
    done += *n;
  }
  return done;
}

Status HostFile::WriteAt(uint64_t offset, const void* bytes, size_t count) const {
  if (!IsOpen()) return HostError(path_, EBADF);
  size_t done = 0;
  while (done < count) {
    Result<size_t> n = host_->WriteSome(*this, offset + done,
                                        static_cast<const uint8_t*>(bytes) + done, count - done);
    if (!n) return n.Failure();
    // A write that takes nothing would never end.
    if (*n == 0) return HostError(path_, ENOSPC);
    done += *n;
  }
  return {};
}

Result<PathInfo> HostFile::Info() const {
  if (!IsOpen()) return HostError(path_, EBADF);
  return host_->InfoOf(*this);
}

Status HostFile::Truncate(uint64_t size) const {
  if (!IsOpen()) return HostError(path_, EBADF);
  return host_->Truncate(*this, size);
}

Result<size_t> HostFile::CopySomeTo(uint64_t offset, const HostFile& to, uint64_t toOffset,
                                    size_t count) const {
  if (!IsOpen()) return HostError(path_, EBADF);
  if (!to.IsOpen()) return HostError(to.path_, EBADF);
  return host_->CopySome(*this, offset, to, toOffset, count);
}

Error HostError(const std::string& path, int code) { return {path + ": " + ErrorText(code), code}; }

HostFolder Host::OpenFolder(const std::string& path) { return {path, {}}; }

// Hosts that hold no folders open reach children by their full paths: what
// stands at the path is looked at first, so that a link there is refused.
Result<HostFile> Host::CreateFileIn(const HostFolder& folder, const std::string& name) {
  const std::string path = JoinPath(folder.path, name);
  const Result<EntryType> type = EntryTypeOf(path);
  if (type && *type == EntryType::kLink) return LinkInTheWay(path);
  if (type && *type != EntryType::kFile) return HostError(path, *type == EntryType::kFolder ? EISDIR : EEXIST);
  return CreateFile(path);
}

Result<HostFolder> Host::OpenFolderIn(const HostFolder& folder, const std::string& name) {
  std::string path = JoinPath(folder.path, name);
  const Result<EntryType> type = EntryTypeOf(path);
  if (!type) return type.Failure();
  if (*type == EntryType::kLink) return LinkInTheWay(path);
  if (*type != EntryType::kFolder) return HostError(path, ENOTDIR);
  return HostFolder{std::move(path), {}};
}

Result<HostFolder> Host::MakeFolderIn(const HostFolder& folder, const std::string& name) {
  const std::string path = JoinPath(folder.path, name);
  const Result<EntryType> type = EntryTypeOf(path);
  if (type && *type == EntryType::kLink) return LinkInTheWay(path);
  if (type && *type != EntryType::kFolder) return HostError(path, ENOTDIR);
  if (Status made = MakeFolder(path); !made) return made.Failure();
  return OpenFolderIn(folder, name);
}

Status Host::RemoveFileIn(const HostFolder& folder, const std::string& name) {
  return RemoveFile(JoinPath(folder.path, name));
}

Result<HostFile> Host::OpenFileIn(const HostFolder& folder, const std::string& name) {
  return OpenFile(JoinPath(folder.path, name));
}

Error LinkInTheWay(const std::string& path) {
  return {path + ": a symbolic link stands there, and links in the output are not followed", ELOOP};
}

Result<HostFolder> OpenFolderBelow(Host& host, const HostFolder& root, const std::string& relative) {
  std::optional<HostFolder> at;
  for (size_t start = 0; start <= relative.size();) {
    size_t end = start;
    while (end < relative.size() && !IsPathSeparator(relative[end])) ++end;
    Result<HostFolder> next = host.OpenFolderIn(at ? *at : root, relative.substr(start, end - start));
    if (!next) return next.Failure();
    at = std::move(*next);
    start = end + 1;
  }
  return std::move(*at);
}

Status MakeFolderPath(Host& host, const std::string& path) {
  // Every element from the top; folders that exist are passed through, even
  // where nothing may be made in them.
  for (size_t at = 1; at < path.size(); ++at) {
    if (!IsPathSeparator(path[at])) continue;
    const std::string above = path.substr(0, at);
    if (IsPathSeparator(above.back())) continue;
    Result<PathInfo> info = host.InfoOf(above);
    if (info && info->kind == PathKind::kFolder) continue;
    if (Status made = host.MakeFolder(above); !made) return made;
  }
  return host.MakeFolder(path);
}

namespace {

const char* EntryTypeName(EntryType type) {
  switch (type) {
    case EntryType::kFile: return "a regular file";
    case EntryType::kFolder: return "a folder";
    case EntryType::kLink: return "a symbolic link";
    case EntryType::kBlockDevice: return "a block device";
    case EntryType::kCharacterDevice: return "a character device";
    case EntryType::kPipe: return "a FIFO";
    case EntryType::kSocket: return "a socket";
    case EntryType::kOther: break;
  }
  return "of an unknown kind";
}

}  // namespace

Error RefusedInput(const std::string& path, EntryType type) {
  std::string text = path + ": is " + EntryTypeName(type) + ", not a regular file or a drive";
  if (type != EntryType::kFolder) text += "; reading it may never end";
  return Error{text};
}

std::string ReasonOf(const Error& error, const std::string& path) {
  const std::string prefix = path + ": ";
  return error.text.rfind(prefix, 0) == 0 ? error.text.substr(prefix.size()) : error.text;
}

Status CheckImageOutput(Host& host, const std::string& path) {
  const Result<EntryType> type = host.EntryTypeOf(path);
  // Nothing there is a new name; a path that cannot be examined fails later
  // where it is created, with the reason the system gives then.
  if (!type || *type == EntryType::kFile) return {};
  return Error{path + ": not a regular file (" + EntryTypeName(*type) +
                   "); the image is written only to a regular file or a new name"};
}

Result<std::string> AbsolutePath(Host& host, const std::string& path) {
  if (IsAbsolutePath(path)) return path;
  Result<std::string> current = host.CurrentDirectory();
  if (!current) return current.Failure();
  // "." and a leading "./" name the current directory itself, which messages
  // show without them.
  std::string_view rest = path;
  while (rest.size() >= 2 && rest[0] == '.' && IsPathSeparator(rest[1])) rest.remove_prefix(2);
  if (rest == "." || rest.empty()) return *current;
  return JoinPath(*current, std::string(rest));
}

CopyOutcome CopyFileRange(const HostFile& from, uint64_t fromOffset, const HostFile& to,
                          uint64_t toOffset, uint64_t count) {
  constexpr uint64_t kLargestCall = 1 << 30;
  constexpr size_t kBufferSize = 256 * 1024;
  CopyOutcome outcome;
  std::unique_ptr<uint8_t[]> buffer;
  const size_t bufferSize = size_t(std::min<uint64_t>(count, kBufferSize));
  bool direct = true;
  while (outcome.copied < count) {
    const uint64_t want = std::min(count - outcome.copied, kLargestCall);
    if (direct) {
      Result<size_t> n =
          from.CopySomeTo(fromOffset + outcome.copied, to, toOffset + outcome.copied, size_t(want));
      if (!n && n.Failure().code == ENOTSUP) {
        direct = false;
        continue;
      }
      if (!n) return outcome.failure = n.Failure(), outcome;
      if (*n == 0) break;
      outcome.copied += *n;
      continue;
    }
    // Not zeroed: the copy is made for many small files.
    if (!buffer) buffer = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
    Result<size_t> n = from.ReadAt(fromOffset + outcome.copied, buffer.get(),
                                   size_t(std::min<uint64_t>(want, bufferSize)));
    if (!n) return outcome.failure = n.Failure(), outcome;
    if (*n == 0) break;
    if (Status written = to.WriteAt(toOffset + outcome.copied, buffer.get(), *n); !written) {
      return outcome.failure = written.Failure(), outcome;
    }
    outcome.copied += *n;
  }
  return outcome;
}

namespace {

std::string TemporaryStem(const std::string& target) {
  return target + ".zanthrel-" + std::to_string(CurrentProcessNumber()) + "-";
}

}  // namespace

std::string ParentFolderOf(const std::string& path) {
  const std::optional<std::string> folder = FolderPartOf(path);
  if (!folder) return ".";
  // A file at a root: "/" or "C:\", never "C:", which names the drive's
  // current folder.
  if (folder->empty() || folder->back() == ':') return *folder + path[folder->size()];
  return *folder;
}

bool IsTemporaryFileName(const std::string& name) {
  const size_t mark = name.rfind(".zanthrel-");
  if (mark == std::string::npos) return false;
  const std::string tail = name.substr(mark + 10);
  const size_t dash = tail.find('-');
  auto digits = [](const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  };
  return dash != std::string::npos && digits(tail.substr(0, dash)) && digits(tail.substr(dash + 1));
}

Result<TemporaryFile> TemporaryFile::CreateBeside(Host& host, const std::string& target) {
  Result<HostFile> unnamed = host.CreateUnnamedFile(ParentFolderOf(target));
  if (unnamed) return TemporaryFile(host, std::move(*unnamed), "", target);
  if (unnamed.Failure().code != ENOTSUP) return unnamed.Failure();
  const std::string stem = TemporaryStem(target);
  Error last{target + ": no free temporary name", EEXIST};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = stem + std::to_string(attempt);
    Result<HostFile> file = host.CreateNewFile(path);
    if (file) {
      host.RemoveOnInterrupt(path);
      return TemporaryFile(host, std::move(*file), path, target);
    }
    last = file.Failure();
    if (last.code != EEXIST) break;
  }
  return last;
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : host_(other.host_), file_(std::move(other.file_)), path_(std::move(other.path_)),
      target_(std::move(other.target_)), settled_(other.settled_) {
  other.settled_ = true;
}

TemporaryFile::~TemporaryFile() {
  if (settled_) return;
  file_.Close();
  if (path_.empty()) return;  // an unnamed file is gone with its handle
  (void)host_->RemoveFile(path_);
  host_->KeepOnInterrupt(path_);
}

Result<std::string> TemporaryFile::GiveName() {
  const std::string stem = TemporaryStem(target_);
  Error last{target_ + ": no free temporary name", EEXIST};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = stem + std::to_string(attempt);
    Status named = host_->NameFile(file_, path);
    if (named) return path;
    last = named.Failure();
    if (last.code != EEXIST) break;
  }
  return last;
}

Status TemporaryFile::Commit() {
  if (path_.empty()) {
    // The name lives only until the rename below, in the same folder.
    Result<std::string> named = GiveName();
    if (!named) return named.Failure();
    path_ = *named;
    host_->RemoveOnInterrupt(path_);
  }
  file_.Close();
  Status renamed = host_->Rename(path_, target_);
  if (renamed) {
    host_->KeepOnInterrupt(path_);
    settled_ = true;
  }
  return renamed;
}

}  // namespace zanthrel
