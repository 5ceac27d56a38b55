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

CopyList CopiesOf(const opera::EntryView& entry) {
  return {entry.Bytes() + opera::entry::kCopies,
          uint32_t(std::min<uint64_t>(entry.CopiesInBlock(), UINT32_MAX))};
}

std::string EntryName(const opera::EntryView& entry) {
  return FieldText(entry.NameField(), opera::entry::kNameWidth);
}

// Writes a file's blocks through a buffer, remembering the first failed write
// and writing no more after it.
class HostFileWriter {
 public:
  HostFileWriter(Extraction& run, std::string path, const std::string& bareName)
      : run_(run), path_(std::move(path)), file_(CreateHostFile(bareName)) {
    if (!file_.IsOpen()) Fail();
  }
  ~HostFileWriter() { Flush(); }
  HostFileWriter(const HostFileWriter&) = delete;
  HostFileWriter& operator=(const HostFileWriter&) = delete;

  void Write(const uint8_t* bytes, size_t count) {
    if (failed_) return;
    pending_.insert(pending_.end(), bytes, bytes + count);
    if (pending_.size() >= kFlushSize) Flush();
  }
  // The open file, with nothing pending, for writing to it directly; -1 after a failure.
  int DirectHandle() {
    Flush();
    return failed_ ? -1 : file_.Handle();
  }

 private:
  static constexpr size_t kFlushSize = 256 * 1024;

  void Flush() {
    if (!failed_ && !pending_.empty() &&
        WriteHostFile(file_, pending_.data(), pending_.size()) != int64_t(pending_.size())) {
      Fail();
    }
    pending_.clear();
  }
  void Fail() {
    failed_ = true;
    run_.writeFailed = true;
    WriteLogText(run_.log, log_text::CannotWriteFile(path_));
  }

  Extraction& run_;
  std::string path_;
  HostFile file_;
  std::vector<uint8_t> pending_;
  bool failed_ = false;
};

bool ExtractFile(Extraction& run, const opera::EntryView& entry, const std::string& folder) {
  ImageSource& source = run.source;
  const std::string name = EntryName(entry);
  // The raw name is tested, so that tabs around it count as blanks too.
  if (TrimBlanks(LowerCase(name)) == "disc label" && source.ExtractDiscLabel != 1) return true;
  const std::string hostName = HostFileName(name);
  const std::string bareName = Cp1251ToUtf8(hostName);
  const std::string path = JoinPath(folder, bareName);
  const CopyList copies = CopiesOf(entry);
  RecordFileCopies(int32_t(entry.LastCopyIndex() + 1), copies, entry.BlockCount(),
                   entry.ByteCount(), path);

  const int32_t last =
      std::min<int64_t>({int32_t(entry.LastCopyIndex()), int64_t(opera::kEntryCopiesHandled) - 1,
                         int64_t(copies.count) - 1});
  const uint32_t blockSize = entry.BlockSize();
  const int32_t blockCount = int32_t(entry.BlockCount());
  const uint32_t byteCount = entry.ByteCount();
  if (last < 0 || (blockSize > kMaxBlockSize && blockCount > 0)) return false;
  int32_t copy = 0;
  while (copy <= last && !Seek(source, copies[uint32_t(copy)], blockSize, 0)) ++copy;
  if (copy > last) return false;

  std::vector<uint8_t> buffer(std::min(blockSize, kMaxBlockSize));
  HostFileWriter file(run, path, bareName);
  // Reads block j, from the current copy when it stands there, else from the
  // next copy that has it; the walk never returns to an earlier copy.
  auto readBlock = [&](uint32_t j, bool positioned) {
    if (positioned && ReadRecords(source, buffer.data(), blockSize, 1)) return true;
    while (++copy <= last) {
      if (Seek(source, copies[uint32_t(copy)] + j, blockSize, 0) &&
          ReadRecords(source, buffer.data(), blockSize, 1)) {
        return true;
      }
    }
    return false;
  };

  uint32_t j = 0;
  bool positioned = true;
  // Blocks that are written whole go straight from the image to the file where the image allows.
  const int64_t wholeBlocks =
      blockSize == 0 ? 0 : std::min<int64_t>(blockCount, byteCount / blockSize);
  if (wholeBlocks > 0) {
    const int handle = file.DirectHandle();
    const int64_t copied =
        handle < 0 ? -1 : CopyRecordsToFile(source, blockSize, uint32_t(wholeBlocks), handle);
    if (copied >= 0) {
      j = uint32_t(copied);
      run.blocksWritten += uint64_t(copied);
      if (run.progress) (*run.progress)(run.blocksWritten, run.totalBlocks);
      positioned = int32_t(j) >= blockCount || Seek(source, copies[uint32_t(copy)] + j, blockSize, 0);
    }
  }
  uint32_t bytesWritten = j * blockSize;
  for (; int32_t(j) < blockCount; ++j, positioned = true) {
    if (!readBlock(j, positioned)) return false;
    bytesWritten += blockSize;
    if (run.progress) (*run.progress)(++run.blocksWritten, run.totalBlocks);
    if (byteCount < bytesWritten) {
      file.Write(buffer.data(), byteCount % blockSize);
      break;
    }
    file.Write(buffer.data(), blockSize);
  }
  return true;
}

