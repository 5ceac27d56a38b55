#include "decompile/extract.h"

#include <algorithm>
#include <cerrno>

#include "decompile/block_map.h"
#include "decompile/describe.h"
#include "decompile/log_texts.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/host_names.h"
#include "support/text.h"
#include "volume/entry.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

constexpr int64_t kDirectPieceBytes = 16 << 20;
// A file with this many bytes of whole blocks is copied inside the operating
// system where the image allows, which costs less than reading it out and
// writing it back; smaller files go through the write queue, where creating
// them is the larger cost, and so does every file of an image that must be
// read out anyway (raw sectors, containers, drives), so that its reads and
// writes overlap.
constexpr uint64_t kDirectFileBytes = 128 << 10;

// A host file: `name` in `folder`, the folder's path and the name joined in `path`.
struct HostFileTarget {
  const TreeFolder& folder;
  std::string name;
  std::string path;
};

// Writes a file's blocks through a buffer, remembering the first failed write
// and writing no more after it. Most files go through the run's write queue:
// the log holds a place for each create and each write, where a failure's
// line goes once the queue has done them. A file large enough to be copied
// straight from the image is written here instead, once the queue is empty.
// A file that a stop cut short is removed once written, wherever it was made.
class HostFileWriter {
 public:
  HostFileWriter(DecompileRun& run, const HostFileTarget& target, uint64_t size, bool direct)
      : run_(run), target_(target), direct_(direct) {
    if (direct_) {
      SettleWrites(run_, true);
      Result<const HostFolder*> folder = OpenTreeFolder(run_, target.folder);
      Result<HostFile> created =
          folder ? run.host.CreateFileIn(**folder, target.name) : folder.Failure();
      if (created) {
        file_ = std::move(*created);
      } else {
        Fail(target.path, created.Failure());
      }
    } else {
      createPlace_ = run_.log.Hold();
    }
    capacity_ = size_t(std::min<uint64_t>(size, kFlushSize));
  }
  ~HostFileWriter() {
    Flush(true);
    if (direct_ && cut_ && file_.IsOpen()) RemoveCutFile();
  }
  HostFileWriter(const HostFileWriter&) = delete;
  HostFileWriter& operator=(const HostFileWriter&) = delete;

  // The file will not be finished: it is removed instead of kept.
  void Cut() { cut_ = true; }

  void Write(const uint8_t* bytes, size_t count) {
    std::copy(bytes, bytes + count, Space(count));
    Commit(count);
  }
  // Room for `count` more bytes in the buffer, to be read into and then
  // committed; at most the bytes of one flush.
  uint8_t* Space(size_t count) {
    if (pending_.size + count > capacity_) {
      Flush(false);
      if (count > capacity_) {
        capacity_ = count;
        pending_.data.reset();
      }
    }
    if (!pending_.data) pending_ = run_.writes.Buffer(capacity_);
    return pending_.data.get() + pending_.size;
  }
  void Commit(size_t count) {
    pending_.size += count;
    if (pending_.size >= kFlushSize) Flush(false);
  }
  // The open file, with nothing pending, for writing to it directly at
  // Written(); null after a failure and for files that go through the queue.
  const HostFile* Direct() {
    if (!direct_) return nullptr;
    Flush(false);
    return failed_ ? nullptr : &file_;
  }
  uint64_t Written() const { return written_; }
  // Counts bytes written to the file directly.
  void Advance(uint64_t bytes) { written_ += bytes; }

  static constexpr size_t kFlushSize = 256 * 1024;

 private:
  void Flush(bool last) {
    const size_t count = pending_.size;
    if (!direct_) {
      if (count > 0 || last || !created_) Queue(last);
    } else if (!failed_ && count > 0) {
      Status written = file_.WriteAt(written_, pending_.data.get(), count);
      if (!written) Fail(file_.Path(), written.Failure());
    }
    written_ += count;
    pending_.size = 0;
  }
  void Queue(bool last) {
    WriteStep step;
    step.root = &run_.root;
    step.relative = target_.folder.relative;
    step.folder = target_.folder.path;
    step.name = target_.name;
    step.create = !created_;
    step.close = last;
    step.remove = last && cut_;
    step.offset = written_;
    step.createPlace = createPlace_;
    step.writePlace = run_.log.Hold();
    if (pending_.size > 0) {
      step.bytes = std::move(pending_);
      pending_ = {};
    }
    created_ = true;
    SettleWrites(run_, false);
    run_.writes.Add(std::move(step));
  }
  void Fail(const std::string& path, const Error& error) {
    failed_ = true;
    ReportFailedWrite(run_, {path, error});
  }
  // Only a file made here is removed: what stood in its place stays.
  void RemoveCutFile() {
    file_.Close();
    Result<const HostFolder*> folder = OpenTreeFolder(run_, target_.folder);
    const Status removed =
        folder ? run_.host.RemoveFileIn(**folder, target_.name) : Status(folder.Failure());
    CutFile cut{target_.path, std::nullopt};
    if (!removed) cut.notRemoved = removed.Failure();
    WriteLogText(run_.log, NoteCutFile(run_, std::move(cut)));
  }

