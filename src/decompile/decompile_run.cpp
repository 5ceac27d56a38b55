#include "decompile/decompile_run.h"

#include <optional>
#include <vector>

#include "decompile/block_map.h"
#include "decompile/describe.h"
#include "decompile/extract.h"
#include "decompile/log_texts.h"
#include "decompile/run_state.h"
#include "opera/records.h"
#include "support/text.h"
#include "volume/entry.h"
#include "volume/label.h"
#include "volume/walk.h"

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

// The first host file or folder of the run that could not be written, the
// log included: what the host said, and the path it named.
FailedWrite FirstWriteFailure(const DecompileRun& run, const std::string& logPath) {
  if (run.firstFailedWrite) return *run.firstFailedWrite;
  if (run.log.Failure()) return {logPath, *run.log.Failure()};
  return {};
}

// Writes the run's last line and closes the log; a clean run whose log could
// not be written whole still ends in failure. `failure` is the host's, where
// the host failed the run.
DecompileResult Finish(DecompileRun& run, DecompileOutcome outcome, const std::string& line,
                       const std::string& logPath, FailedWrite failure = {}) {
  SettleWrites(run, true);
  WriteLogText(run.log, line);
  run.log.Close();
  if (outcome == DecompileOutcome::kDone && run.log.Failed()) {
    outcome = DecompileOutcome::kWriteFailures;
  }
  if (outcome == DecompileOutcome::kWriteFailures) failure = FirstWriteFailure(run, logPath);
  DecompileResult result;
  result.outcome = outcome;
  result.hostFailure = std::move(failure.error.text);
  result.failedPath = std::move(failure.path);
  result.skippedFolders = std::move(run.skippedFolders);
  result.cutFile = std::move(run.cutFile);
  result.filesSaved = run.filesSaved;
  result.lost = std::move(run.lost);
  result.renamed = std::move(run.renamed);
  result.damagedFiles = std::move(run.damagedFiles);
  if (const SectorFindings* findings = SectorFindingsOf(run.source)) {
    result.correctedSectors = findings->corrected.Count();
    for (const SectorRun& sectors : findings->corrected.Runs()) {
      const BlockRun blocks = BlocksOfSectors(run.source, sectors);
      if (blocks.count > 0) result.correctedBlocks.push_back(blocks);
    }
  }
  result.damaged = std::move(run.damaged);
  const Overlaps overlaps = OverlapsOf(run.blockMap);
  result.overlappingFiles = overlaps.files;
  result.overlaps = overlaps.examples;
  result.outputLimit = run.outputLimit;
  return result;
}

// Walks the first root copy whose first block reads, passing over every file
// and folder it cannot read, so that one bad file does not lose the disc.
void Salvage(DecompileRun& run, const TreeFolder& rootFolder, const opera::LabelView& label,
             const CopyList& rootCopies) {
  const uint32_t blockSize = label.RootBlockSize();
  if (blockSize < opera::kHeaderSize || blockSize > kMaxBlockSize) return;
  std::vector<uint8_t> block(blockSize);
  for (uint32_t i = 0; i < rootCopies.count; ++i) {
    if (Seek(run.source, rootCopies[i], blockSize, 0) &&
        ReadRecords(run.source, block.data(), blockSize, 1)) {
      WriteLogText(run.log, log_text::SalvageStart());
      run.salvaging = true;
      ExtractDirectory(run, rootFolder, rootCopies[i], label.RootBlockCount(), blockSize);
      return;
    }
  }
}

}  // namespace

