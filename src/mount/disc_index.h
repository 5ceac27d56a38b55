// A read-only index over an open image: looks up paths, lists folders and
// reads files, with folder listings read when first wanted and kept in a
// cache of bounded size. Not thread-safe, as the image source is not: a
// caller on several threads holds one lock around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mount/disc_listing.h"
#include "source/image_source.h"
#include "support/result.h"

namespace zanthrel {

enum class MountFailure {
  kNotFound,   // no such name
  kNotFolder,  // a file stands where a folder is wanted, or the reverse
  kIoError,    // a folder no copy of which lists, or a block no copy delivers
};

struct IndexOptions {
  bool allCopies = false;
  // Bytes of listings kept. A folder that alone costs more still lists, and
  // is kept alone while it is the one in use (the most recently used).
  size_t cacheBytes = 8 << 20;
  // What the disc's names are read as, as decompile reads them.
  TextEncoding names = TextEncoding::kCp1251;
};

class DiscIndex {
 public:
  // Reads the volume label; fails when it cannot be read.
  static Result<std::unique_ptr<DiscIndex>> Open(ImageSource& source, IndexOptions options);

  // `path` is "/" or "/" followed by names joined by "/".
  Result<DiscNode, MountFailure> Lookup(std::string_view path);
  Result<std::shared_ptr<const DiscListing>, MountFailure> List(std::string_view path);
  // Reads up to `count` bytes of the file from `offset`, each block from the
  // first copy that delivers it; gives the bytes read, short only at the end.
  Result<size_t, MountFailure> Read(const DiscNode& file, uint64_t offset, uint8_t* out,
                                    size_t count);

  // Where up to `count` bytes of the file from `offset` (fewer at its end)
  // lie in a plain image file, in its first copy, so that they can be handed
  // on unread; none when the image is no plain file or does not hold them whole.
  std::optional<FileSpan> SpanOf(const DiscNode& file, uint64_t offset, size_t count);

  size_t CachedBytes() const { return cachedBytes_; }
  const DiscNode& Root() const { return root_; }

 private:
  DiscIndex(ImageSource& source, IndexOptions options, DiscNode root, VolumeExtent volume)
      : source_(source), options_(options), root_(std::move(root)), volume_(volume) {}

  // The listing of the folder `node` at `path`, from the cache or the image.
  std::shared_ptr<const DiscListing> ListingOf(const std::string& path, const DiscNode& node,
                                               const std::vector<uint32_t>& pathBlocks);
  // Where a descent has got to: the cache key of the folder reached and the
  // copies listed on the way.
  struct Trail {
    std::string key;
    std::vector<uint32_t> pathBlocks;
  };
  // The node at `path`, listing each folder above it.
  Result<DiscNode, MountFailure> Descend(std::string_view path, Trail& trail);
  bool ReadBlock(const DiscNode& file, uint32_t block, uint8_t* out);

  using Lru = std::list<std::pair<std::string, std::shared_ptr<const DiscListing>>>;
  ImageSource& source_;
  IndexOptions options_;
  DiscNode root_;
  VolumeExtent volume_;
  Lru lru_;  // most recently used first
  std::unordered_map<std::string, Lru::iterator> cached_;
  size_t cachedBytes_ = 0;
  std::vector<uint8_t> block_;
};

}  // namespace zanthrel
