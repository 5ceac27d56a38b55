#include "decompile/decompile_run.h"

#include <vector>

#include "decompile/block_map.h"
#include "decompile/decompile_log.h"
#include "decompile/describe.h"
#include "decompile/extract.h"
#include "decompile/log_texts.h"
#include "opera/records.h"
#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

namespace {

// Unlocks a drive's tray at every exit of the run.
class DriveRelease {
 public:
  explicit DriveRelease(ImageSource& source) : source_(source) {}
  ~DriveRelease() { ReleaseDrive(source_); }
  DriveRelease(const DriveRelease&) = delete;
  DriveRelease& operator=(const DriveRelease&) = delete;

 private:
  ImageSource& source_;
};

// Writes the run's last line and closes the log; a clean run whose log could
// not be written whole still ends in failure.
bool Finish(DecompileOutcome* outcome, DecompileOutcome value, DecompileLog& log,
            const std::string& line) {
  WriteLogText(log, line);
  log.Close();
  if (value == DecompileOutcome::kDone && log.Failed()) value = DecompileOutcome::kWriteFailures;
  if (outcome) *outcome = value;
  return value == DecompileOutcome::kDone;
}

}  // namespace

bool DecompileImage(ImageSource& source, const std::string& outputFolder,
                    const std::string& logPath, const DecompileOptions& options,
                    DecompileOutcome* outcome) {
  ClearBlockMap();
  if (!source.open || (source.kind != kKindImageFile && source.kind != kKindDrive)) {
    if (outcome) *outcome = DecompileOutcome::kNotOpen;
    return false;
  }
  if (source.kind == kKindDrive) PrepareDrive(source);
  DriveRelease release(source);

  DecompileLog log(logPath);
  WriteLogText(log, DescribeLabel(source));
  if (!Seek(source, 0, 0, 0)) {
    return Finish(outcome, DecompileOutcome::kBlockZeroNotFound, log, log_text::BlockZeroNotFound());
  }
  if (!MakeDirectory(outputFolder)) {
    return Finish(outcome, DecompileOutcome::kCannotMakeFolder, log, log_text::CannotMakeFolder());
  }
  if (!EnterDirectory(outputFolder)) {
    return Finish(outcome, DecompileOutcome::kCannotEnterFolder, log, log_text::CannotEnterFolder());
  }
  const std::string rootFolder = CurrentDirectory();
  std::vector<uint8_t> label(opera::kLabelSize);
  if (!ReadRecords(source, label.data(), opera::kLabelSize, 1)) {
    return Finish(outcome, DecompileOutcome::kCannotReadLabel, log,
                  log_text::CannotReadBlockExit(source.currentBlock));
  }
  auto field = [&label](size_t offset) { return opera::ReadBig32(label.data() + offset); };
  namespace L = opera::label;
  const int32_t lastCopy = std::min<int32_t>(int32_t(field(L::kLastRootCopy)), L::kRootCopySlots - 1);
  const CopyList rootCopies{label.data() + L::kRootCopies, L::kRootCopySlots};
  if (lastCopy >= 0) RecordDirectoryCopies(source, lastCopy + 1, rootCopies, "ROOT");

  Extraction run{source, log};
  run.progress = options.progress ? &options.progress : nullptr;
  run.totalBlocks = field(L::kBlockCount);
  bool extracted = false;
  for (int32_t i = 0; i <= lastCopy && !extracted; ++i) {
    // A failed copy may have left one of the output folder's sub-folders current.
    if (i > 0 && !EnterDirectory(rootFolder)) {
      return Finish(outcome, DecompileOutcome::kCannotEnterFolder, log,
                    log_text::CannotEnterFolder());
    }
    extracted = ExtractDirectory(run, rootFolder, rootCopies[uint32_t(i)],
                                 field(L::kRootBlockCount), field(L::kRootBlockSize));
  }
  if (!extracted) {
    return Finish(outcome, DecompileOutcome::kAllRootCopiesFailed, log, log_text::ImageDead());
  }
  for (const std::string& path :
       WriteBlockMap(source, BaseNameOf(logPath), field(L::kBlockCount))) {
    WriteLogText(log, log_text::CannotWriteFile(JoinPath(rootFolder, path)));
    run.writeFailed = true;
  }
  if (run.writeFailed || log.Failed()) {
    return Finish(outcome, DecompileOutcome::kWriteFailures, log,
                  log_text::SuccessWithWriteErrors());
  }
  return Finish(outcome, DecompileOutcome::kDone, log, log_text::Success());
}

}  // namespace zanthrel
