#include "decompile/block_map.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "decompile/log_texts.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr uint32_t kMapBlockSize = 2048;

}  // namespace

void RecordDirectoryCopies(BlockMap& map, ImageSource& source, CopyList copies,
                           const std::string& name) {
  if (copies.count == 0) return;
  // Count consecutive 2048-byte blocks of the first copy up to the one whose
  // next-block field is -1. A block that cannot be read ends the count without
  // being counted, so the count always ends at the end of the image.
  uint32_t count = 0;
  uint8_t block[kMapBlockSize];
  if (Seek(source, copies[0], kMapBlockSize, 0)) {
    while (ReadRecords(source, block, kMapBlockSize, 1)) {
      ++count;
      if (opera::ReadBig32(block) == opera::kNone || count == UINT32_MAX) break;
    }
  }
  for (uint32_t i = 0; i < copies.count; ++i) map.ranges.push_back({copies[i], count, opera::kNone, name});
}

void RecordFileCopies(BlockMap& map, CopyList copies, uint32_t blockCount, uint32_t byteCount,
                      const std::string& name, uint32_t claimedBlocks) {
  for (uint32_t i = 0; i < copies.count; ++i) {
    map.ranges.push_back({copies[i], blockCount, byteCount, name, claimedBlocks});
  }
}

Overlaps OverlapsOf(const BlockMap& map) {
  constexpr size_t kExamples = 3;
  const std::deque<BlockRange>& ranges = map.ranges;
  std::vector<size_t> files;
  for (size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].claimedBlocks > 0) files.push_back(i);
  }
  std::sort(files.begin(), files.end(),
            [&](size_t a, size_t b) { return ranges[a].firstBlock < ranges[b].firstBlock; });
  // One sweep: each range against the one that reaches furthest before it.
  // A file met twice (a folder walked again from its next copy) and the
  // copies of one file do not count.
  Overlaps overlaps;
  std::unordered_set<std::string_view> sharing;
  uint64_t reach = 0;
  const BlockRange* reacher = nullptr;
  for (size_t i : files) {
    const BlockRange& range = ranges[i];
    const uint64_t end = uint64_t(range.firstBlock) + range.claimedBlocks;
    if (reacher && range.firstBlock < reach && reacher->name != range.name) {
      sharing.insert(reacher->name);
      sharing.insert(range.name);
      if (overlaps.examples.size() < kExamples) {
        const uint64_t last = std::min(reach, end) - 1;
        overlaps.examples.push_back(reacher->name + " and " + range.name + " claim blocks " +
                                    UnsignedDecimal(range.firstBlock) + "-" + UnsignedDecimal64(last));
      }
    }
    if (end > reach) {
      reach = end;
      reacher = &range;
    }
  }
  overlaps.files = sharing.size();
  return overlaps;
}

std::vector<size_t> BlockMapOrder(const std::deque<BlockRange>& ranges) {
  const size_t n = ranges.size();
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  // Fixed: ties keep the order of the exchange sort that maps were first
  // written with, so maps of one image compare equal across versions.
  // Where every first block differs, any sort gives the exchange sort's order;
  // only ties need the exchange sort itself, whose order for them is its own.
  std::vector<size_t> sorted = order;
  std::sort(sorted.begin(), sorted.end(), [&ranges](size_t a, size_t b) {
    return ranges[a].firstBlock < ranges[b].firstBlock;
  });
  bool ties = false;
  for (size_t i = 1; i < n && !ties; ++i) {
    ties = ranges[sorted[i - 1]].firstBlock == ranges[sorted[i]].firstBlock;
  }
  if (!ties) return sorted;
  for (size_t i = 0; i + 1 < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      if (ranges[order[i]].firstBlock > ranges[order[j]].firstBlock) std::swap(order[i], order[j]);
    }
  }
  return order;
}

Status DumpHole(ImageSource& source, Host& host, const HostFolder& folder, const std::string& name,
                int32_t count, uint32_t firstBlock) {
  Result<HostFile> hole = host.CreateFileIn(folder, name);
  if (!hole) return hole.Failure();
  uint8_t block[kMapBlockSize];
  // A block that cannot be read ends the dump: the file holds what could be read.
  if (count > 0 && Seek(source, firstBlock, kMapBlockSize, 0)) {
    for (int32_t k = 0; k < count; ++k) {
      if (!ReadRecords(source, block, kMapBlockSize, 1)) break;
      Status written = hole->WriteAt(uint64_t(k) * kMapBlockSize, block, kMapBlockSize);
      if (!written) return written;
    }
  }
  return {};
}

std::vector<FailedWrite> WriteBlockMap(const BlockMap& map, ImageSource& source, Host& host,
                                       const HostFolder& folder, const std::string& baseName,
                                       uint32_t volumeBlockCount, TextEncoding encoding) {
  std::vector<FailedWrite> failed;
  const std::deque<BlockRange>& ranges = map.ranges;
  const std::string mapName = baseName + ".spy";
  const std::string mapPath = JoinPath(folder.path, mapName);
  Result<HostFile> created = host.CreateFileIn(folder, mapName);
  std::optional<Error> mapError;
  if (!created) mapError = created.Failure();
  uint64_t mapBytes = 0;
  std::string text;
  auto flush = [&] {
    // Fixed: the map is Windows-1251 like the log unless UTF-8 is asked for.
    const std::string bytes = Cp1251As(text, encoding);
    if (!mapError) {
      Status written = created->WriteAt(mapBytes, bytes.data(), bytes.size());
      if (!written) mapError = written.Failure();
    }
    mapBytes += bytes.size();
    text.clear();
  };
  uint32_t previousEnd = 0;
  for (size_t index : BlockMapOrder(ranges)) {
    const BlockRange& range = ranges[index];
    if (range.firstBlock != previousEnd) {
      if (range.firstBlock < volumeBlockCount) {
        const std::string holeName = baseName + " " + Hex8(previousEnd) + ".spy";
        Status dumped = DumpHole(source, host, folder, holeName,
                                 int32_t(range.firstBlock - previousEnd), previousEnd);
        if (!dumped) failed.push_back({JoinPath(folder.path, holeName), dumped.Failure()});
      }
      text += log_text::Hole();
    }
    text += Hex8(range.firstBlock) + " - " + Hex8(range.firstBlock + range.blockCount) + "\t" +
            Hex8(range.blockCount) + "\t" + Hex8(range.byteCount) + "\t" +
            Utf8ToCp1251(range.name) + "\n";
    previousEnd = range.firstBlock + range.blockCount;
    if (text.size() >= 64 * 1024) flush();
  }
  if (!text.empty()) flush();
  if (mapError) failed.push_back({mapPath, *mapError});
  return failed;
}

}  // namespace zanthrel