DecompileResult DecompileImage(ImageSource& source, const std::string& outputFolder,
                               const std::string& logPath, const DecompileOptions& options) {
  if (!source.IsOpen()) return {};
  if (source.Kind() == SourceKind::kDrive) PrepareDrive(source);
  DriveRelease release(source);

  DecompileRun run(source, *options.host, logPath, options.logEncoding, options.progress, options.cancel);
  run.extractDiscLabel = options.extractDiscLabel;
  run.fileWritten = options.fileWritten;
  run.additionalInfo = options.additionalInfo;
  run.names = options.names;
  run.allowOverlaps = options.allowOverlaps;
  // The label is read once: its description opens the log, and a label that
  // cannot be read fails the run only once the folder is made.
  const std::optional<Label> label = ReadLabel(source);
  WriteLogText(run.log, label ? DescribeLabelBytes(label->bytes.data()) : "");
  if (!Seek(source, 0, 0, 0)) {
    return Finish(run, DecompileOutcome::kBlockZeroNotFound, log_text::BlockZeroNotFound(), logPath);
  }
  // The folder that holds the output folder may be reached through links;
  // the output folder itself, and everything below it, never is.
  const HostFolder holder = run.host.OpenFolder(ParentFolderOf(outputFolder));
  Result<HostFolder> made = run.host.MakeFolderIn(holder, FileNameOf(outputFolder));
  if (!made) {
    return Finish(run, DecompileOutcome::kCannotMakeFolder, log_text::CannotMakeFolder(), logPath,
                  {JoinPath(holder.path, FileNameOf(outputFolder)), made.Failure()});
  }
  // The log names folders by their real full paths.
  const Result<std::string> realPath = run.host.RealPath(outputFolder);
  if (!realPath) {
    return Finish(run, DecompileOutcome::kCannotEnterFolder, log_text::CannotEnterFolder(), logPath,
                  {outputFolder, realPath.Failure()});
  }
  run.root = {*realPath, std::move(made->handle)};
  const TreeFolder rootFolder{*realPath, ""};
  if (!label) {
    return Finish(run, DecompileOutcome::kCannotReadLabel,
                  log_text::CannotReadBlockExit(source.CurrentBlock()), logPath);
  }
  const opera::LabelView view = label->View();
  const CopyList rootCopies = label->RootCopies();
  RecordDirectoryCopies(run.blockMap, source, rootCopies, "ROOT");

  run.volume = VolumeExtentOf(view);
  run.totalBlocks = view.BlockCount();
  bool extracted = false;
  for (uint32_t i = 0; i < rootCopies.count && !extracted && !run.stop; ++i) {
    extracted = ExtractDirectory(run, rootFolder, rootCopies[i], view.RootBlockCount(),
                                 view.RootBlockSize());
  }
  if (!extracted && !run.stop) Salvage(run, rootFolder, view, rootCopies);
  if (run.stop) {
    return Finish(run, run.stop->outcome, "", logPath, {run.stop->path, run.stop->error});
  }
  if (!extracted) {
    return Finish(run, DecompileOutcome::kAllRootCopiesFailed, log_text::ImageDead(), logPath);
  }
  SettleWrites(run, true);
  // Fixed: the map and its hole files are named after the log and lie beside
  // it, outside the folder of the disc's files, which a later compile packs.
  if (run.additionalInfo) {
    const std::string logFolder = ParentFolderOf(logPath);
    const Result<std::string> mapFolder = run.host.RealPath(logFolder);
    const HostFolder beside = run.host.OpenFolder(mapFolder ? *mapFolder : logFolder);
    for (FailedWrite& failure : WriteBlockMap(run.blockMap, source, run.host, beside,
                                              BaseNameOf(logPath), view.BlockCount(), options.logEncoding)) {
      ReportFailedWrite(run, std::move(failure));
    }
  }
  if (run.firstFailedWrite || run.log.Failed()) {
    return Finish(run, DecompileOutcome::kWriteFailures, log_text::SuccessWithWriteErrors(), logPath);
  }
  if (!run.damagedFiles.empty() || !run.damaged.empty()) {
    return Finish(run, DecompileOutcome::kDamagedFiles, log_text::SuccessWithDamagedFiles(), logPath);
  }
  return Finish(run, DecompileOutcome::kDone, log_text::Success(), logPath);
}

}  // namespace zanthrel
