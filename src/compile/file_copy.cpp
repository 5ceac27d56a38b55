#include "compile/file_copy.h"

#include <optional>
#include <vector>

#include "opera/records.h"

namespace zanthrel {

namespace {

constexpr size_t kCopyChunk = 256 * 1024;
constexpr uint64_t kLargestFile = 0xFFFFFFFFull;

// Opens a file for copying; reports and gives nothing when it cannot be stored.
std::optional<HostFile> OpenForCopy(CompileRun& run, const std::string& hostPath) {
  Result<HostFile> file = run.host.OpenFile(hostPath);
  if (!file) {
    Report(run, hostPath, "cannot be opened (" + ErrorText(file.Failure().code) + ")");
    return std::nullopt;
  }
  Result<PathInfo> info = file->Info();
  if (!info || info->kind != PathKind::kFile) {
    Report(run, hostPath, "cannot be read (not a regular file)");
    return std::nullopt;
  }
  if (info->size > kLargestFile) {
    Report(run, hostPath, "4 GiB or more cannot be stored in one Opera entry; left empty");
    return std::nullopt;
  }
  return std::move(*file);
}

}  // namespace

int32_t CopyFileBlocks(CompileRun& run, const std::string& hostPath, uint8_t byteCountField[4]) {
  // Once the user asked to stop, every file is left empty: the image is dropped anyway.
  std::optional<HostFile> file = run.cancel.Requested() ? std::nullopt : OpenForCopy(run, hostPath);
  if (!file) return run.image.Cursor();
  std::vector<uint8_t> chunk(kCopyChunk);
  uint64_t byteCount = 0;
  while (!run.cancel.Requested()) {
    Result<size_t> read = file->ReadAt(byteCount, chunk.data(), chunk.size());
    if (!read) {
      Report(run, hostPath, "read failed (" + ErrorText(read.Failure().code) + "); cut there");
      break;
    }
    size_t n = *read;
    if (n == 0) break;
    if (byteCount + n > kLargestFile) {
      Report(run, hostPath, "grew past 4 GiB while read; cut there");
      n = size_t(kLargestFile - byteCount) / kImageBlockSize * kImageBlockSize;
    }
    run.image.Append(chunk.data(), PadToBlocks(chunk, n));
    byteCount += n;
    run.bytesCopied += n;
    if (run.progress) (*run.progress)(run.bytesCopied, run.totalBytes);
    if (n < chunk.size()) break;
  }
  opera::WriteBig32(byteCountField, uint32_t(byteCount));
  return run.image.Cursor();
}

}  // namespace zanthrel
