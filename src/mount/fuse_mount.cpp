#include "mount/fuse_mount.h"

// 3.12: the loop on several threads takes its settings as a record.
#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

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
#include "mount/kernel_cache_filler.h"
#include "mount/node_table.h"
#include "source/image_source.h"
#include "support/host.h"

namespace zanthrel {

namespace {

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

// Small files of a folder being listed are put into the kernel's cache before
// they are asked for, by a thread of their own: a reader of many small files
// (cp -r, tar, find | xargs cat) then finds their pages there, instead of
// waiting for the mount once per file, each wait a wake of the mount's thread
// and of the reader (two thirds of the time of such a read, measured). A
// listing puts no more than its first few MiB, and a file larger than this
// is left to the kernel's own read-ahead.
constexpr uint64_t kLargestFilePut = 64 << 10;
constexpr uint64_t kMostPutPerListing = 4 << 20;

// What the callbacks share. Requests are served on several threads, so that
// the kernel's read-ahead and a reader's next request wait on no earlier one;
// the index, its image source and the node table are not thread-safe, so one
// lock covers them. A source per thread would cost a gzip or CHD image's
// unpacking once per thread, for little: a request spends most of its time
// crossing to and from the kernel, and the part under the lock is a copy out
// of the image.
struct MountState {
  DiscIndex& index;
  NodeTable nodes;
  timespec modified;
  std::mutex lock;
  std::unique_ptr<KernelCacheFiller> filler;
  // The kernel opens files without asking (an open that answers ENOSYS), so
  // that neither an open nor a release crosses to the mount per file.
  bool opensInKernel = false;
};

MountState& State(fuse_req_t request) { return *static_cast<MountState*>(fuse_req_userdata(request)); }

int ErrorNumber(MountFailure failure) {
  switch (failure) {
    case MountFailure::kNotFound: return ENOENT;
    case MountFailure::kNotFolder: return ENOTDIR;
    case MountFailure::kIoError: return EIO;
  }
  return EIO;
}

struct stat Attributes(uint64_t number, const DiscNode& node, const timespec& modified) {
  struct stat attributes;
  std::memset(&attributes, 0, sizeof attributes);
  attributes.st_ino = ino_t(number);
  attributes.st_mode = node.folder ? (S_IFDIR | 0555) : (S_IFREG | 0444);
  attributes.st_nlink = node.folder ? 2 : 1;
  attributes.st_size = off_t(node.size);
  attributes.st_blocks = blkcnt_t((node.size + 511) / 512);
  attributes.st_mtim = attributes.st_atim = attributes.st_ctim = modified;
  return attributes;
}

// The answer that tells the kernel of `path`, counted as one more lookup of it.
fuse_entry_param EntryOf(MountState& state, const std::string& path, const DiscNode& node) {
  fuse_entry_param entry{};
  entry.ino = state.nodes.Tell(path, node);
  entry.attr = Attributes(entry.ino, node, state.modified);
  entry.attr_timeout = entry.entry_timeout = kNeverExpires;
  return entry;
}

void Init(void* data, fuse_conn_info* connection) {
  MountState& state = *static_cast<MountState*>(data);
  connection->max_read = kLargestRead;
  connection->max_readahead = kLargestRead;
  state.opensInKernel = (connection->capable & FUSE_CAP_NO_OPEN_SUPPORT) != 0;
  if (connection->capable & FUSE_CAP_SPLICE_WRITE) connection->want |= FUSE_CAP_SPLICE_WRITE;
}

void LookUp(fuse_req_t request, fuse_ino_t parent, const char* name) {
  MountState& state = State(request);
  const std::lock_guard<std::mutex> held(state.lock);
  const KnownNode* folder = state.nodes.Find(parent);
  if (!folder) {
    fuse_reply_err(request, ENOENT);
    return;
  }
  const std::string path = ChildPath(folder->path, name);
  const Result<DiscNode, MountFailure> node = state.index.Lookup(path);
  if (!node) {
    if (node.Failure() != MountFailure::kNotFound) {
      fuse_reply_err(request, ErrorNumber(node.Failure()));
      return;
    }
    // A name that is not there never will be: the kernel keeps that too.
    fuse_entry_param absent{};
    absent.entry_timeout = kNeverExpires;
    fuse_reply_entry(request, &absent);
    return;
  }
  const fuse_entry_param entry = EntryOf(state, path, *node);
  fuse_reply_entry(request, &entry);
}

void Forget(fuse_req_t request, fuse_ino_t number, uint64_t count) {
  MountState& state = State(request);
  {
    const std::lock_guard<std::mutex> held(state.lock);
    state.nodes.Forget(number, count);
  }
  fuse_reply_none(request);
}

void ForgetMany(fuse_req_t request, size_t count, fuse_forget_data* forgets) {
  MountState& state = State(request);
  {
    const std::lock_guard<std::mutex> held(state.lock);
    for (size_t i = 0; i < count; ++i) state.nodes.Forget(forgets[i].ino, forgets[i].nlookup);
  }
  fuse_reply_none(request);
}

void GetAttributes(fuse_req_t request, fuse_ino_t number, fuse_file_info*) {
  MountState& state = State(request);
  const std::lock_guard<std::mutex> held(state.lock);
  const KnownNode* known = state.nodes.Find(number);
  if (!known) {
    fuse_reply_err(request, ENOENT);
    return;
  }
  const struct stat attributes = Attributes(number, known->node, state.modified);
  fuse_reply_attr(request, &attributes, kNeverExpires);
}

void Open(fuse_req_t request, fuse_ino_t number, fuse_file_info* file) {
  MountState& state = State(request);
  // The kernel has looked the path up already, and an open for writing
  // never comes past the read-only mount: every open would succeed, so the
  // kernel is told to make them itself, keeping the pages it has cached
  // (which an open it makes does).
  if (state.opensInKernel) {
    fuse_reply_err(request, ENOSYS);
    return;
  }
  {
    const std::lock_guard<std::mutex> held(state.lock);
    const KnownNode* known = state.nodes.Find(number);
    if (!known || known->node.folder) {
      fuse_reply_err(request, known ? EISDIR : ENOENT);
      return;
    }
  }
  file->keep_cache = 1;
  fuse_reply_open(request, file);
}

void Read(fuse_req_t request, fuse_ino_t number, size_t size, off_t offset, fuse_file_info*) {
  MountState& state = State(request);
  std::optional<FileSpan> span;
  std::unique_ptr<uint8_t[]> bytes;
  Result<size_t, MountFailure> read = MountFailure::kNotFound;
  {
    const std::lock_guard<std::mutex> held(state.lock);
    if (const KnownNode* known = state.nodes.Find(number)) {
      span = state.index.SpanOf(known->node, uint64_t(offset), size);
      if (!span) {
        bytes.reset(new uint8_t[size]);
        read = state.index.Read(known->node, uint64_t(offset), bytes.get(), size);
      }
    }
  }
  // The bytes of a plain image go from its file to the kernel unread here, by
  // a splice where the kernel takes one, at their own offset, off the lock.
  if (span) {
    fuse_bufvec data = FUSE_BUFVEC_INIT(size_t(span->length));
    data.buf[0].flags = fuse_buf_flags(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK);
    data.buf[0].fd = int(span->file);
    data.buf[0].pos = off_t(span->offset);
    fuse_reply_data(request, &data, fuse_buf_copy_flags(0));
    return;
  }
  if (!read) {
    fuse_reply_err(request, ErrorNumber(read.Failure()));
    return;
  }
  fuse_reply_buf(request, reinterpret_cast<const char*>(bytes.get()), *read);
}

// An open folder: its path and listing, held for as long as the folder is
// open so that a folder larger than the index's cache is read from the image
// once per open, and where the last answer stopped.
struct OpenedFolder {
  std::string path;
  std::shared_ptr<const DiscListing> listing;
  std::map<std::string, DiscNode>::const_iterator next;  // the child at place nextOffset
  off_t nextOffset = 0;
  uint64_t bytesPut = 0;  // of its small files, put into the kernel's cache
};
constexpr off_t kFirstChild = 2;
// Numbers shown for names listed without their attributes, far above those
// the node table gives.
constexpr uint64_t kUntoldNumbers = uint64_t(1) << 62;

void OpenFolder(fuse_req_t request, fuse_ino_t number, fuse_file_info* folder) {
  MountState& state = State(request);
  auto opened = std::make_unique<OpenedFolder>();
  {
    const std::lock_guard<std::mutex> held(state.lock);
    const KnownNode* known = state.nodes.Find(number);
    if (!known) {
      fuse_reply_err(request, ENOENT);
      return;
    }
    auto listed = state.index.List(known->path);
    if (!listed) {
      fuse_reply_err(request, ErrorNumber(listed.Failure()));
      return;
    }
    opened->path = known->path;
    opened->listing = std::move(*listed);
  }
  opened->next = opened->listing->children.begin();
  opened->nextOffset = kFirstChild;
  folder->fh = reinterpret_cast<uint64_t>(opened.get());
  // Folders' listings are kept by the kernel too, and read once.
  folder->keep_cache = 1;
  folder->cache_readdir = 1;
  if (fuse_reply_open(request, folder) == 0) opened.release();
}

void ReleaseFolder(fuse_req_t request, fuse_ino_t, fuse_file_info* folder) {
  std::unique_ptr<OpenedFolder> owned(reinterpret_cast<OpenedFolder*>(folder->fh));
  fuse_reply_err(request, 0);
}

// Entries are given with their offsets, the place of the entry after each
// (".", "..", then the children from place 2 on). Given with their
// attributes ("plus"), each child counts as a lookup of it, and the kernel
// never asks for one.
void ListFolder(fuse_req_t request, fuse_ino_t number, size_t size, off_t offset, fuse_file_info* folder,
                bool plus) {
  MountState& state = State(request);
  OpenedFolder& opened = *reinterpret_cast<OpenedFolder*>(folder->fh);
  const auto& children = opened.listing->children;
  std::vector<char> answer(size);
  size_t used = 0;
  // Adds one entry when it fits; `tell` gives its entry, counted as told only then.
  const auto add = [&](const char* name, off_t next, auto&& tell) {
    fuse_entry_param entry{};
    entry.attr.st_mode = S_IFREG;
    const size_t needed = plus ? fuse_add_direntry_plus(request, nullptr, 0, name, &entry, next)
                               : fuse_add_direntry(request, nullptr, 0, name, &entry.attr, next);
    if (used + needed > size) return false;
    entry = tell();
    used += plus ? fuse_add_direntry_plus(request, &answer[used], size - used, name, &entry, next)
                 : fuse_add_direntry(request, &answer[used], size - used, name, &entry.attr, next);
    return true;
  };
  // "." and ".." name no node the kernel is to keep.
  const auto dot = [&] {
    fuse_entry_param entry{};
    entry.attr.st_mode = S_IFDIR;
    entry.attr.st_ino = ino_t(number);
    return entry;
  };
  std::vector<FileToPut> toPut;
  {
    const std::lock_guard<std::mutex> held(state.lock);
    bool full = (offset < 1 && !add(".", 1, dot)) ||
                (offset < 2 && !add("..", 2, dot));
    // A listing read on from where the last answer stopped costs no walk from its start.
    const off_t first = std::max(offset, kFirstChild);
    if (!full && first != opened.nextOffset) {
      const off_t skip = std::min<off_t>(first - kFirstChild, off_t(children.size()));
      opened.next = std::next(children.begin(), skip);
      opened.nextOffset = kFirstChild + skip;
    }
    for (; !full && opened.next != children.end(); ++opened.next, ++opened.nextOffset) {
      const std::string& name = opened.next->first;
      const DiscNode& node = opened.next->second;
      uint64_t told = 0;
      full = !add(name.c_str(), opened.nextOffset + 1, [&] {
        const std::string path = ChildPath(opened.path, name);
        if (!plus) {
          // A name alone is no lookup: its number is the node's when the
          // kernel holds it, else one of its own; never 0, which readdir skips.
          const uint64_t known = state.nodes.NumberOf(path);
          fuse_entry_param entry{};
          entry.attr = Attributes(known != 0 ? known : kUntoldNumbers + uint64_t(opened.nextOffset), node,
                                  state.modified);
          return entry;
        }
        fuse_entry_param entry = EntryOf(state, path, node);
        told = entry.ino;
        return entry;
      });
      if (full) break;
      if (told != 0 && !node.folder && node.size > 0 && node.size <= kLargestFilePut &&
          opened.bytesPut + node.size <= kMostPutPerListing) {
        opened.bytesPut += node.size;
        toPut.push_back({told, node});
      }
    }
  }
  fuse_reply_buf(request, answer.data(), used);
  // Only once the kernel has the entries can it take their pages.
  state.filler->Add(std::move(toPut));
}

void ListFolderNames(fuse_req_t request, fuse_ino_t number, size_t size, off_t offset, fuse_file_info* folder) {
  ListFolder(request, number, size, offset, folder, false);
}

void ListFolderPlus(fuse_req_t request, fuse_ino_t number, size_t size, off_t offset, fuse_file_info* folder) {
  ListFolder(request, number, size, offset, folder, true);
}

fuse_lowlevel_ops Operations() {
  fuse_lowlevel_ops operations{};
  operations.init = Init;
  operations.lookup = LookUp;
  operations.forget = Forget;
  operations.forget_multi = ForgetMany;
  operations.getattr = GetAttributes;
  operations.open = Open;
  operations.read = Read;
  operations.opendir = OpenFolder;
  operations.readdir = ListFolderNames;
  operations.readdirplus = ListFolderPlus;
  operations.releasedir = ReleaseFolder;
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

struct SessionDeleter {
  void operator()(fuse_session* session) const { fuse_session_destroy(session); }
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
  explicit Mounted(fuse_session* session) : session_(session) {}
  ~Mounted() { fuse_session_unmount(session_); }
  Mounted(const Mounted&) = delete;
  Mounted& operator=(const Mounted&) = delete;

 private:
  fuse_session* session_;
};

class SignalHandlers {
 public:
  explicit SignalHandlers(fuse_session* session) : session_(session) {
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
  MountState state{**index, NodeTable((*index)->Root()),
                   {time_t(info->modifiedSeconds), long(info->modifiedNanoseconds)}, {}, nullptr, false};

  const std::string options = "ro,default_permissions,subtype=zanthrel,max_read=" +
                              std::to_string(kLargestRead) + ",fsname=" + EscapedOptionValue(request.image);
  const char* arguments[] = {"zanthrel", "-o", options.c_str()};
  fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(arguments));
  const fuse_lowlevel_ops operations = Operations();
  std::unique_ptr<fuse_session, SessionDeleter> session(
      fuse_session_new(&args, &operations, sizeof(operations), &state));
  fuse_opt_free_args(&args);
  if (!session) return Error{"cannot start FUSE"};
  // Listening before the mount stands, so that a Ctrl-C that comes as soon as
  // it shows still leaves it, instead of ending a process that holds it.
  SignalHandlers handlers(session.get());
  // The daemon leaves for "/", and the unmount at the end runs from there:
  // a relative mount point would name nothing by then.
  const Result<std::string> mountPoint = AbsolutePath(host, request.mountPoint);
  if (!mountPoint) return mountPoint.Failure();
  if (fuse_session_mount(session.get(), mountPoint->c_str()) != 0) {
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
  state.filler = std::make_unique<KernelCacheFiller>(session.get(), state.index, state.lock);
  const int ended = fuse_session_loop_mt(session.get(), loop.get());
  state.filler->Stop();
  if (ended < 0) return Error{request.mountPoint + ": the mount failed"};
  return {};
}

}  // namespace zanthrel