bool ExtractSubdirectory(Extraction& run, const opera::EntryView& entry, const std::string& folder) {
  const std::string sub = JoinPath(folder, Cp1251ToUtf8(HostFolderName(EntryName(entry))));
  if (!MakeDirectory(sub)) {
    WriteLogText(run.log, log_text::CannotMakeFolder());
    return false;
  }
  if (!EnterDirectory(sub)) {
    WriteLogText(run.log, log_text::CannotEnterFolder());
    return false;
  }
  const CopyList copies = CopiesOf(entry);
  const uint32_t n = std::min(entry.LastCopyIndex() + 1, copies.count);
  RecordDirectoryCopies(run.source, int32_t(n), copies, sub);
  bool extracted = false;
  for (uint32_t i = 0; i < n && !extracted; ++i) {
    // A failed copy may have left a deeper folder current.
    if (i > 0 && !EnterDirectory(sub)) {
      WriteLogText(run.log, log_text::CannotEnterFolder());
      return false;
    }
    extracted = ExtractDirectory(run, sub, copies[i], entry.BlockCount(), entry.BlockSize());
  }
  if (!extracted) return false;
  if (!EnterDirectory("..")) {
    WriteLogText(run.log, log_text::CannotEnterFolder());
    return false;
  }
  WriteLogText(run.log, Utf8ToCp1251(folder) + "\n");
  return true;
}

class ExtractingVisitor : public DirectoryVisitor {
 public:
  ExtractingVisitor(Extraction& run, const std::string& folder) : run_(run), folder_(folder) {}

  void OnBlock(const uint8_t* block) override {
    static const std::string head = "HEAD\n";
    WriteLogText(run_.log, head + DescribeDirectoryHeader(block));
  }

  bool OnEntry(const opera::EntryView& entry, bool whole) override {
    WriteLogText(run_.log, "ENTRY\n" + DescribeEntry(entry));
    if (!whole) return false;
    return entry.IsDirectory() ? ExtractSubdirectory(run_, entry, folder_)
                               : ExtractFile(run_, entry, folder_);
  }

 private:
  Extraction& run_;
  const std::string& folder_;
};

}  // namespace

bool ExtractDirectory(Extraction& run, const std::string& folder, uint32_t firstBlock,
                      uint32_t blockCount, uint32_t blockSize) {
  WriteLogText(run.log, Utf8ToCp1251(folder) + "\n");
  // A copy that is already being walked higher up the path (a directory that
  // contains itself) fails like an unreadable one, so the walk always ends.
  if (std::find(run.walking.begin(), run.walking.end(), firstBlock) != run.walking.end()) {
    WriteLogText(run.log, log_text::CannotReadBlockReturn(firstBlock));
    return false;
  }
  run.walking.push_back(firstBlock);
  ExtractingVisitor visitor(run, folder);
  const WalkResult result = WalkDirectoryCopy(run.source, firstBlock, blockCount, blockSize, visitor);
  run.walking.pop_back();
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
