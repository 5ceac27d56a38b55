#include "decompile/extract.h"

#include <algorithm>

#include "decompile/block_map.h"
#include "decompile/describe.h"
#include "decompile/directory_walker.h"
#include "decompile/log_texts.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/host_names.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr int64_t kDirectPieceBytes = 16 << 20;

CopyList CopiesOf(const opera::EntryView& entry) {
  return {entry.Bytes() + opera::entry::kCopies,
          opera::CopiesToUse(entry.LastCopyIndex(), entry.CopiesInBlock())};
}

std::string EntryName(const opera::EntryView& entry) {
  return FieldText(entry.NameField(), opera::entry::kNameWidth);
}

// Writes a file's blocks through a buffer, remembering the first failed write
// and writing no more after it.
class HostFileWriter {
 public:
  HostFileWriter(DecompileRun& run, const std::string& path) : run_(run) {
    Result<HostFile> created = run.host.CreateFile(path);
    if (created) {
      file_ = std::move(*created);
    } else {
      Fail(path, created.Failure());
    }
  }
  ~HostFileWriter() { Flush(); }
  HostFileWriter(const HostFileWriter&) = delete;
  HostFileWriter& operator=(const HostFileWriter&) = delete;

  void Write(const uint8_t* bytes, size_t count) {
    if (failed_) return;
    pending_.insert(pending_.end(), bytes, bytes + count);
    if (pending_.size() >= kFlushSize) Flush();
  }
  // The open file, with nothing pending, for writing to it directly at
  // Written(); null after a failure.
  const HostFile* Direct() {
    Flush();
    return failed_ ? nullptr : &file_;
  }
  uint64_t Written() const { return written_; }
  // Counts bytes written to the file directly.
  void Advance(uint64_t bytes) { written_ += bytes; }

 private:
  static constexpr size_t kFlushSize = 256 * 1024;

  void Flush() {
    if (!failed_ && !pending_.empty()) {
      Status written = file_.WriteAt(written_, pending_.data(), pending_.size());
      if (!written) Fail(file_.Path(), written.Failure());
      written_ += pending_.size();
    }
    pending_.clear();
  }
  void Fail(const std::string& path, const Error& error) {
    failed_ = true;
    ReportFailedWrite(run_, {path, error});
  }

  DecompileRun& run_;
  HostFile file_;
  uint64_t written_ = 0;
  std::vector<uint8_t> pending_;
  bool failed_ = false;
};

// Writes the file's blocks into the host file at `path`; false when some
// block could be read from none of the copies.
bool CopyFileData(DecompileRun& run, const opera::EntryView& entry, const std::string& path) {
  ImageSource& source = run.source;
  const CopyList copies = CopiesOf(entry);
  const int32_t last =
      int32_t(std::min<uint32_t>(copies.count, opera::kEntryCopiesHandled)) - 1;
  const uint32_t blockSize = entry.BlockSize();
  const int32_t blockCount = int32_t(entry.BlockCount());
  const uint32_t byteCount = entry.ByteCount();
  if (last < 0 || (blockSize > kMaxBlockSize && blockCount > 0)) return false;
  int32_t copy = 0;
  while (copy <= last && !Seek(source, copies[uint32_t(copy)], blockSize, 0)) ++copy;
  if (copy > last) return false;

  std::vector<uint8_t> buffer(std::min(blockSize, kMaxBlockSize));
  HostFileWriter file(run, path);
  // Reads block j, from the current copy when it stands there, else from the
  // next copy that has it; the walk never returns to an earlier copy.
  auto readBlock = [&](uint32_t j, bool positioned) {
    if (positioned && ReadRecords(source, buffer.data(), blockSize, 1)) return true;
    while (++copy <= last && !StoppedByTheHost(run)) {
      if (Seek(source, copies[uint32_t(copy)], blockSize, j) &&
          ReadRecords(source, buffer.data(), blockSize, 1)) {
        return true;
      }
    }
    return false;
  };

  uint32_t j = 0;
  bool positioned = true;
  // Blocks that are written whole go straight from the image to the file where
  // the image allows, in pieces, so that a stop is heard inside a long file too.
  const int64_t wholeBlocks =
      blockSize == 0 ? 0 : std::min<int64_t>(blockCount, byteCount / blockSize);
  const HostFile* direct = wholeBlocks > 0 ? file.Direct() : nullptr;
  const int64_t pieceBlocks = std::max<int64_t>(1, kDirectPieceBytes / std::max<uint32_t>(blockSize, 1));
  while (direct && int64_t(j) < wholeBlocks && !StoppedByTheUser(run)) {
    const uint32_t piece = uint32_t(std::min<int64_t>(wholeBlocks - j, pieceBlocks));
    if (!positioned && !Seek(source, copies[uint32_t(copy)], blockSize, j)) break;
    const int64_t copied = CopyRecordsToFile(source, blockSize, piece, *direct, file.Written());
    if (copied < 0) break;
    j += uint32_t(copied);
    file.Advance(uint64_t(copied) * blockSize);
    CountBlocks(run, uint64_t(copied));
    positioned = false;
    if (copied < piece) break;
  }
  if (!positioned) {
    positioned = int32_t(j) >= blockCount || Seek(source, copies[uint32_t(copy)], blockSize, j);
  }
  // 64 bits: a file of nearly 4 GiB must not wrap to a short count.
  uint64_t bytesWritten = uint64_t(j) * blockSize;
  for (; int32_t(j) < blockCount; ++j, positioned = true) {
    if (StoppedByTheUser(run) || !readBlock(j, positioned)) return false;
    bytesWritten += blockSize;
    CountBlocks(run, 1);
    if (byteCount < bytesWritten) {
      file.Write(buffer.data(), byteCount % blockSize);
      break;
    }
    file.Write(buffer.data(), blockSize);
  }
  return true;
}

