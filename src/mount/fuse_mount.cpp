#include "mount/fuse_mount.h"

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "mount/disc_index.h"
#include "source/image_source.h"
#include "support/host.h"

namespace zanthrel {

namespace {

// What the callbacks share. The image source is not thread-safe, so the
// session runs single-threaded (fuse_loop): one call at a time.
struct MountState {
  DiscIndex& index;
  timespec modified;
};

MountState& State() { return *static_cast<MountState*>(fuse_get_context()->private_data); }

int ErrorNumber(MountFailure failure) {
  switch (failure) {
    case MountFailure::kNotFound: return -ENOENT;
    case MountFailure::kNotFolder: return -ENOTDIR;
    case MountFailure::kIoError: return -EIO;
  }
  return -EIO;
}

void FillAttributes(const DiscNode& node, const timespec& modified, struct stat* attributes) {
  std::memset(attributes, 0, sizeof(*attributes));
  attributes->st_mode = node.folder ? (S_IFDIR | 0555) : (S_IFREG | 0444);
  attributes->st_nlink = node.folder ? 2 : 1;
  attributes->st_size = off_t(node.size);
  attributes->st_blocks = blkcnt_t((node.size + 511) / 512);
  attributes->st_mtim = attributes->st_atim = attributes->st_ctim = modified;
}

void* Init(fuse_conn_info*, fuse_config* config) {
  // Nothing on the image changes while it is mounted.
  config->kernel_cache = 1;
  config->entry_timeout = config->attr_timeout = config->negative_timeout = 3600;
  return fuse_get_context()->private_data;
}

int GetAttributes(const char* path, struct stat* attributes, fuse_file_info*) {
  MountState& state = State();
  const Result<DiscNode, MountFailure> node = state.index.Lookup(path);
  if (!node) return ErrorNumber(node.Failure());
  FillAttributes(*node, state.modified, attributes);
  return 0;
}

int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
               fuse_readdir_flags) {
  MountState& state = State();
  const auto listing = state.index.List(path);
  if (!listing) return ErrorNumber(listing.Failure());
  fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
  fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
  struct stat attributes;
  for (const auto& [name, node] : (*listing)->children) {
    FillAttributes(node, state.modified, &attributes);
    if (fill(buffer, name.c_str(), &attributes, 0, FUSE_FILL_DIR_PLUS) != 0) break;
  }
  return 0;
}

int Open(const char* path, fuse_file_info* file) {
  MountState& state = State();
  Result<DiscNode, MountFailure> node = state.index.Lookup(path);
  if (!node) return ErrorNumber(node.Failure());
  if (node->folder) return -EISDIR;
  // The open file keeps its node, so that reads need no lookup; Release frees it.
  file->fh = reinterpret_cast<uint64_t>(new DiscNode(std::move(*node)));
  file->keep_cache = 1;
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  MountState& state = State();
  const DiscNode& node = *reinterpret_cast<const DiscNode*>(file->fh);
  const Result<size_t, MountFailure> read = state.index.Read(
      node, uint64_t(offset), reinterpret_cast<uint8_t*>(buffer), size);
  return read ? int(*read) : ErrorNumber(read.Failure());
}

int Release(const char*, fuse_file_info* file) {
  std::unique_ptr<DiscNode> owned(reinterpret_cast<DiscNode*>(file->fh));
  return 0;
}

fuse_operations Operations() {
  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttributes;
  operations.readdir = ReadFolder;
  operations.open = Open;
  operations.read = Read;
  operations.release = Release;
  return operations;
}

// The -o parser splits on commas and takes the character after a backslash
// literally, so both are escaped: the whole path stays the one fsname value,
// and none of its text becomes an option of its own.
std::string EscapedOptionValue(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == ',' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

struct FuseDeleter {
  void operator()(fuse* session) const { fuse_destroy(session); }
};

// Unmounts at every exit once mounted.
class Mounted {
 public:
  explicit Mounted(fuse* session) : session_(session) {}
  ~Mounted() { fuse_unmount(session_); }
  Mounted(const Mounted&) = delete;
  Mounted& operator=(const Mounted&) = delete;

 private:
  fuse* session_;
};

class SignalHandlers {
 public:
  explicit SignalHandlers(fuse* session) : session_(fuse_get_session(session)) {
    installed_ = fuse_set_signal_handlers(session_) == 0;
  }
  ~SignalHandlers() {
    if (installed_) fuse_remove_signal_handlers(session_);
  }
  SignalHandlers(const SignalHandlers&) = delete;
  SignalHandlers& operator=(const SignalHandlers&) = delete;

 private:
  fuse_session* session_;
  bool installed_ = false;
};

}  // namespace

Status CheckMountPoint(const std::string& mountPoint, bool nonEmpty, Host& host) {
  const Result<PathInfo> info = host.InfoOf(mountPoint);
  if (!info) {
    return Error{mountPoint + ": no such folder (" + ErrorText(info.Failure().code) + ")", info.Failure().code};
  }
  if (info->kind != PathKind::kFolder) return Error{mountPoint + ": not a folder", ENOTDIR};
  if (nonEmpty) return {};
  const Result<std::vector<FolderChild>> children = host.ListFolder(mountPoint);
  if (!children) {
    return Error{mountPoint + ": cannot be listed (" + ErrorText(children.Failure().code) + ")",
                 children.Failure().code};
  }
  if (!children->empty()) {
    return Error{mountPoint + ": the folder is not empty; the mount would hide its files until it is left "
                              "(--nonempty mounts over them)",
                 ENOTEMPTY};
  }
  return {};
}

Status MountImage(const MountRequest& request) {
  Host& host = SystemHost();
  ImageSource source;
  if (OpenStatus opened = OpenImageFile(source, request.image, host); !opened) {
    return Error{request.image + ": " + opened.Failure().text};
  }
  const Result<PathInfo> info = host.InfoOf(request.image);
  if (!info) return info.Failure();
  IndexOptions indexOptions;
  indexOptions.allCopies = request.allCopies;
  indexOptions.names = request.names;
  Result<std::unique_ptr<DiscIndex>> index = DiscIndex::Open(source, indexOptions);
  if (!index) return index.Failure();
  MountState state{**index, {time_t(info->modifiedSeconds), long(info->modifiedNanoseconds)}};

  const std::string options =
      "ro,default_permissions,subtype=zanthrel,fsname=" + EscapedOptionValue(request.image);
  const char* arguments[] = {"zanthrel", "-o", options.c_str()};
  fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(arguments));
  const fuse_operations operations = Operations();
  std::unique_ptr<fuse, FuseDeleter> session(
      fuse_new(&args, &operations, sizeof(operations), &state));
  fuse_opt_free_args(&args);
  if (!session) return Error{"cannot start FUSE"};
  // Listening before the mount stands, so that a Ctrl-C that comes as soon as
  // it shows still leaves it, instead of ending a process that holds it.
  SignalHandlers handlers(session.get());
  // The daemon leaves for "/", and the unmount at the end runs from there:
  // a relative mount point would name nothing by then.
  const Result<std::string> mountPoint = AbsolutePath(host, request.mountPoint);
  if (!mountPoint) return mountPoint.Failure();
  if (fuse_mount(session.get(), mountPoint->c_str()) != 0) {
    return Error{request.mountPoint + ": cannot mount here"};
  }
  Mounted mounted(session.get());
  if (fuse_daemonize(request.foreground ? 1 : 0) != 0) {
    return Error{"cannot go to the background"};
  }
  // A positive result is the signal that asked the loop to end, which is how
  // a mount in the foreground is meant to be left.
  if (fuse_loop(session.get()) < 0) return Error{request.mountPoint + ": the mount failed"};
  return {};
}

}  // namespace zanthrel
