#include "write/chd_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>
#include <unordered_map>

#include "source/big_endian.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/chd_header.h"
#include "source/chd/chd_map.h"
#include "support/sha1.h"
#include "write/cd_hunk_encoder.h"
#include "write/chd_hunk_source.h"
#include "write/chd_map_encoder.h"
#include "write/hunk_pool.h"

namespace zanthrel {

namespace {

// chdman's hunk for a CD: eight frames.
constexpr uint32_t kFramesPerHunk = 8;
constexpr uint32_t kHunkBytes = kFramesPerHunk * kChdFrameBytes;
// Hunks in flight for each worker: enough to keep every core busy.
constexpr size_t kJobsPerWorker = 4;

// A hash of the hunk's bytes to find earlier hunks that may be equal.
uint64_t HashOf(const std::vector<uint8_t>& hunk) {
  uint64_t hash = 0;
  for (size_t at = 0; at + 8 <= hunk.size(); at += 8) {
    uint64_t word;
    std::memcpy(&word, hunk.data() + at, 8);
    hash = (hash ^ word) * 0x9E3779B97F4A7C15u;
    hash ^= hash >> 29;
  }
  return hash;
}

// The track entries, one after the other from `at`, each with its checksum
// flag set and its text with the NUL that ends it.
std::vector<uint8_t> EncodeMetadata(const std::vector<std::string>& entries, uint64_t at) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t length = entries[i].size() + 1;
    const uint64_t next = i + 1 < entries.size() ? at + bytes.size() + kChdMetadataHeaderSize + length : 0;
    uint8_t head[kChdMetadataHeaderSize];
    WriteBigEndian(head, ChdTag("CHT2"), 4);
    head[4] = kChdMetadataChecksummed;
    WriteBigEndian(head + 5, length, 3);
    WriteBigEndian(head + 8, next, 8);
    bytes.insert(bytes.end(), head, head + sizeof head);
    bytes.insert(bytes.end(), entries[i].begin(), entries[i].end());
    bytes.push_back(0);
  }
  return bytes;
}

// The digest of the whole file as chdman computes it: the data's digest,
// then for each entry in the digest its tag and its data's digest, in byte
// order of those 24 bytes.
ChdDigest OverallSha1(const ChdDigest& raw, const std::vector<std::string>& entries) {
  std::vector<std::array<uint8_t, 24>> hashes;
  for (const std::string& entry : entries) {
    std::array<uint8_t, 24> hash;
    WriteBigEndian(hash.data(), ChdTag("CHT2"), 4);
    Sha1 sha;
    sha.Update(entry.c_str(), entry.size() + 1);
    const ChdDigest digest = sha.Finish();
    std::copy(digest.begin(), digest.end(), hash.begin() + 4);
    hashes.push_back(hash);
  }
  std::sort(hashes.begin(), hashes.end());
  Sha1 sha;
  sha.Update(raw.data(), raw.size());
  for (const auto& hash : hashes) sha.Update(hash.data(), hash.size());
  return sha.Finish();
}

// Finds the first earlier hunk with the same bytes: the hash picks the
// candidates, their bytes read again decide.
class CopyFinder {
 public:
  explicit CopyFinder(ChdHunkSource& source) : source_(source), earlier_(kHunkBytes) {}

  Result<std::optional<uint64_t>> Find(const HunkJob& job) {
    const uint64_t hash = HashOf(job.hunk);
    const auto [from, to] = seen_.equal_range(hash);
    for (auto candidate = from; candidate != to; ++candidate) {
      if (candidate->second != readNumber_) {
        bool audio;
        const Status read = source_.Read(candidate->second, earlier_.data(), audio);
        if (!read) return read.Failure();
        readNumber_ = candidate->second;
      }
      if (earlier_ == job.hunk) return std::optional<uint64_t>(candidate->second);
    }
    seen_.emplace(hash, job.number);
    return std::optional<uint64_t>();
  }

 private:
  ChdHunkSource& source_;
  std::unordered_multimap<uint64_t, uint64_t> seen_;
  std::vector<uint8_t> earlier_;
  uint64_t readNumber_ = UINT64_MAX;  // the hunk `earlier_` holds
};

}  // namespace

