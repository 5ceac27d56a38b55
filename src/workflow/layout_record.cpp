#include "workflow/layout_record.h"

#include <algorithm>
#include <cstring>

#include "compile/layout_build.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr uint32_t kBlock = 2048;
constexpr uint32_t kChunkBlocks = 256;

// Reads `count` blocks from `first` on; a block that cannot be read is
// zeros, and its number goes into `unreadable`.
void ReadSourceBlocks(ImageSource& source, uint32_t first, uint32_t count, uint8_t* bytes,
                      std::vector<uint32_t>& unreadable) {
  if (Seek(source, first, kBlock, 0) && ReadRecords(source, bytes, kBlock, count)) return;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* block = bytes + size_t(i) * kBlock;
    if (!Seek(source, first + i, kBlock, 0) || !ReadRecords(source, block, kBlock, 1)) {
      std::memset(block, 0, kBlock);
      unreadable.push_back(first + i);
    }
  }
}

// "5-9, 12" for a warning.
std::string BlockListText(const std::vector<uint32_t>& blocks) {
  constexpr size_t kNamed = 8;
  std::string text;
  size_t runs = 0;
  for (size_t i = 0; i < blocks.size();) {
    size_t j = i + 1;
    while (j < blocks.size() && blocks[j] == blocks[j - 1] + 1) ++j;
    if (runs < kNamed) {
      text += (runs > 0 ? ", " : "") + std::to_string(blocks[i]);
      if (j - i > 1) text += "-" + std::to_string(blocks[j - 1]);
    }
    ++runs;
    i = j;
  }
  if (runs > kNamed) text += " and " + std::to_string(runs - kNamed) + " more ranges";
  return text;
}

}  // namespace

Result<LayoutRecord> RecordLayout(ImageSource& source, const std::string& folder, const std::string& blocksPath,
                                  const LayoutScanOptions& scan, Host& host, CancelToken cancel) {
  const Error stopped{blocksPath + ": not written, stopped by the user", ECANCELED};
  Result<DiscLayout> scanned = ScanLayout(source, scan);
  if (!scanned) return scanned.Failure();
  LayoutRecord record;
  record.layout = std::move(*scanned);
  DiscLayout& layout = record.layout;
  if (layout.imageBlocks > kMaxLayoutBlocks) {
    return Error{source.Name() + ": an image of " + std::to_string(layout.imageBlocks) +
                     " blocks is too large for a layout",
                 EFBIG};
  }
  Result<TemporaryFile> built = TemporaryFile::CreateBeside(host, blocksPath + ".image");
  if (!built) return Error{blocksPath + ": cannot be written (" + ErrorText(built.Failure().code) + ")", built.Failure().code};
  // Built without kept blocks: the ids of added entries are never drawn, the folder being the disc's own.
  LayoutBuildOptions options;
  options.host = &host;
  options.cancel = cancel;
  const LayoutBuildReport report = BuildByLayout(layout, folder, "", built->File(), options);
  if (report.cancelled) return stopped;
  if (!report.written) return Error{report.failure, EIO};
  record.warnings = report.warnings;

  // As the log is: a link in its place is never written through.
  Result<HostFile> blocks = host.CreateFileIn(host.OpenFolder(ParentFolderOf(blocksPath)), FileNameOf(blocksPath));
  if (!blocks) return Error{blocksPath + ": cannot be written (" + ErrorText(blocks.Failure().code) + ")", blocks.Failure().code};
  layout.blocksFile = FileNameOf(blocksPath);
  layout.patches.clear();
  std::vector<uint8_t> original(size_t(kChunkBlocks) * kBlock);
  std::vector<uint8_t> rebuilt(original.size());
  std::vector<uint32_t> unreadable;
  uint64_t written = 0;
  for (uint32_t first = 0; first < layout.imageBlocks; first += kChunkBlocks) {
    if (cancel.Requested()) {
      // Half a blocks file is of no use without its layout.
      blocks->Close();
      (void)host.RemoveFile(blocksPath);
      return stopped;
    }
    const uint32_t count = std::min(kChunkBlocks, layout.imageBlocks - first);
    const size_t bytes = size_t(count) * kBlock;
    ReadSourceBlocks(source, first, count, original.data(), unreadable);
    Result<size_t> read = built->File().ReadAt(uint64_t(first) * kBlock, rebuilt.data(), bytes);
    if (!read) return Error{blocksPath + ": the image built cannot be read again", read.Failure().code};
    std::fill(rebuilt.begin() + long(*read), rebuilt.begin() + long(bytes), 0);
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = size_t(i) * kBlock;
      if (std::memcmp(&original[at], &rebuilt[at], kBlock) == 0) continue;
      const uint32_t block = first + i;
      if (layout.patches.empty() || layout.patches.back().firstBlock + layout.patches.back().blockCount != block) {
        layout.patches.push_back({block, 0, written});
      }
      ++layout.patches.back().blockCount;
      if (Status put = blocks->WriteAt(written, &original[at], kBlock); !put) {
        return Error{blocksPath + ": write failed (" + ErrorText(put.Failure().code) + ")", put.Failure().code};
      }
      written += kBlock;
    }
  }
  record.keptBlocks = written / kBlock;
  if (layout.patches.empty()) {
    // Nothing to keep: no blocks file, as the layout then says.
    blocks->Close();
    (void)host.RemoveFile(blocksPath);
    layout.blocksFile.clear();
  }
  if (!unreadable.empty()) {
    const bool one = unreadable.size() == 1;
    record.warnings.push_back(source.Name() + ": " + std::to_string(unreadable.size()) +
                              (one ? " block cannot be read and is kept as zeros in the layout (block "
                                   : " blocks cannot be read and are kept as zeros in the layout (blocks ") +
                              BlockListText(unreadable) + ")");
  }
  return record;
}

}  // namespace zanthrel
