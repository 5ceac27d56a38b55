#include "compile/layout_build.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "compile/entry_names.h"
#include "compile/folder_names.h"
#include "opera/records.h"
#include "support/sha1.h"
#include "support/text.h"
#include "volume/layout_fill.h"

namespace zanthrel {

namespace {

using opera::WriteBig32;
constexpr uint32_t kBlock = 2048;
// Files are read and written this much at a time.
constexpr size_t kChunkBlocks = 512;
constexpr uint32_t kEndFlags = opera::kLastInBlockBit | opera::kLastInDirectoryBit;

struct FreeRun {
  uint32_t first = 0;
  uint32_t count = 0;
};

// A host path of the layout, made of plain names only, so that no path of a
// layout leads outside the folder.
bool IsPlainRelativePath(const std::string& path) {
  if (path.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find('/', start);
    const std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (name.empty() || name == "." || name == ".." || name.find('\\') != std::string::npos ||
        name.find(':') != std::string::npos) {
      return false;
    }
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

std::string LastNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinRelative(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

// Blocks a count of bytes takes, in 2048-byte blocks.
uint64_t BlocksFor(uint64_t bytes) { return (bytes + kBlock - 1) / kBlock; }

// The copies of an entry that its last copy index counts and its list holds.
std::vector<uint32_t> CopiesOf(const LayoutEntry& entry) {
  const size_t count = size_t(std::min<uint64_t>(entry.copies.size(), uint64_t(entry.lastCopyIndex) + 1));
  return {entry.copies.begin(), entry.copies.begin() + long(count)};
}

// The 2048-byte blocks each copy of an entry takes.
uint64_t BlocksOf(const LayoutEntry& entry) {
  return BlocksFor(uint64_t(entry.blockCount) * std::max<uint32_t>(entry.blockSize, 1));
}

// The stored record of an entry: the fixed part and its copy list, as long as
// its last copy index says, held to what a directory block can hold.
std::vector<uint8_t> EntryRecord(const LayoutEntry& entry) {
  namespace E = opera::entry;
  const uint64_t length = std::min<uint64_t>(opera::EntryLength(entry.lastCopyIndex), kBlock - opera::kHeaderSize);
  std::vector<uint8_t> record(size_t(std::max<uint64_t>(length, opera::kEntryFixedSize)), 0);
  WriteBig32(&record[E::kFlags], entry.flags);
  WriteBig32(&record[E::kUniqueId], entry.uniqueId);
  std::memcpy(&record[E::kType], entry.type.data(), 4);
  WriteBig32(&record[E::kBlockSize], entry.blockSize);
  WriteBig32(&record[E::kByteCount], entry.byteCount);
  WriteBig32(&record[E::kBlockCount], entry.blockCount);
  WriteBig32(&record[E::kBurst], entry.burst);
  WriteBig32(&record[E::kGap], entry.gap);
  std::memcpy(&record[E::kName], entry.name.data(), std::min(entry.name.size(), E::kNameWidth));
  WriteBig32(&record[E::kLastCopy], entry.lastCopyIndex);
  for (size_t i = 0; i < entry.copies.size() && E::kCopies + 4 * i + 4 <= record.size(); ++i) {
    WriteBig32(&record[E::kCopies + 4 * i], entry.copies[i]);
  }
  return record;
}

void WriteHeader(uint8_t* block, const LayoutDirectoryBlock& header) {
  namespace H = opera::header;
  WriteBig32(block + H::kNextBlock, header.next);
  WriteBig32(block + H::kPreviousBlock, header.previous);
  WriteBig32(block + H::kFlags, header.flags);
  WriteBig32(block + H::kFirstFree, header.firstFree);
  WriteBig32(block + H::kFirstEntry, header.firstEntry);
}

// The blocks of a directory, as its headers say its entries lie, with the
// fill pattern behind the entries.
std::vector<uint8_t> DirectoryBytes(const LayoutDirectory& directory, uint32_t blockCount) {
  std::vector<uint8_t> bytes(size_t(blockCount) * kBlock);
  opera::FillPattern(bytes.data(), bytes.size());
  size_t next = 0;
  for (size_t b = 0; b < directory.blocks.size() && b < blockCount; ++b) {
    const LayoutDirectoryBlock& header = directory.blocks[b];
    uint8_t* block = bytes.data() + b * kBlock;
    WriteHeader(block, header);
    uint64_t offset = std::max<uint64_t>(header.firstEntry, opera::kHeaderSize);
    for (uint32_t i = 0; i < header.entryCount && next < directory.entries.size(); ++i, ++next) {
      const std::vector<uint8_t> record = EntryRecord(directory.entries[next]);
      if (offset + record.size() > kBlock) break;
      std::memcpy(block + offset, record.data(), record.size());
      offset += record.size();
    }
  }
  return bytes;
}

// Lays the entries out anew, as many to a block as fit, and gives the
// headers; the flags that end a block or the directory are set again, the
// last entry keeping those it had.
std::vector<LayoutDirectoryBlock> RelayEntries(LayoutDirectory& directory, uint32_t lastEntryEnds) {
  std::vector<LayoutDirectoryBlock> blocks;
  LayoutDirectoryBlock current;
  current.firstEntry = opera::kHeaderSize;
  current.firstFree = opera::kHeaderSize;
  current.flags = directory.blocks.empty() ? 0 : directory.blocks.front().flags;
  for (LayoutEntry& entry : directory.entries) {
    entry.flags &= ~kEndFlags;
    const uint64_t length = EntryRecord(entry).size();
    if (current.firstFree + length > kBlock && current.entryCount > 0) {
      blocks.push_back(current);
      current.firstFree = opera::kHeaderSize;
      current.entryCount = 0;
    }
    current.firstFree += uint32_t(length);
    ++current.entryCount;
  }
  blocks.push_back(current);
  size_t index = 0;
  for (size_t b = 0; b < blocks.size(); ++b) {
    blocks[b].next = b + 1 < blocks.size() ? uint32_t(b + 1) : opera::kNone;
    blocks[b].previous = b == 0 ? opera::kNone : uint32_t(b - 1);
    index += blocks[b].entryCount;
    if (b + 1 < blocks.size()) directory.entries[index - 1].flags |= opera::kLastInBlockBit;
  }
  if (!directory.entries.empty()) directory.entries.back().flags |= lastEntryEnds;
  return blocks;
}

class LayoutBuilder {
 public:
  LayoutBuilder(DiscLayout& layout, const std::string& folder, const HostFile& image,
                const LayoutBuildOptions& options, UniqueIdGenerator& ids)
      : layout_(layout), folder_(folder), image_(image), options_(options), host_(*options.host), ids_(ids),
        end_(layout.imageBlocks) {}

  LayoutBuildReport Build(const std::string& blocksPath);

 private:
  // What became of a directory of the layout in this build.
  struct DirectoryFate {
    bool removed = false;
    bool relocated = false;  // its copies or its block count changed
  };
  // A file changed at its own size: the kept bytes behind its end in the
  // last block of its first copy go behind its end in every copy, so that a
  // patch between the two discs holds the change alone and the copies agree.
  struct Tail {
    uint32_t firstCopyLast = 0;
    uint32_t end = 0;  // the byte of the last block where the file ends
    std::vector<uint32_t> lastBlocks;
  };

  void Fail(const std::string& failure) {
    if (report_.failure.empty()) report_.failure = failure;
  }
  void Tell(const std::string& line) {
    if (options_.changed) options_.changed(line);
  }
  bool Stopped() { return !report_.failure.empty() || options_.cancel.Requested(); }

  // The host path of a path of the layout, when every folder on its way is a
  // folder of the host and the last is of `kind`.
  std::optional<std::string> HostPathOf(const std::string& relative, EntryType kind);
  void MarkChanged(uint32_t first, uint64_t count);
  void Free(uint32_t first, uint64_t count);
  std::optional<uint32_t> Allocate(uint64_t count);
  void WriteBlocks(uint32_t first, const uint8_t* bytes, size_t blocks);

  void BuildDirectory(size_t index);
  // Writes the file into every copy, hashing it: false when it cannot be read.
  bool WriteFile(const std::string& hostPath, uint64_t size, const std::vector<uint32_t>& copies,
                 std::string& sha1);
  // The file's entry after this build; false when it is gone.
  bool BuildFile(LayoutEntry& entry);
  std::optional<LayoutEntry> AddFile(const std::string& relative, const std::string& hostName);
  std::optional<LayoutEntry> AddFolder(const std::string& relative);
  std::vector<LayoutEntry> AddedChildren(const std::string& relative, const std::vector<std::string>& known,
                                         std::vector<std::string>& names);
  // The name an added child is stored under, numbered when another child of
  // the folder has it, as compile does.
  std::string StoredNameFor(const std::string& hostName, std::vector<std::string>& names) const;
  void RemoveFolder(const LayoutDirectory& directory, const std::string& shown);
  void PlaceDirectory(LayoutDirectory& directory, bool changed, uint32_t lastEntryEnds,
                      const std::string& shown);
  void WriteLabel();
  void ApplyPatches(const std::string& blocksPath);
  // `run` blocks of a patch from block `first` on, as the layout keeps them:
  // its fill, or the bytes of the blocks file (of `size` bytes; null when
  // the layout needs none). False, and failed, when they cannot be read.
  bool ReadKept(const HostFile* blocks, uint64_t size, const LayoutPatch& patch, uint64_t first, uint64_t run,
                uint8_t* bytes);
  void ApplyTail(const HostFile* blocks, uint64_t size, const Tail& tail);
  void UpdateLabelFields(bool grew);

  DiscLayout& layout_;
  std::string folder_;
  const HostFile& image_;
  const LayoutBuildOptions& options_;
  Host& host_;
  UniqueIdGenerator& ids_;
  uint32_t end_;
  std::vector<uint8_t> changed_;  // one byte a block: written anew by a change
  std::vector<Tail> tails_;
  std::vector<FreeRun> free_;    // freed in this build, for what grows or is added
  std::vector<DirectoryFate> fates_;
  std::map<std::string, size_t> directoryAt_;  // host path -> index
  std::vector<LayoutDirectory> added_;
  bool rootRelocated_ = false;
  LayoutBuildReport report_;
};

std::optional<std::string> LayoutBuilder::HostPathOf(const std::string& relative, EntryType kind) {
  if (relative.empty()) return folder_;
  if (!IsPlainRelativePath(relative)) return std::nullopt;
  std::string path = folder_;
  size_t start = 0;
  for (;;) {
    const size_t end = relative.find('/', start);
    path = JoinPath(path, relative.substr(start, end == std::string::npos ? std::string::npos : end - start));
    const Result<EntryType> type = host_.EntryTypeOf(path);
    const EntryType wanted = end == std::string::npos ? kind : EntryType::kFolder;
    if (!type || *type != wanted) return std::nullopt;
    if (end == std::string::npos) return path;
    start = end + 1;
  }
}

void LayoutBuilder::MarkChanged(uint32_t first, uint64_t count) {
  const uint64_t last = std::min<uint64_t>(uint64_t(first) + count, end_);
  if (changed_.size() < end_) changed_.resize(end_, 0);
  for (uint64_t b = first; b < last; ++b) changed_[size_t(b)] = 1;
}

void LayoutBuilder::Free(uint32_t first, uint64_t count) {
  const uint64_t last = std::min<uint64_t>(uint64_t(first) + count, end_);
  if (first >= last) return;
  MarkChanged(first, count);
  free_.push_back({first, uint32_t(last - first)});
}

std::optional<uint32_t> LayoutBuilder::Allocate(uint64_t count) {
  for (FreeRun& span : free_) {
    if (span.count >= count && count > 0) {
      const uint32_t first = span.first;
      span.first += uint32_t(count);
      span.count -= uint32_t(count);
      return first;
    }
  }
  if (uint64_t(end_) + count > kMaxLayoutBlocks) {
    Fail("the image would grow past " + std::to_string(kMaxLayoutBlocks) + " blocks");
    return std::nullopt;
  }
  const uint32_t first = end_;
  end_ += uint32_t(count);
  MarkChanged(first, count);
  return first;
}

void LayoutBuilder::WriteBlocks(uint32_t first, const uint8_t* bytes, size_t blocks) {
  // Nothing lands past the image: a copy that the layout puts there was never on the disc either.
  if (first >= end_) return;
  blocks = size_t(std::min<uint64_t>(blocks, end_ - first));
  if (Status written = image_.WriteAt(uint64_t(first) * kBlock, bytes, blocks * kBlock); !written) {
    Fail(image_.Path() + ": write failed (" + ErrorText(written.Failure().code) + ")");
  }
}

bool LayoutBuilder::WriteFile(const std::string& hostPath, uint64_t size, const std::vector<uint32_t>& copies,
                              std::string& sha1) {
  Result<HostFile> file = host_.OpenFile(hostPath);
  if (!file) {
    report_.warnings.push_back(hostPath + ": cannot be read (" + ErrorText(file.Failure().code) + ")");
    return false;
  }
  Sha1 digest;
  std::vector<uint8_t> chunk(kChunkBlocks * kBlock);
  for (uint64_t done = 0; done < size && !Stopped();) {
    const size_t want = size_t(std::min<uint64_t>(chunk.size(), size - done));
    Result<size_t> read = file->ReadAt(done, chunk.data(), want);
    if (!read || *read != want) {
      report_.warnings.push_back(hostPath + ": cannot be read whole");
      return false;
    }
    digest.Update(chunk.data(), want);
    std::fill(chunk.begin() + long(want), chunk.begin() + long(BlocksFor(want) * kBlock), 0);
    for (uint32_t copy : copies) {
      const uint64_t at = uint64_t(copy) + done / kBlock;
      if (at < end_) WriteBlocks(uint32_t(at), chunk.data(), size_t(BlocksFor(want)));
    }
    done += want;
  }
  sha1 = Sha1Text(digest.Finish());
  return true;
}

bool LayoutBuilder::BuildFile(LayoutEntry& entry) {
  std::vector<uint32_t> places = CopiesOf(entry);
  const uint64_t capacity = BlocksOf(entry);
  if (!IsPlainRelativePath(entry.hostPath)) {
    report_.warnings.push_back(entry.hostPath + ": not a path inside the folder; its entry is left as it was");
    return true;
  }
  const std::optional<std::string> path = HostPathOf(entry.hostPath, EntryType::kFile);
  if (!path) {
    // Gone, or something else in its place now (a folder, which is then added as new).
    for (uint32_t copy : places) Free(copy, capacity);
    Tell("removed " + entry.hostPath + ": its blocks are left empty");
    return false;
  }
  const Result<PathInfo> info = host_.InfoOf(*path);
  if (!info) {
    report_.warnings.push_back(*path + ": cannot be read (" + ErrorText(info.Failure().code) + ")");
    return true;
  }
  const uint64_t size = info->size;
  if (size > UINT32_MAX) {
    report_.warnings.push_back(*path + ": larger than an entry can say; its entry is left as it was");
    return true;
  }
  const uint64_t needed = BlocksFor(size);
  const bool sameSize = size == entry.byteCount;
  if (needed > capacity) {
    for (uint32_t copy : places) Free(copy, capacity);
    std::vector<uint32_t> moved;
    for (size_t i = 0; i < places.size(); ++i) {
      const std::optional<uint32_t> first = Allocate(needed);
      if (!first) return true;
      moved.push_back(*first);
    }
    std::copy(moved.begin(), moved.end(), entry.copies.begin());
    Tell("moved " + entry.hostPath + ": grown to " + std::to_string(size) + " bytes, now at block " +
         (moved.empty() ? std::string("-") : std::to_string(moved.front())));
    places = moved;
    entry.blockCount = uint32_t(needed * kBlock / std::max<uint32_t>(entry.blockSize, 1));
  }
  std::string sha1;
  if (!WriteFile(*path, size, places, sha1)) return true;
  const bool unchanged = sameSize && (entry.sha1.empty() || entry.sha1 == sha1) && needed <= capacity;
  entry.sha1 = sha1;
  if (unchanged) return true;
  entry.byteCount = uint32_t(size);
  for (uint32_t copy : places) MarkChanged(copy, std::max(needed, capacity));
  if (sameSize && size % kBlock != 0 && !places.empty()) {
    Tail tail{uint32_t(places.front() + (size - 1) / kBlock), uint32_t(size % kBlock), {}};
    for (uint32_t copy : places) tail.lastBlocks.push_back(uint32_t(copy + (size - 1) / kBlock));
    tails_.push_back(std::move(tail));
  }
  return true;
}

std::string LayoutBuilder::StoredNameFor(const std::string& hostName, std::vector<std::string>& names) const {
  const std::string stored = options_.names == TextEncoding::kUtf8 ? hostName : Utf8ToCp1251(hostName);
  uint8_t field[opera::entry::kNameWidth] = {};
  MakeEntryName(stored, field);
  const std::string own(reinterpret_cast<const char*>(field), strnlen(reinterpret_cast<const char*>(field), sizeof field));
  std::string name = own;
  for (unsigned number = 1; std::find(names.begin(), names.end(), name) != names.end(); ++number) {
    name = NumberedName(own, number);
  }
  names.push_back(name);
  return name;
}

std::optional<LayoutEntry> LayoutBuilder::AddFile(const std::string& relative, const std::string& hostName) {
  const std::optional<std::string> path = HostPathOf(relative, EntryType::kFile);
  if (!path) return std::nullopt;
  const Result<PathInfo> info = host_.InfoOf(*path);
  if (!info || info->size > UINT32_MAX) {
    report_.warnings.push_back(*path + ": cannot be added");
    return std::nullopt;
  }
  LayoutEntry entry;
  entry.hostPath = relative;
  entry.flags = opera::kKindFile;
  entry.blockSize = kBlock;
  entry.burst = 1;
  WriteBig32(entry.type.data(), MakeEntryType(Utf8ToCp1251(hostName)));
  entry.byteCount = uint32_t(info->size);
  entry.blockCount = uint32_t(BlocksFor(info->size));
  const std::optional<uint32_t> first = Allocate(entry.blockCount);
  if (!first && entry.blockCount > 0) return std::nullopt;
  entry.copies = {first.value_or(end_)};
  std::string sha1;
  if (!WriteFile(*path, info->size, entry.copies, sha1)) return std::nullopt;
  entry.sha1 = sha1;
  Tell("added " + relative + " at block " + std::to_string(entry.copies.front()));
  return entry;
}

std::vector<LayoutEntry> LayoutBuilder::AddedChildren(const std::string& relative,
                                                      const std::vector<std::string>& known,
                                                      std::vector<std::string>& names) {
  std::vector<LayoutEntry> added;
  const std::optional<std::string> path = HostPathOf(relative, EntryType::kFolder);
  if (!path) return added;
  Result<std::vector<FolderChild>> children = host_.ListFolder(*path);
  if (!children) return added;
  std::sort(children->begin(), children->end(),
            [](const FolderChild& a, const FolderChild& b) { return a.name < b.name; });
  for (const FolderChild& child : *children) {
    if (Stopped()) break;
    if (std::find(known.begin(), known.end(), child.name) != known.end()) continue;
    if (IsTemporaryFileName(child.name) || child.link || !child.info) continue;
    const std::string childPath = JoinRelative(relative, child.name);
    std::optional<LayoutEntry> entry;
    if (child.info->kind == PathKind::kFile) entry = AddFile(childPath, child.name);
    if (child.info->kind == PathKind::kFolder) entry = AddFolder(childPath);
    if (!entry) continue;
    entry->uniqueId = ids_.NewUniqueId();
    entry->name = StoredNameFor(child.name, names);
    added.push_back(std::move(*entry));
  }
  return added;
}

std::optional<LayoutEntry> LayoutBuilder::AddFolder(const std::string& relative) {
  LayoutDirectory directory;
  directory.hostPath = relative;
  directory.blockSize = kBlock;
  std::vector<std::string> names;
  directory.entries = AddedChildren(relative, {}, names);
  if (Stopped()) return std::nullopt;
  directory.blocks = RelayEntries(directory, 0);
  directory.blockCount = uint32_t(directory.blocks.size());
  const std::optional<uint32_t> first = Allocate(directory.blockCount);
  if (!first) return std::nullopt;
  directory.copies = {*first};
  const std::vector<uint8_t> bytes = DirectoryBytes(directory, directory.blockCount);
  WriteBlocks(*first, bytes.data(), directory.blockCount);
  Tell("added " + relative + "/ at block " + std::to_string(*first));
  LayoutEntry entry;
  entry.hostPath = relative;
  entry.flags = opera::kKindDirectory;
  entry.blockSize = kBlock;
  entry.burst = 1;
  std::memcpy(entry.type.data(), opera::kTypeDirectory.data(), 4);
  entry.byteCount = directory.blockCount * kBlock;
  entry.blockCount = directory.blockCount;
  entry.copies = {*first};
  added_.push_back(std::move(directory));
  return entry;
}

void LayoutBuilder::PlaceDirectory(LayoutDirectory& directory, bool changed, uint32_t lastEntryEnds,
                                   const std::string& shown) {
  const uint32_t copies = uint32_t(directory.copies.size());
  if (changed) {
    directory.blocks = RelayEntries(directory, lastEntryEnds);
    const uint32_t needed = uint32_t(directory.blocks.size());
    if (needed > directory.blockCount) {
      // A directory that outgrew its blocks goes, every copy of it, to the end.
      for (uint32_t copy : directory.copies) Free(copy, directory.blockCount);
      for (uint32_t i = 0; i < copies; ++i) {
        const uint32_t first = end_;
        if (uint64_t(end_) + needed > kMaxLayoutBlocks) return Fail("the image would grow past its limit");
        end_ += needed;
        MarkChanged(first, needed);
        directory.copies[i] = first;
      }
      Tell("moved " + shown + ": grown to " + std::to_string(needed) + " blocks, now at block " +
           (directory.copies.empty() ? std::string("-") : std::to_string(directory.copies.front())));
      directory.blockCount = needed;
    } else {
      for (uint32_t copy : directory.copies) MarkChanged(copy, directory.blockCount);
    }
  }
  const std::vector<uint8_t> bytes = DirectoryBytes(directory, directory.blockCount);
  for (uint32_t copy : directory.copies) WriteBlocks(copy, bytes.data(), directory.blockCount);
}

void LayoutBuilder::RemoveFolder(const LayoutDirectory& directory, const std::string& shown) {
  // Its files go with it; its folders are removed on their own, before it.
  for (const LayoutEntry& entry : directory.entries) {
    if (entry.IsDirectory()) continue;
    for (uint32_t copy : CopiesOf(entry)) Free(copy, BlocksOf(entry));
  }
  for (uint32_t copy : directory.copies) Free(copy, directory.blockCount);
  Tell("removed " + shown + ": its blocks are left empty");
}

void LayoutBuilder::BuildDirectory(size_t index) {
  // The directory is copied out and back: added folders grow the list behind it.
  LayoutDirectory directory = layout_.directories[index];
  const std::string shown = directory.hostPath.empty() ? "the root" : directory.hostPath + "/";
  if (directory.blockCount > kMaxLayoutBlocks) {
    return Fail("layout: " + shown + " claims " + std::to_string(directory.blockCount) + " blocks");
  }
  if (!HostPathOf(directory.hostPath, EntryType::kFolder)) {
    fates_[index].removed = true;
    return RemoveFolder(directory, shown);
  }
  const uint32_t lastEntryEnds = directory.entries.empty() ? 0 : directory.entries.back().flags & kEndFlags;
  bool changed = false;
  std::vector<LayoutEntry> kept;
  std::vector<std::string> known;
  std::vector<std::string> names;
  for (LayoutEntry& entry : directory.entries) {
    if (Stopped()) return;
    bool keep = true;
    if (entry.hostPath.empty()) {
      // Not written by decompile (the label's entry): kept as it is.
    } else if (entry.IsDirectory()) {
      const auto child = directoryAt_.find(entry.hostPath);
      if (child != directoryAt_.end()) {
        const LayoutDirectory& built = layout_.directories[child->second];
        if (fates_[child->second].removed) {
          keep = false;
        } else if (fates_[child->second].relocated) {
          for (size_t i = 0; i < entry.copies.size() && i < built.copies.size(); ++i) entry.copies[i] = built.copies[i];
          if (entry.byteCount == entry.blockCount * kBlock) entry.byteCount = built.blockCount * kBlock;
          entry.blockCount = built.blockCount;
          changed = true;
        }
      }
    } else {
      const uint32_t byteCount = entry.byteCount;
      const uint32_t blockCount = entry.blockCount;
      const std::vector<uint32_t> copies = entry.copies;
      keep = BuildFile(entry);
      changed = changed || entry.byteCount != byteCount || entry.blockCount != blockCount || entry.copies != copies;
    }
    if (keep) {
      if (!entry.hostPath.empty()) known.push_back(LastNameOf(entry.hostPath));
      names.push_back(entry.name);
      kept.push_back(entry);
    } else {
      changed = true;
    }
  }
  std::vector<LayoutEntry> added = AddedChildren(directory.hostPath, known, names);
  if (!added.empty()) {
    changed = true;
    // Added entries go before the label's entry that ends the root.
    const bool labelLast = !kept.empty() && (kept.back().flags & 0xFF) == opera::kKindLabel;
    kept.insert(labelLast ? kept.end() - 1 : kept.end(), added.begin(), added.end());
  }
  directory.entries = std::move(kept);
  const std::vector<uint32_t> copiesBefore = directory.copies;
  const uint32_t blocksBefore = directory.blockCount;
  PlaceDirectory(directory, changed, lastEntryEnds, shown);
  fates_[index].relocated = directory.copies != copiesBefore || directory.blockCount != blocksBefore;
  if (index == 0) rootRelocated_ = fates_[index].relocated;
  layout_.directories[index] = std::move(directory);
}

void LayoutBuilder::WriteLabel() {
  namespace L = opera::label;
  const LayoutLabel& label = layout_.label;
  std::vector<uint8_t> block(kBlock);
  opera::FillPattern(block.data(), block.size());
  std::memset(block.data(), 0, opera::kLabelSize);
  block[L::kRecordType] = label.recordType;
  std::memset(&block[L::kSync], 0x5A, 5);
  block[L::kVersion] = label.version;
  block[L::kFlags] = label.flags;
  std::memcpy(&block[L::kComment], label.comment.data(), std::min(label.comment.size(), L::kTextWidth));
  std::memcpy(&block[L::kLabelText], label.text.data(), std::min(label.text.size(), L::kTextWidth));
  WriteBig32(&block[L::kVolumeId], label.volumeId);
  WriteBig32(&block[L::kBlockSize], label.blockSize);
  WriteBig32(&block[L::kBlockCount], label.blockCount);
  WriteBig32(&block[L::kRootId], label.rootId);
  WriteBig32(&block[L::kRootBlockCount], label.rootBlockCount);
  WriteBig32(&block[L::kRootBlockSize], label.rootBlockSize);
  WriteBig32(&block[L::kLastRootCopy], label.lastRootCopy);
  for (size_t i = 0; i < label.rootCopies.size(); ++i) WriteBig32(&block[L::kRootCopies + 4 * i], label.rootCopies[i]);
  WriteBlocks(0, block.data(), 1);
}

bool LayoutBuilder::ReadKept(const HostFile* blocks, uint64_t size, const LayoutPatch& patch, uint64_t first,
                            uint64_t run, uint8_t* bytes) {
  if (patch.fill == LayoutFill::kLabel) {
    // Block 0 is final by now: patches come in block order and none of them copies the label over itself.
    Result<size_t> read = image_.ReadAt(0, bytes, kBlock);
    if (!read || *read != kBlock) {
      Fail(image_.Path() + ": cannot be read again");
      return false;
    }
    for (uint64_t i = 1; i < run; ++i) std::memcpy(bytes + i * kBlock, bytes, kBlock);
    return true;
  }
  if (patch.fill != LayoutFill::kBytes) {
    WriteFill(patch.fill, bytes, size_t(run * kBlock));
    return true;
  }
  const uint64_t from = patch.offset + (first - patch.firstBlock) * kBlock;
  if (from > size || size - from < run * kBlock) {
    Fail(blocks->Path() + ": shorter than the layout says (" + std::to_string(size) + " bytes)");
    return false;
  }
  Result<size_t> read = blocks->ReadAt(from, bytes, size_t(run * kBlock));
  if (!read || *read != run * kBlock) {
    Fail(blocks->Path() + ": cannot be read whole");
    return false;
  }
  return true;
}

void LayoutBuilder::ApplyTail(const HostFile* blocks, uint64_t size, const Tail& tail) {
  // The first copy's last block as kept, if it is kept at all: else its tail is zeros, as written.
  const auto kept = std::find_if(layout_.patches.begin(), layout_.patches.end(), [&](const LayoutPatch& patch) {
    return patch.firstBlock <= tail.firstCopyLast && tail.firstCopyLast - patch.firstBlock < patch.blockCount;
  });
  if (kept == layout_.patches.end()) return;
  std::vector<uint8_t> behind(kBlock);
  std::vector<uint8_t> built(kBlock);
  if (!ReadKept(blocks, size, *kept, tail.firstCopyLast, 1, behind.data())) return;
  for (uint32_t block : tail.lastBlocks) {
    if (block >= end_) continue;
    Result<size_t> again = image_.ReadAt(uint64_t(block) * kBlock, built.data(), kBlock);
    if (!again || *again != kBlock) return Fail(image_.Path() + ": cannot be read again");
    std::copy(behind.begin() + tail.end, behind.end(), built.begin() + tail.end);
    WriteBlocks(block, built.data(), 1);
  }
}

void LayoutBuilder::ApplyPatches(const std::string& blocksPath) {
  if (layout_.patches.empty()) return;
  // Fills cost the blocks file nothing: a layout of fills alone has none.
  const bool bytesKept = std::any_of(layout_.patches.begin(), layout_.patches.end(),
                                     [](const LayoutPatch& patch) { return patch.fill == LayoutFill::kBytes; });
  HostFile blocks;
  uint64_t size = 0;
  if (bytesKept) {
    Result<HostFile> opened = host_.OpenFile(blocksPath);
    if (!opened) return Fail(blocksPath + ": cannot be read (" + ErrorText(opened.Failure().code) + ")");
    blocks = std::move(*opened);
    const Result<PathInfo> info = blocks.Info();
    size = info ? info->size : 0;
  }
  const HostFile* kept = bytesKept ? &blocks : nullptr;
  std::vector<uint8_t> chunk(kChunkBlocks * kBlock);
  const uint32_t limit = std::min(end_, layout_.imageBlocks);
  for (const LayoutPatch& patch : layout_.patches) {
    const uint64_t last = std::min<uint64_t>(uint64_t(patch.firstBlock) + patch.blockCount, limit);
    for (uint64_t b = patch.firstBlock; b < last && !Stopped();) {
      if (b < changed_.size() && changed_[size_t(b)]) {
        ++b;
        continue;
      }
      // A run of blocks that no change wrote, laid at once.
      uint64_t run = 1;
      while (b + run < last && run < kChunkBlocks && !(b + run < changed_.size() && changed_[size_t(b + run)])) ++run;
      if (!ReadKept(kept, size, patch, b, run, chunk.data())) return;
      WriteBlocks(uint32_t(b), chunk.data(), size_t(run));
      b += run;
    }
  }
  for (const Tail& tail : tails_) {
    if (Stopped()) return;
    ApplyTail(kept, size, tail);
  }
}

void LayoutBuilder::UpdateLabelFields(bool grew) {
  namespace L = opera::label;
  LayoutLabel& label = layout_.label;
  if (grew) label.blockCount = uint32_t(std::max<uint64_t>(label.blockCount, uint64_t(label.blockCount) + end_ - layout_.imageBlocks));
  if (rootRelocated_) {
    const LayoutDirectory& root = layout_.directories.front();
    for (size_t i = 0; i < root.copies.size() && i < label.rootCopies.size(); ++i) label.rootCopies[i] = root.copies[i];
    label.rootBlockCount = root.blockCount;
  }
  const LabelChoice& chosen = options_.label;
  const bool relabelled = chosen.text || chosen.comment || chosen.volumeId || chosen.rootId;
  if (!grew && !rootRelocated_ && !relabelled) return;
  // The fields alone: the rest of the block stays as the blocks file gave it.
  std::vector<uint8_t> block(kBlock);
  Result<size_t> read = image_.ReadAt(0, block.data(), block.size());
  if (!read || *read != block.size()) return Fail(image_.Path() + ": cannot be read again");
  WriteBig32(&block[L::kBlockCount], label.blockCount);
  WriteBig32(&block[L::kRootBlockCount], label.rootBlockCount);
  for (size_t i = 0; i < label.rootCopies.size(); ++i) WriteBig32(&block[L::kRootCopies + 4 * i], label.rootCopies[i]);
  const auto writeText = [&](size_t offset, const std::string& text) {
    std::memset(&block[offset], 0, L::kTextWidth);
    std::memcpy(&block[offset], text.data(), std::min(text.size(), L::kTextWidth));
  };
  if (chosen.text) writeText(L::kLabelText, *chosen.text);
  if (chosen.comment) writeText(L::kComment, *chosen.comment);
  if (chosen.volumeId) WriteBig32(&block[L::kVolumeId], *chosen.volumeId);
  if (chosen.rootId) WriteBig32(&block[L::kRootId], *chosen.rootId);
  if (relabelled) MarkChanged(0, 1);
  WriteBlocks(0, block.data(), 1);
}

LayoutBuildReport LayoutBuilder::Build(const std::string& blocksPath) {
  if (layout_.imageBlocks == 0 || layout_.imageBlocks > kMaxLayoutBlocks) {
    report_.failure = "layout: an image of " + std::to_string(layout_.imageBlocks) + " blocks cannot be built";
    return report_;
  }
  if (layout_.directories.empty()) {
    report_.failure = "layout: no root directory";
    return report_;
  }
  if (!HostPathOf("", EntryType::kFolder)) {
    report_.failure = folder_ + ": not a folder";
    return report_;
  }
  changed_.assign(end_, 0);
  fates_.assign(layout_.directories.size(), {});
  for (size_t i = 0; i < layout_.directories.size(); ++i) directoryAt_.emplace(layout_.directories[i].hostPath, i);
  WriteLabel();
  // Children before their parents, so that a parent's entries see where each child ended.
  for (size_t i = layout_.directories.size(); i-- > 0 && !Stopped();) BuildDirectory(i);
  for (LayoutDirectory& directory : added_) layout_.directories.push_back(std::move(directory));
  if (!Stopped()) ApplyPatches(blocksPath);
  const bool grew = end_ > layout_.imageBlocks;
  if (!Stopped()) UpdateLabelFields(grew);
  if (!Stopped()) {
    if (Status sized = image_.Truncate(uint64_t(end_) * kBlock); !sized) {
      Fail(image_.Path() + ": write failed (" + ErrorText(sized.Failure().code) + ")");
    }
  }
  if (options_.cancel.Requested()) {
    report_.cancelled = true;
    if (report_.failure.empty()) report_.failure = "stopped by the user";
  }
  report_.blockCount = end_;
  report_.blocksChanged = uint64_t(std::count(changed_.begin(), changed_.end(), uint8_t(1)));
  report_.written = report_.failure.empty();
  return report_;
}

}  // namespace

LayoutBuildReport BuildByLayout(DiscLayout& layout, const std::string& folder, const std::string& blocksPath,
                                const HostFile& image, const LayoutBuildOptions& options) {
  UniqueIdGenerator freshIds;
  LayoutBuilder builder(layout, folder, image, options, options.ids ? *options.ids : freshIds);
  return builder.Build(blocksPath);
}

}  // namespace zanthrel
