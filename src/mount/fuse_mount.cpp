#include "mount/fuse_mount.h"

// 3.12: the loop on several threads takes its settings as a record.
#define FUSE_USE_VERSION 312
#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "mount/disc_index.h"
#include "source/image_source.h"
#include "support/host.h"

namespace zanthrel {

namespace {

// What the callbacks share. Requests are served on several threads, so that
// the kernel's read-ahead and a reader's next request wait on no earlier one;
// the index and its image source are not thread-safe, so one lock covers
// them. A source per thread would cost a gzip or CHD image's unpacking once
// per thread, for little: a request spends most of its time crossing to and
// from the kernel, and the part under the lock is a copy out of the image.
struct MountState {
  DiscIndex& index;
  timespec modified;
  std::mutex lock;
  // The kernel opens files without asking (an open that answers ENOSYS), so
  // that neither an open nor a release crosses to the mount per file.
  bool opensInKernel = false;
};

// The image is read-only and the mount holds it open, so nothing the kernel
// learns of it ever goes stale: names, attributes and pages are kept for as
// long as the kernel wants them (a timeout of about 30 years).
constexpr double kNeverExpires = 1e9;
// Reads of up to 1 MiB at a time, and read-ahead as large, where the kernel
// allows it (the kernel measured, 6.18, caps reads through the page cache at
// 256 KiB, its read-ahead window). Files do not tell a block size of 1 MiB:
// cat then reads in pieces that large and waits on each, which measured
// slower than its usual 128 KiB.
constexpr unsigned kLargestRead = 1 << 20;

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

void* Init(fuse_conn_info* connection, fuse_config* config) {
  MountState& state = *static_cast<MountState*>(fuse_get_context()->private_data);
  // Nothing on the image changes while it is mounted.
  config->kernel_cache = 1;
  config->entry_timeout = config->attr_timeout = config->negative_timeout = kNeverExpires;
  connection->max_read = kLargestRead;
  connection->max_readahead = kLargestRead;
  state.opensInKernel = (connection->capable & FUSE_CAP_NO_OPEN_SUPPORT) != 0;
  return &state;
}

int GetAttributes(const char* path, struct stat* attributes, fuse_file_info*) {
  MountState& state = State();
  const std::lock_guard<std::mutex> held(state.lock);
  const Result<DiscNode, MountFailure> node = state.index.Lookup(path);
  if (!node) return ErrorNumber(node.Failure());
  FillAttributes(*node, state.modified, attributes);
  return 0;
}

// An open folder: its listing, held for as long as the folder is open so
// that a folder larger than the index's cache is read from the image once per
// open, and where the last answer stopped.
struct OpenedFolder {
  std::shared_ptr<const DiscListing> listing;
  std::map<std::string, DiscNode>::const_iterator next;  // the child at place nextOffset
  off_t nextOffset = 0;
};
constexpr off_t kFirstChild = 2;

// Entries are given with their offsets, the place of the entry after each
// (".", "..", then the children from place 2 on), so that the kernel takes
// each child's attributes as a lookup of it and never asks for one; an answer
// given without offsets would make it look every name up again.
int ReadFolder(const char*, void* buffer, fuse_fill_dir_t fill, off_t offset, fuse_file_info* folder,
               fuse_readdir_flags) {
  MountState& state = State();
  OpenedFolder& opened = *reinterpret_cast<OpenedFolder*>(folder->fh);
  const auto& children = opened.listing->children;
  if (offset < 1 && fill(buffer, ".", nullptr, 1, fuse_fill_dir_flags(0)) != 0) return 0;
  if (offset < 2 && fill(buffer, "..", nullptr, 2, fuse_fill_dir_flags(0)) != 0) return 0;
  // A listing read on from where the last answer stopped costs no walk from its start.
  const off_t first = std::max(offset, kFirstChild);
  if (first != opened.nextOffset) {
    const off_t skip = std::min<off_t>(first - kFirstChild, off_t(children.size()));
    opened.next = std::next(children.begin(), skip);
    opened.nextOffset = kFirstChild + skip;
  }
  struct stat attributes;
  for (; opened.next != children.end(); ++opened.next, ++opened.nextOffset) {
    FillAttributes(opened.next->second, state.modified, &attributes);
    if (fill(buffer, opened.next->first.c_str(), &attributes, opened.nextOffset + 1, FUSE_FILL_DIR_PLUS) != 0) {
      break;
    }
  }
  return 0;
}

int Open(const char* path, fuse_file_info* file) {
  MountState& state = State();
  // The kernel has looked the path up already, and an open for writing
  // never comes past the read-only mount: every open would succeed, so the
  // kernel is told to make them itself, keeping the pages it has cached
  // (which an open it makes does). Reads then come with the path alone.
  if (state.opensInKernel) return -ENOSYS;
  const std::lock_guard<std::mutex> held(state.lock);
  Result<DiscNode, MountFailure> node = state.index.Lookup(path);
  if (!node) return ErrorNumber(node.Failure());
  if (node->folder) return -EISDIR;
  // The open file keeps its node, so that reads need no lookup; Release frees it.
  file->fh = reinterpret_cast<uint64_t>(new DiscNode(std::move(*node)));
  file->keep_cache = 1;
  return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  MountState& state = State();
  const std::lock_guard<std::mutex> held(state.lock);
  std::optional<DiscNode> looked;
  if (file->fh == 0) {
    Result<DiscNode, MountFailure> node = state.index.Lookup(path);
    if (!node) return ErrorNumber(node.Failure());
    looked = std::move(*node);
  }
  const DiscNode& node = looked ? *looked : *reinterpret_cast<const DiscNode*>(file->fh);
  const Result<size_t, MountFailure> read = state.index.Read(
      node, uint64_t(offset), reinterpret_cast<uint8_t*>(buffer), size);
  return read ? int(*read) : ErrorNumber(read.Failure());
}

int Release(const char*, fuse_file_info* file) {
  std::unique_ptr<DiscNode> owned(reinterpret_cast<DiscNode*>(file->fh));
  return 0;
}

int OpenFolder(const char* path, fuse_file_info* folder) {
  MountState& state = State();
  auto opened = std::make_unique<OpenedFolder>();
  {
    const std::lock_guard<std::mutex> held(state.lock);
    auto listed = state.index.List(path);
    if (!listed) return ErrorNumber(listed.Failure());
    opened->listing = std::move(*listed);
  }
  opened->next = opened->listing->children.begin();
  opened->nextOffset = kFirstChild;
  folder->fh = reinterpret_cast<uint64_t>(opened.release());
  // Folders' listings are kept by the kernel too, and read once.
  folder->keep_cache = 1;
  folder->cache_readdir = 1;
  return 0;
}

int ReleaseFolder(const char*, fuse_file_info* folder) {
  std::unique_ptr<OpenedFolder> owned(reinterpret_cast<OpenedFolder*>(folder->fh));
  return 0;
}

fuse_operations Operations() {
  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttributes;
  operations.readdir = ReadFolder;
  operations.opendir = OpenFolder;
  operations.releasedir = ReleaseFolder;
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

struct LoopConfigDeleter {
  void operator()(fuse_loop_config* config) const { fuse_loop_cfg_destroy(config); }
};

// Enough for the kernel's read-ahead to run beside a reader's own request on
// each core; more would only wait on the lock.
constexpr unsigned kServingThreads = 4;

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
  MountState state{**index, {time_t(info->modifiedSeconds), long(info->modifiedNanoseconds)}, {}, false};

  const std::string options = "ro,default_permissions,subtype=zanthrel,max_read=" +
                              std::to_string(kLargestRead) + ",fsname=" + EscapedOptionValue(request.image);
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
  const std::unique_ptr<fuse_loop_config, LoopConfigDeleter> loop(fuse_loop_cfg_create());
  if (!loop) return Error{"cannot start FUSE"};
  fuse_loop_cfg_set_max_threads(loop.get(), kServingThreads);
  // A positive result is the signal that asked the loop to end, which is how
  // a mount in the foreground is meant to be left.
  if (fuse_loop_mt(session.get(), loop.get()) < 0) return Error{request.mountPoint + ": the mount failed"};
  return {};
}

}  // namespace zanthrel
