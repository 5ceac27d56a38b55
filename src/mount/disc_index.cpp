#include "mount/disc_index.h"

#include <algorithm>
#include <optional>
#include <cstring>

#include "opera/records.h"
#include "volume/label.h"
#include "volume/walk.h"

namespace zanthrel {

Result<std::unique_ptr<DiscIndex>> DiscIndex::Open(ImageSource& source, IndexOptions options) {
  const std::optional<Label> label = ReadLabel(source);
  if (!label) return Error{source.Name() + ": the volume label cannot be read"};
  DiscNode root;
  root.folder = true;
  root.blockSize = label->View().RootBlockSize();
  root.blockCount = label->View().RootBlockCount();
  root.copies = label->RootCopies().Blocks();
  return std::unique_ptr<DiscIndex>(
      new DiscIndex(source, options, std::move(root), VolumeExtentOf(label->View())));
}

std::shared_ptr<const DiscListing> DiscIndex::ListingOf(const std::string& path,
                                                        const DiscNode& node,
                                                        const std::vector<uint32_t>& pathBlocks) {
  if (auto hit = cached_.find(path); hit != cached_.end()) {
    lru_.splice(lru_.begin(), lru_, hit->second);
    return hit->second->second;
  }
  std::shared_ptr<const DiscListing> listing =
      ListFolder(source_, node, pathBlocks, {options_.allCopies, volume_, options_.names});
  // A folder that fails is not kept, so that a later try reads it again.
  if (!listing) return nullptr;
  // The listing just read is always kept, even one larger than the bound, so
  // that the lookups of the paths inside a huge folder, which come one after
  // another, find it instead of reading the whole folder again each time;
  // the older ones make room. Memory stays within the bound or the one
  // folder in use, whichever is larger.
  while (!lru_.empty() && cachedBytes_ + listing->cost > options_.cacheBytes) {
    cachedBytes_ -= lru_.back().second->cost;
    cached_.erase(lru_.back().first);
    lru_.pop_back();
  }
  lru_.emplace_front(path, listing);
  cached_[path] = lru_.begin();
  cachedBytes_ += listing->cost;
  return listing;
}

Result<DiscNode, MountFailure> DiscIndex::Descend(std::string_view path, Trail& trail) {
  DiscNode node = root_;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    if (!node.folder) return MountFailure::kNotFolder;
    const std::shared_ptr<const DiscListing> listing = ListingOf(trail.key, node, trail.pathBlocks);
    if (!listing) return MountFailure::kIoError;
    const auto child = listing->children.find(std::string(name));
    if (child == listing->children.end()) return MountFailure::kNotFound;
    trail.pathBlocks.push_back(listing->firstBlock);
    trail.key.append("/").append(name);
    node = child->second;
  }
  return node;
}

Result<DiscNode, MountFailure> DiscIndex::Lookup(std::string_view path) {
  Trail trail;
  return Descend(path, trail);
}

Result<std::shared_ptr<const DiscListing>, MountFailure> DiscIndex::List(std::string_view path) {
  Trail trail;
  Result<DiscNode, MountFailure> node = Descend(path, trail);
  if (!node) return node.Failure();
  if (!node->folder) return MountFailure::kNotFolder;
  std::shared_ptr<const DiscListing> listing = ListingOf(trail.key, *node, trail.pathBlocks);
  if (!listing) return MountFailure::kIoError;
  return listing;
}

std::optional<FileSpan> DiscIndex::SpanOf(const DiscNode& file, uint64_t offset, size_t count) {
  if (file.folder || file.copies.empty() || offset >= file.size) return std::nullopt;
  count = size_t(std::min<uint64_t>(count, file.size - offset));
  return PlainFileSpan(source_, file.copies[0], offset, count);
}

bool DiscIndex::ReadBlock(const DiscNode& file, uint32_t block, uint8_t* out) {
  for (uint32_t copy : file.copies) {
    if (Seek(source_, copy, file.blockSize, block) &&
        ReadRecords(source_, out, file.blockSize, 1)) {
      return true;
    }
  }
  return false;
}

Result<size_t, MountFailure> DiscIndex::Read(const DiscNode& file, uint64_t offset, uint8_t* out,
                                             size_t count) {
  if (file.folder) return MountFailure::kNotFolder;
  if (offset >= file.size || count == 0) return size_t(0);
  if (file.blockSize > kMaxBlockSize) return MountFailure::kIoError;
  count = size_t(std::min<uint64_t>(count, file.size - offset));
  block_.resize(file.blockSize);
  size_t done = 0;
  bool straight = !file.copies.empty();
  while (done < count) {
    const uint64_t at = offset + done;
    const uint32_t block = uint32_t(at / file.blockSize);
    const size_t within = size_t(at % file.blockSize);
    // Whole blocks go straight from the first copy into `out` in one read; once
    // that fails, the rest of the request goes block by block.
    const uint32_t whole = uint32_t((count - done) / file.blockSize);
    if (straight && within == 0 && whole > 0) {
      straight = Seek(source_, file.copies[0], file.blockSize, block) &&
                 ReadRecords(source_, out + done, file.blockSize, whole);
      if (straight) {
        done += size_t(whole) * file.blockSize;
        continue;
      }
    }
    if (!ReadBlock(file, block, block_.data())) return MountFailure::kIoError;
    const size_t take = std::min<size_t>(file.blockSize - within, count - done);
    std::memcpy(out + done, block_.data() + within, take);
    done += take;
  }
  return done;
}

}  // namespace zanthrel