  DecompileRun& run_;
  const HostFileTarget& target_;
  bool direct_;
  HostFile file_;
  uint64_t createPlace_ = 0;
  bool created_ = false;  // the queue has the step that creates the file
  uint64_t written_ = 0;
  WriteBytes pending_;
  size_t capacity_ = 0;
  bool failed_ = false;
  bool cut_ = false;
};

// Reads block `j` with damaged sectors taken as read, from the first copy
// that reads so, which becomes the current one: the last resort when no copy
// of the block reads intact, so that checking sectors never loses what
// reading them gives.
bool ReadBlockAsRead(DecompileRun& run, const CopyList& copies, int32_t& copy, uint32_t j,
                     uint32_t blockSize, uint8_t* buffer) {
  const SectorFindings* findings = SectorFindingsOf(run.source);
  if (run.stop || !findings || findings->damaged.Empty()) return false;
  KeepDamagedSectors(run.source, true);
  bool read = false;
  for (uint32_t c = 0; c < copies.count && !read; ++c) {
    read = Seek(run.source, copies[c], blockSize, j) && ReadRecords(run.source, buffer, blockSize, 1);
    if (read) copy = int32_t(c);
  }
  KeepDamagedSectors(run.source, false);
  return read;
}

// Writes the file's first `blocks` blocks (FileBlocksOf) into the host file
// `target`; false when some block could be read from none of the copies.
// `damaged` is set when some block was read from damaged sectors, every copy
// of it being damaged.
bool CopyFileData(DecompileRun& run, const opera::EntryView& entry, uint32_t blocks,
                  const HostFileTarget& target, bool& damaged) {
  ImageSource& source = run.source;
  const CopyList copies = HandledCopiesOf(entry);
  const int32_t last = int32_t(copies.count) - 1;
  const uint32_t blockSize = entry.BlockSize();
  const int64_t blockCount = blocks;
  const uint32_t byteCount = entry.ByteCount();
  if (last < 0 || (blockSize > kMaxBlockSize && blockCount > 0)) return false;
  int32_t copy = 0;
  while (copy <= last && !Seek(source, copies[uint32_t(copy)], blockSize, 0)) ++copy;
  if (copy > last) return false;

  std::vector<uint8_t> buffer(std::min(blockSize, kMaxBlockSize));
  // Blocks that are written whole go straight from the image to the file where
  // the image allows, in pieces, so that a stop is heard inside a long file
  // too; small files go through the queue.
  const int64_t wholeBlocks =
      blockSize == 0 ? 0 : std::min<int64_t>(blockCount, byteCount / blockSize);
  const bool large =
      uint64_t(wholeBlocks) * blockSize >= kDirectFileBytes && CopiesInsideTheSystem(source);
  HostFileWriter file(run, target, FileBytes(entry, run.volume), large);
  // True once the run is to end; a stop by the user or by the output limit
  // then cuts this file short.
  auto stopped = [&] {
    if (!StoppedByTheUser(run) && !StoppedByTheOutputLimit(run)) return false;
    if (run.stop->outcome == DecompileOutcome::kCancelled ||
        run.stop->outcome == DecompileOutcome::kOutputLimit) {
      file.Cut();
    }
    return true;
  };
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
    if (!ReadBlockAsRead(run, copies, copy, j, blockSize, buffer.data())) return false;
    damaged = true;
    return true;
  };

  uint32_t j = 0;
  bool positioned = true;
  // Counts what was written, the blocks of the current copy before `end` read.
  auto counted = [&](uint64_t blocks, uint64_t bytes, uint64_t end) {
    CountBlocks(run, blocks);
    CountBytes(run, bytes, uint64_t(copies[uint32_t(copy)]) * source.BlockSize() + end * blockSize);
  };
  const HostFile* direct = large ? file.Direct() : nullptr;
  const int64_t pieceBlocks = std::max<int64_t>(1, kDirectPieceBytes / std::max<uint32_t>(blockSize, 1));
  while (direct && int64_t(j) < wholeBlocks && !stopped()) {
    const uint32_t piece = uint32_t(std::min<int64_t>(wholeBlocks - j, pieceBlocks));
    if (!positioned && !Seek(source, copies[uint32_t(copy)], blockSize, j)) break;
    const int64_t copied = CopyRecordsToFile(source, blockSize, piece, *direct, file.Written());
    if (copied < 0) break;
    j += uint32_t(copied);
    file.Advance(uint64_t(copied) * blockSize);
    counted(uint64_t(copied), uint64_t(copied) * blockSize, j);
    positioned = false;
    if (copied < piece) break;
  }
  // Through the queue, whole blocks are read many at a time into the buffer
  // of the writer; a piece that does not read whole is read again block by
  // block below, where each block may come from another copy.
  const uint32_t queuedPiece =
      uint32_t(std::max<uint64_t>(1, HostFileWriter::kFlushSize / std::max<uint32_t>(blockSize, 1)));
  while (!large && positioned && int64_t(j) < wholeBlocks && !stopped()) {
    const uint32_t piece = uint32_t(std::min<int64_t>(wholeBlocks - j, queuedPiece));
    const size_t bytes = size_t(piece) * blockSize;
    if (!ReadRecords(source, file.Space(bytes), blockSize, piece)) {
      positioned = false;
      break;
    }
    file.Commit(bytes);
    j += piece;
    counted(piece, bytes, j);
  }
  if (!positioned) {
    positioned = int64_t(j) >= blockCount || Seek(source, copies[uint32_t(copy)], blockSize, j);
  }
  // 64 bits: a file of nearly 4 GiB must not wrap to a short count.
  uint64_t bytesWritten = uint64_t(j) * blockSize;
  for (; int64_t(j) < blockCount; ++j, positioned = true) {
    if (stopped() || !readBlock(j, positioned)) return false;
    bytesWritten += blockSize;
    if (byteCount < bytesWritten) {
      counted(1, byteCount % blockSize, uint64_t(j) + 1);
      file.Write(buffer.data(), byteCount % blockSize);
      break;
    }
    counted(1, blockSize, uint64_t(j) + 1);
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

// After `names` handed out the host name of the entry whose own host name is
// `plainName` (UTF-8): when it took a number, the log and the warnings say so.
void NoteNumberedName(DecompileRun& run, const FolderHostNames& names, const std::string& folder,
                      const std::string& plainName, const std::string& hostName) {
  if (!names.Numbered()) return;
  WriteLogText(run.log, log_text::NameTaken(JoinPath(folder, hostName)));
  std::string warning = JoinPath(folder, plainName) + ": written as \"" + hostName +
                        "\" (an earlier entry of the folder has the name)";
  if (run.renamedOnce.insert(warning).second) run.renamed.push_back(std::move(warning));
}

// A file whose entry claims more blocks than the volume holds is damaged: it
// was written as far as the volume holds it, and the log and the run say so.
void NoteFilePastTheVolume(DecompileRun& run, const opera::EntryView& entry, const std::string& path) {
  WriteLogText(run.log, log_text::FilePastTheVolume(path));
  std::string line = path + ": its entry claims " + UnsignedDecimal(entry.BlockCount()) + " blocks of " +
                     UnsignedDecimal(entry.BlockSize()) +
                     " bytes, more than the volume holds; written as far as the volume holds it";
  if (run.damagedOnce.insert(line).second) run.damaged.push_back(std::move(line));
}

bool ExtractFile(DecompileRun& run, const opera::EntryView& entry, const TreeFolder& folder,
                 FolderHostNames& names, bool root) {
  const std::string name = EntryName(entry);
  if (root && IsDiscLabelName(name) && !run.extractDiscLabel) return true;
  HostFileTarget target{folder, TextAsUtf8(names.FileName(name), run.names), {}};
  NoteNumberedName(run, names, folder.path,
                   TextAsUtf8(HostFileName(name, kThisHostRules, run.names), run.names), target.name);
  target.path = JoinPath(folder.path, target.name);
  const std::string& path = target.path;
  const CopyList copies = HandledCopiesOf(entry);
  const FileBlocks blocks = FileBlocksOf(entry, run.volume, copies.count > 0 ? copies[0] : 0);
  const uint64_t claimed =
      (uint64_t(blocks.count) * entry.BlockSize() + run.source.BlockSize() - 1) / run.source.BlockSize();
  RecordFileCopies(run.blockMap, CopiesOf(entry), entry.BlockCount(), entry.ByteCount(), path,
                   uint32_t(std::min<uint64_t>(claimed, UINT32_MAX)));
  bool damaged = false;
  if (!CopyFileData(run, entry, blocks.count, target, damaged)) {
    return PassOver(run, log_text::CannotReadFile(path), path);
  }
  if (run.fileWritten) run.fileWritten(path);
  if (damaged) {
    WriteLogText(run.log, log_text::FileDamaged(path));
    if (run.damagedOnce.insert(path).second) run.damagedFiles.push_back(path);
  }
  if (blocks.pastTheVolume) NoteFilePastTheVolume(run, entry, path);
  if (run.salvaging) ++run.filesSaved;
  return true;
}

// A folder that cannot be made for a reason of its own: the host refuses its
// name or finds its path too long, or a link or a file stands in its place.
// Anything else (no room, no permission, a disk that cannot be written, an
// I/O error) would fail the folders after it too, and every other copy.
bool OnlyThisFolderFails(int code) {
  return code == ENAMETOOLONG || code == ELOOP || code == ENOTDIR || code == EEXIST ||
         code == EINVAL || code == EILSEQ;
}

bool ExtractSubdirectory(DecompileRun& run, const opera::EntryView& entry,
                         const TreeFolder& folder, FolderHostNames& names) {
  const std::string operaName = EntryName(entry);
  const std::string name = TextAsUtf8(names.FolderName(operaName), run.names);
  NoteNumberedName(run, names, folder.path,
                   TextAsUtf8(HostFolderName(operaName, kThisHostRules, run.names), run.names), name);
  const TreeFolder sub{JoinPath(folder.path, name),
                       folder.relative.empty() ? name : JoinPath(folder.relative, name)};
  Result<const HostFolder*> parent = OpenTreeFolder(run, folder);
  Result<HostFolder> made = parent ? run.host.MakeFolderIn(**parent, name) : parent.Failure();
  if (!made && OnlyThisFolderFails(made.Failure().code)) {
    // Passed over with all it holds; the walk goes on with the next entry.
    WriteLogText(run.log, log_text::FolderSkipped(sub.path));
    run.skippedFolders.push_back({sub.path, made.Failure()});
    if (!run.firstFailedWrite) run.firstFailedWrite = run.skippedFolders.back();
    return true;
  }
  if (!made) {
    // No other copy of any directory could make the folder either.
    WriteLogText(run.log, log_text::CannotMakeFolder());
    run.stop = {DecompileOutcome::kCannotMakeFolder, made.Failure(), sub.path};
    return false;
  }
  // The walk enters the folder next.
  run.entered = std::move(*made);
  run.enteredRelative = sub.relative;
  const CopyList copies = CopiesOf(entry);
  RecordDirectoryCopies(run.blockMap, run.source, copies, sub.path);
  bool extracted = false;
  ++run.depth;
  for (uint32_t i = 0; i < copies.count && !extracted && !run.stop; ++i) {
    extracted = ExtractDirectory(run, sub, copies[i], entry.BlockCount(), entry.BlockSize());
  }
  --run.depth;
  if (!extracted && !PassOver(run, log_text::CannotReadFolder(sub.path), sub.path + kPathSeparator)) {
    return false;
  }
  WriteLogText(run.log, Utf8ToCp1251(folder.path) + "\n");
  return true;
}

class ExtractingVisitor : public DirectoryVisitor {
 public:
  ExtractingVisitor(DecompileRun& run, const TreeFolder& folder)
      : run_(run), folder_(folder), root_(run.depth == 0), names_(kThisHostRules, run.names) {}

  void OnBlock(const uint8_t* block) override {
    static const std::string head = "HEAD\n";
    WriteLogText(run_.log, head + DescribeDirectoryHeader(block));
  }

  bool OnEntry(const opera::EntryView& entry) override {
    if (StoppedByTheUser(run_)) return false;
    WriteLogText(run_.log, "ENTRY\n" + DescribeEntry(entry));
    return entry.IsDirectory() ? ExtractSubdirectory(run_, entry, folder_, names_)
                               : ExtractFile(run_, entry, folder_, names_, root_);
  }

 private:
  DecompileRun& run_;
  const TreeFolder& folder_;
  const bool root_;
  FolderHostNames names_;
};

}  // namespace

