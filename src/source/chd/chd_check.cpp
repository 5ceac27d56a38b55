#include "source/chd/chd_check.h"

#include <algorithm>
#include <array>
#include <optional>

#include "source/chd/chd_hunk_cache.h"
#include "support/sha1.h"

namespace zanthrel {

namespace {

using Digest = std::array<uint8_t, 20>;

void AddHunk(std::vector<HunkRun>& runs, uint64_t hunk) {
  if (!runs.empty() && runs.back().first + runs.back().count == hunk) {
    ++runs.back().count;
  } else {
    runs.push_back({hunk, 1});
  }
}

// The metadata that the overall SHA-1 covers: for each entry flagged for
// it, the tag's four bytes and the SHA-1 of its data, sorted as bytes so
// that the order of the chain does not count. None when the chain breaks.
std::optional<std::vector<uint8_t>> MetadataHashes(const ChdFile& chd) {
  Result<std::vector<ChdMetadataEntry>> entries = ReadChdMetadata(chd.File(), chd.Header().metaOffset);
  if (!entries) return std::nullopt;
  std::vector<std::array<uint8_t, 24>> hashes;
  std::vector<uint8_t> data;
  for (const ChdMetadataEntry& entry : *entries) {
    if (!(entry.flags & kChdMetadataChecksum)) continue;
    data.resize(entry.dataLength);
    Result<size_t> read = chd.File().ReadAt(entry.dataOffset, data.data(), data.size());
    if (!read || *read != data.size()) return std::nullopt;
    Sha1 sha1;
    sha1.Update(data.data(), data.size());
    const Digest digest = sha1.Finish();
    std::array<uint8_t, 24>& hash = hashes.emplace_back();
    for (int i = 0; i < 4; ++i) hash[i] = uint8_t(entry.tag >> (24 - 8 * i));
    std::copy(digest.begin(), digest.end(), hash.begin() + 4);
  }
  std::sort(hashes.begin(), hashes.end());
  std::vector<uint8_t> bytes;
  for (const auto& hash : hashes) bytes.insert(bytes.end(), hash.begin(), hash.end());
  return bytes;
}

}  // namespace

ChdCheck CheckChd(const ChdFile& chd) {
  const ChdHeader& header = chd.Header();
  ChdCheck check;
  check.hunks = header.HunkCount();
  check.crcsKept = header.Compressed();
  constexpr Digest kNone{};
  check.sha1Kept = header.rawSha1 != kNone || header.sha1 != kNone;
  ChdHunkCache hunks(chd, ChdHunkCache::WorkersForThisMachine());
  Sha1 raw;
  uint64_t left = header.logicalBytes;
  for (uint64_t number = 0; number < check.hunks; ++number) {
    const ChdHunkCache::Hunk hunk = hunks.Read(number);
    if (hunk.condition == HunkCondition::kWrongCrc) AddHunk(check.wrongCrc, number);
    if (hunk.condition == HunkCondition::kUnreadable) AddHunk(check.unreadable, number);
    const size_t take = size_t(std::min<uint64_t>(left, header.hunkBytes));
    raw.Update(hunk.bytes, take);
    left -= take;
  }
  const Digest rawSha1 = raw.Finish();
  if (!check.sha1Kept || !check.unreadable.empty()) return check;
  check.sha1Checked = true;
  check.rawSha1Differs = rawSha1 != header.rawSha1;
  const std::optional<std::vector<uint8_t>> metadata = MetadataHashes(chd);
  if (!metadata) {
    check.metadataBroken = true;
    return check;
  }
  Sha1 overall;
  overall.Update(rawSha1.data(), rawSha1.size());
  overall.Update(metadata->data(), metadata->size());
  check.sha1Differs = overall.Finish() != header.sha1;
  return check;
}

}  // namespace zanthrel