Result<uint64_t> WriteChd(DiscImage& disc, const std::string& chdPath, Host& host, Progress progress) {
  ChdHunkSource source(disc, kFramesPerHunk);
  const uint64_t hunkCount = source.HunkCount(), logicalBytes = source.LogicalBytes();
  const uint64_t totalFrames = logicalBytes / kChdFrameBytes;
  if (Status allowed = CheckImageOutput(host, chdPath); !allowed) return allowed.Failure();
  Result<TemporaryFile> output = TemporaryFile::CreateBeside(host, chdPath);
  if (!output) return output.Failure();
  const HostFile& file = output->File();

  const std::vector<std::string> entries = source.TrackEntries();
  const std::vector<uint8_t> metadata = EncodeMetadata(entries, kChdHeaderSize);
  if (Status written = file.WriteAt(kChdHeaderSize, metadata.data(), metadata.size()); !written) {
    return written.Failure();
  }
  const uint64_t firstOffset = kChdHeaderSize + metadata.size();
  uint64_t offset = firstOffset;
  std::vector<ChdHunk> map(hunkCount);
  Sha1 rawSha1;
  CopyFinder copies(source);

  const size_t workers = std::max(1u, std::thread::hardware_concurrency());
  HunkPool pool(kFramesPerHunk, workers);
  const auto writeOldest = [&]() -> Status {
    const std::unique_ptr<HunkJob> job = pool.TakeOldest();
    ChdHunk& entry = map[job->number];
    if (job->copyOf) {
      entry.kind = ChdHunk::kSelf;
      entry.offset = *job->copyOf;
    } else {
      const EncodedHunk& encoded = job->encoded;
      if (Status written = file.WriteAt(offset, encoded.bytes.data(), encoded.bytes.size()); !written) {
        return written;
      }
      entry.kind = encoded.stored ? ChdHunk::kStored : ChdHunk::kCodec;
      entry.codec = encoded.codec;
      entry.offset = offset;
      entry.length = uint32_t(encoded.bytes.size());
      entry.crc = job->crc;
      offset += encoded.bytes.size();
    }
    if (progress) progress(std::min(totalFrames, (job->number + 1) * kFramesPerHunk), totalFrames);
    return {};
  };

  for (uint64_t number = 0; number < hunkCount; ++number) {
    auto job = std::make_unique<HunkJob>();
    job->number = number;
    job->hunk.resize(kHunkBytes);
    if (Status read = source.Read(number, job->hunk.data(), job->audio); !read) return read.Failure();
    rawSha1.Update(job->hunk.data(), size_t(std::min<uint64_t>(kHunkBytes, logicalBytes - number * kHunkBytes)));
    Result<std::optional<uint64_t>> copy = copies.Find(*job);
    if (!copy) return copy.Failure();
    job->copyOf = *copy;
    while (pool.InFlight() >= workers * kJobsPerWorker) {
      if (Status written = writeOldest(); !written) return written.Failure();
    }
    pool.Submit(std::move(job));
  }
  while (pool.InFlight() > 0) {
    if (Status written = writeOldest(); !written) return written.Failure();
  }

  const std::vector<uint8_t> mapBytes = EncodeCompressedMap(map, kHunkBytes, firstOffset);
  if (Status written = file.WriteAt(offset, mapBytes.data(), mapBytes.size()); !written) return written.Failure();
  const ChdDigest raw = rawSha1.Finish();
  ChdHeader header;
  std::copy(std::begin(kCdCodecTags), std::end(kCdCodecTags), header.compressors);
  header.logicalBytes = logicalBytes;
  header.mapOffset = offset;
  header.metaOffset = kChdHeaderSize;  // the metadata follows the header
  header.hunkBytes = kHunkBytes;
  header.unitBytes = kChdFrameBytes;
  const auto headerBytes = EncodeChdHeader(header, raw, OverallSha1(raw, entries));
  if (Status written = file.WriteAt(0, headerBytes.data(), headerBytes.size()); !written) return written.Failure();
  if (Status committed = output->Commit(); !committed) return committed.Failure();
  return offset + mapBytes.size();
}

}  // namespace zanthrel