void SettleWrites(DecompileRun& run, bool all) {
  if (all) run.writes.Drain();
  for (WriteOutcome& outcome : run.writes.TakeOutcomes()) {
    std::string createLine, writeLine;
    if (outcome.failure) {
      (outcome.failedAtCreate ? createLine : writeLine) = log_text::CannotWriteFile(outcome.failure->path);
      if (!run.firstFailedWrite) run.firstFailedWrite = std::move(*outcome.failure);
    }
    if (outcome.cut) writeLine += NoteCutFile(run, std::move(*outcome.cut));
    if (outcome.create) run.log.Fill(outcome.createPlace, createLine);
    run.log.Fill(outcome.writePlace, writeLine);
  }
}

Result<const HostFolder*> OpenTreeFolder(DecompileRun& run, const TreeFolder& folder) {
  if (folder.relative.empty()) return &run.root;
  if (!run.entered || run.enteredRelative != folder.relative) {
    run.entered.reset();
    Result<HostFolder> opened = OpenFolderBelow(run.host, run.root, folder.relative);
    if (!opened) return opened.Failure();
    run.entered = std::move(*opened);
    run.enteredRelative = folder.relative;
  }
  return &*run.entered;
}

std::string NoteCutFile(DecompileRun& run, CutFile cut) {
  std::string line = cut.notRemoved ? log_text::CutFileNotRemoved(cut.path) : log_text::CutFileRemoved(cut.path);
  run.cutFile = std::move(cut);
  return line;
}

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

