#include "compile/file_copy.h"

#include <algorithm>
#include <optional>

#include "opera/records.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kCopyChunk = 256 * 1024;
// A file this large is copied into the image inside the operating system, a
// piece at a time so that a stop is heard inside it too; smaller files cost
// more to open than to read.
constexpr uint64_t kCopyInsideBytes = 256 * 1024;
constexpr uint64_t kCopyInsidePiece = 16 << 20;
constexpr uint64_t kLargestFile = 0xFFFFFFFFull;

// Opens a file for copying; reports and gives nothing when it cannot be
// stored. `item.size` is what the listing found.
std::optional<HostFile> OpenForCopy(CompileRun& run, const HostFolder& folder, const FolderItem& item) {
  if (item.size > kLargestFile) {
    Report(run, JoinPath(folder.path, item.hostName),
           "4 GiB or more cannot be stored in one Opera entry; left empty");
    return std::nullopt;
  }
  Result<HostFile> file = run.host.OpenFileIn(folder, item.hostName);
  if (!file) {
    const std::string path = JoinPath(folder.path, item.hostName);
    Report(run, path, "cannot be opened (" + ReasonOf(file.Failure(), path) + ")");
    return std::nullopt;
  }
  return std::move(*file);
}

// Reports a file whose size or modification time is no longer what the
// listing found, now that its last byte is in: the image holds a mix of what
// it was and what it became, or misses what was added.
void ReportChange(CompileRun& run, const HostFile& file, const FolderItem& item) {
  Result<PathInfo> now = file.Info();
  if (!now) {
    Report(run, file.Path(),
           "cannot be examined after it was read (" + ReasonOf(now.Failure(), file.Path()) + ")");
    return;
  }
  if (now->size != item.size) {
    Report(run, file.Path(),
           "changed while it was read (" + UnsignedDecimal64(item.size) + " bytes when listed, " +
               UnsignedDecimal64(now->size) + " at the end); stored as read");
  } else if (now->modifiedSeconds != item.modifiedSeconds ||
             now->modifiedNanoseconds != item.modifiedNanoseconds) {
    Report(run, file.Path(), "changed while it was read (modified since it was listed); stored as read");
  }
}

}  // namespace

int32_t CopyFileBlocks(CompileRun& run, const HostFolder& folder, const FolderItem& item,
                       uint8_t byteCountField[4]) {
  // Once the user asked to stop, every file is left empty: the image is dropped anyway.
  std::optional<HostFile> file = run.cancel.Requested() ? std::nullopt : OpenForCopy(run, folder, item);
  if (!file) return run.image.Cursor();
  if (run.fileAdded) run.fileAdded(file->Path());
  // The file is taken at the size the listing found, as an archiver takes it:
  // no read past it just to learn that the file ends there. One look at the
  // open file after its last byte tells whether it changed meanwhile.
  const uint64_t size = item.size;
  uint64_t byteCount = 0;
  bool readFailed = false;
  while (size >= kCopyInsideBytes && byteCount < size && !run.cancel.Requested()) {
    const uint64_t wanted = std::min(kCopyInsidePiece, size - byteCount);
    const uint64_t copied = run.image.AppendCopyOf(*file, byteCount, wanted);
    byteCount += copied;
    run.bytesCopied += copied;
    if (run.progress) (*run.progress)(run.bytesCopied, run.totalBytes);
    // The reads below take the rest, and tell why the copy stopped.
    if (copied < wanted) break;
  }
  while (byteCount < size && !run.cancel.Requested()) {
    const size_t wanted = size_t(std::min<uint64_t>(kCopyChunk, size - byteCount));
    Result<size_t> read = file->ReadAt(byteCount, run.image.Space(wanted), wanted);
    if (!read) {
      Report(run, file->Path(), "read failed (" + ErrorText(read.Failure().code) + "); cut there");
      readFailed = true;
      break;
    }
    const size_t n = *read;
    if (n == 0) break;
    run.image.AppendSpace(n);
    byteCount += n;
    run.bytesCopied += n;
    if (run.progress) (*run.progress)(run.bytesCopied, run.totalBytes);
    // A file that shrank since it was opened ends early.
    if (n < wanted) break;
  }
  if (!readFailed && !run.cancel.Requested()) ReportChange(run, *file, item);
  opera::WriteBig32(byteCountField, uint32_t(byteCount));
  return run.image.Cursor();
}

}  // namespace zanthrel