// What a failed file or folder does to the walk: in a salvage pass it is
// named in the log and passed over; otherwise the copy that holds it fails,
// as the log's entry lines already tell, and the next copy is tried.
bool PassOver(DecompileRun& run, const std::string& line, const std::string& path) {
  if (run.stop || !run.salvaging) return false;
  WriteLogText(run.log, line);
  run.lost.push_back(path);
  return true;
}

bool ExtractFile(DecompileRun& run, const opera::EntryView& entry, const std::string& folder,
                 FolderHostNames& names) {
  const std::string name = EntryName(entry);
  // The raw name is tested, so that tabs around it count as blanks too.
  if (TrimBlanks(LowerCase(name)) == "disc label" && run.source.ExtractDiscLabel != 1) return true;
  const std::string path = JoinPath(folder, Cp1251ToUtf8(names.FileName(name)));
  RecordFileCopies(run.blockMap, CopiesOf(entry), entry.BlockCount(), entry.ByteCount(), path);
  if (!CopyFileData(run, entry, path)) return PassOver(run, log_text::CannotReadFile(path), path);
  if (run.salvaging) ++run.filesSaved;
  return true;
}

bool ExtractSubdirectory(DecompileRun& run, const opera::EntryView& entry,
                         const std::string& folder, FolderHostNames& names) {
  const std::string sub = JoinPath(folder, Cp1251ToUtf8(names.FolderName(EntryName(entry))));
  if (Status made = run.host.MakeFolder(sub); !made) {
    // No other copy of any directory could make the folder either.
    WriteLogText(run.log, log_text::CannotMakeFolder());
    run.stop = {DecompileOutcome::kCannotMakeFolder, made.Failure()};
    return false;
  }
  const CopyList copies = CopiesOf(entry);
  RecordDirectoryCopies(run.blockMap, run.source, copies, sub);
  bool extracted = false;
  for (uint32_t i = 0; i < copies.count && !extracted && !run.stop; ++i) {
    extracted = ExtractDirectory(run, sub, copies[i], entry.BlockCount(), entry.BlockSize());
  }
  if (!extracted && !PassOver(run, log_text::CannotReadFolder(sub), sub + kPathSeparator)) return false;
  WriteLogText(run.log, Utf8ToCp1251(folder) + "\n");
  return true;
}

class ExtractingVisitor : public DirectoryVisitor {
 public:
  ExtractingVisitor(DecompileRun& run, const std::string& folder) : run_(run), folder_(folder) {}

  void OnBlock(const uint8_t* block) override {
    static const std::string head = "HEAD\n";
    WriteLogText(run_.log, head + DescribeDirectoryHeader(block));
  }

  bool OnEntry(const opera::EntryView& entry, bool whole) override {
    if (StoppedByTheUser(run_)) return false;
    WriteLogText(run_.log, "ENTRY\n" + DescribeEntry(entry));
    if (!whole) return false;
    return entry.IsDirectory() ? ExtractSubdirectory(run_, entry, folder_, names_)
                               : ExtractFile(run_, entry, folder_, names_);
  }

 private:
  DecompileRun& run_;
  const std::string& folder_;
  FolderHostNames names_;
};

}  // namespace

void ReportFailedWrite(DecompileRun& run, FailedWrite failure) {
  WriteLogText(run.log, log_text::CannotWriteFile(failure.path));
  if (!run.firstFailedWrite) run.firstFailedWrite = std::move(failure);
}

bool StoppedByTheHost(DecompileRun& run) {
  if (!run.stop) {
    const std::optional<Error> failure = HostFailureOf(run.source);
    if (!failure) return false;
    WriteLogText(run.log, log_text::SpoolFailure());
    run.stop = {DecompileOutcome::kSpoolFailure, *failure};
  }
  return true;
}

bool StoppedByTheUser(DecompileRun& run) {
  if (run.stop) return true;
  if (!run.cancel.Requested()) return false;
  WriteLogText(run.log, log_text::Cancelled());
  // The user's wish, not the host's failure: no reason to pass on.
  run.stop = {DecompileOutcome::kCancelled, Error{}};
  return true;
}

void CountBlocks(DecompileRun& run, uint64_t blocks) {
  run.blocksWritten += blocks;
  if (run.progress) run.progress(run.blocksWritten, run.totalBlocks);
}

bool ExtractDirectory(DecompileRun& run, const std::string& folder, uint32_t firstBlock,
                      uint32_t blockCount, uint32_t blockSize) {
  WriteLogText(run.log, Utf8ToCp1251(folder) + "\n");
  if (!run.walking.Enter(firstBlock)) {
    WriteLogText(run.log, log_text::CannotReadBlockReturn(firstBlock));
    return false;
  }
  ExtractingVisitor visitor(run, folder);
  const WalkResult result = WalkDirectoryCopy(run.source, firstBlock, blockCount, blockSize, visitor);
  run.walking.Leave();
  if (result.end != WalkEnd::kComplete && StoppedByTheHost(run)) return false;
  switch (result.end) {
    case WalkEnd::kComplete: return true;
    case WalkEnd::kSeekFailed:
      WriteLogText(run.log, log_text::CannotPosition(result.failedBlock));
      return false;
    case WalkEnd::kReadFailed:
      WriteLogText(run.log, log_text::CannotReadBlockReturn(result.failedBlock));
      return false;
    case WalkEnd::kCorrupt:
    case WalkEnd::kStopped: return false;
  }
  return false;
}

}  // namespace zanthrel