bool StoppedByTheOutputLimit(DecompileRun& run) {
  if (run.stop) return true;
  if (run.allowOverlaps || run.bytesWritten <= kOutputLimitFactor * run.reach) return false;
  WriteLogText(run.log, log_text::OutputLimit());
  run.stop = {DecompileOutcome::kOutputLimit, Error{}};
  run.outputLimit = kOutputLimitFactor * run.reach;
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

void CountBytes(DecompileRun& run, uint64_t bytes, uint64_t readUpTo) {
  run.bytesWritten += bytes;
  run.reach = std::max(run.reach, readUpTo);
}

void CountBlocks(DecompileRun& run, uint64_t blocks) {
  run.blocksWritten += blocks;
  if (run.progress) run.progress(run.blocksWritten, run.totalBlocks);
}

bool ExtractDirectory(DecompileRun& run, const TreeFolder& folder, uint32_t firstBlock,
                      uint32_t blockCount, uint32_t blockSize) {
  WriteLogText(run.log, Utf8ToCp1251(folder.path) + "\n");
  if (!run.walking.Enter(firstBlock)) {
    WriteLogText(run.log, log_text::CannotReadBlockReturn(firstBlock));
    return false;
  }
  ExtractingVisitor visitor(run, folder);
  const WalkResult result = WalkDirectoryCopy(run.source, firstBlock, blockCount, blockSize, visitor);
  run.walking.Leave(result.end == WalkEnd::kComplete);
  if (result.end != WalkEnd::kComplete) {
    // Another copy of the folder may make the same files again: the queue
    // finishes this copy's first, so that the later copy's are the ones kept.
    SettleWrites(run, true);
    if (StoppedByTheHost(run)) return false;
  }
  switch (result.end) {
    case WalkEnd::kComplete: return true;
    case WalkEnd::kSeekFailed:
      WriteLogText(run.log, log_text::CannotPosition(result.failedBlock));
      return false;
    case WalkEnd::kReadFailed:
      WriteLogText(run.log, log_text::CannotReadBlockReturn(result.failedBlock));
      return false;
    case WalkEnd::kDamaged:
      WriteLogText(run.log, log_text::DamagedDirectoryBlock(result.failedBlock));
      return false;
    case WalkEnd::kCorrupt:
    case WalkEnd::kStopped: return false;
  }
  return false;
}

}  // namespace zanthrel
