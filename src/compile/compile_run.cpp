#include "compile/compile_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "compile/entry_names.h"
#include "compile/image_writer.h"
#include "compile/unique_ids.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

namespace {

using opera::WriteBig32;

// A new file beside the image, removed again unless it is put in place.
class TemporaryImage {
 public:
  explicit TemporaryImage(const std::string& imagePath) {
    for (int attempt = 0; attempt < 100 && !file_.IsOpen(); ++attempt) {
      path_ = imagePath + ".zanthrel-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
      file_ = HostFile(::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (!file_.IsOpen() && errno != EEXIST) break;
    }
    created_ = file_.IsOpen();
    if (!created_) error_ = std::strerror(errno);
  }
  ~TemporaryImage() {
    if (created_ && !placed_) ::unlink(path_.c_str());
  }
  TemporaryImage(const TemporaryImage&) = delete;
  TemporaryImage& operator=(const TemporaryImage&) = delete;

  bool Created() const { return created_; }
  HostFile TakeFile() { return std::move(file_); }
  const std::string& Error() const { return error_; }
  bool PutInPlace(const std::string& imagePath) {
    placed_ = ::rename(path_.c_str(), imagePath.c_str()) == 0;
    if (!placed_) error_ = std::strerror(errno);
    return placed_;
  }

 private:
  std::string path_;
  HostFile file_;
  std::string error_;
  bool created_ = false;
  bool placed_ = false;
};

HostObject ObjectOf(int handle) {
  struct stat info {};
  fstat(handle, &info);
  return {info.st_dev, info.st_ino};
}

// Bytes of every file below the folder, for progress only.
uint64_t TotalBytes(const std::string& folder, const std::vector<HostObject>& excluded,
                    std::vector<HostObject>& path) {
  uint64_t total = 0;
  for (const FolderItem& item : ScanFolder(folder, excluded).items) {
    if (!item.isDirectory) {
      total += item.size;
    } else if (std::find(path.begin(), path.end(), item.object) == path.end()) {
      path.push_back(item.object);
      total += TotalBytes(JoinPath(folder, item.hostName), excluded, path);
      path.pop_back();
    }
  }
  return total;
}

void LabelEntry(EntryBytes& entry) {
  namespace E = opera::entry;
  WriteBig32(&entry[E::kFlags], opera::kLastInDirectoryBit | opera::kLastInBlockBit | opera::kKindLabel);
  WriteBig32(&entry[E::kUniqueId], NewUniqueId());
  std::memcpy(&entry[E::kType], opera::kTypeLabel.data(), 4);
  WriteBig32(&entry[E::kBlockSize], kImageBlockSize);
  WriteBig32(&entry[E::kByteCount], opera::kLabelSize);
  WriteBig32(&entry[E::kBlockCount], 1);
  WriteBig32(&entry[E::kBurst], 1);
  std::memcpy(&entry[E::kName], "Disc label", 10);
}

int Fail(CompileReport* report, const std::string& problem) {
  if (report) report->problems.push_back(problem);
  return 0;
}

}  // namespace

int CompileImage(const std::string& folder, const std::string& imagePath, int32_t bootFlag,
                 const CompileOptions& options, CompileReport* report) {
  CompileReport ignored;
  if (!report) report = &ignored;
  const std::string start = CurrentDirectory();
  const std::string image = IsAbsolutePath(imagePath) ? imagePath : JoinPath(start, imagePath);
  TemporaryImage temporary(image);
  if (!temporary.Created()) {
    return Fail(report, imagePath + ": cannot be created (" + temporary.Error() + ")");
  }
  const bool boot = (bootFlag & 1) != 0;

  namespace L = opera::label;
  uint8_t label[opera::kLabelSize] = {};
  label[L::kRecordType] = 1;
  std::memset(&label[L::kSync], 0x5A, 5);
  label[L::kVersion] = 1;
  std::memcpy(&label[L::kLabelText], "CD-ROM", 6);
  ResetUniqueIds();
  WriteBig32(&label[L::kVolumeId], NewUniqueId());
  WriteBig32(&label[L::kBlockSize], kImageBlockSize);
  WriteBig32(&label[L::kRootId], NewUniqueId());
  WriteBig32(&label[L::kRootBlockSize], kImageBlockSize);

  ImageFile imageFile(temporary.TakeFile());
  std::vector<uint8_t> fill(kImageBlockSize);
  opera::FillPattern(fill.data(), fill.size());
  for (uint32_t block = 0; block < (boot ? kBootAreaEnd : 1); ++block) imageFile.Append(fill.data(), 1);

  // A folder that cannot be entered is not compiled at all: going on would
  // compile whatever folder happens to be current.
  if (!EnterDirectory(folder)) {
    return Fail(report, folder + ": folder cannot be entered (" + std::strerror(errno) + ")");
  }
  const std::string root = CurrentDirectory();
  Compilation run(imageFile);
  run.excluded.push_back(ObjectOf(imageFile.Handle()));
  struct stat existing {};
  if (stat(image.c_str(), &existing) == 0) run.excluded.push_back({existing.st_dev, existing.st_ino});
  struct stat rootInfo {};
  stat(root.c_str(), &rootInfo);
  run.path.push_back({rootInfo.st_dev, rootInfo.st_ino});
  if (options.progress) {
    run.progress = &options.progress;
    run.totalBytes = TotalBytes(root, run.excluded, run.path);
  }

  std::vector<EntryBytes> entries = CompileChildren(run, root, bootFlag, FolderLevel::kRoot);
  entries.emplace_back();
  LabelEntry(entries.back());

  const int32_t rootFirst = imageFile.Cursor();
  const int32_t blockCount = WriteDirectoryBlocks(imageFile, entries);
  WriteBig32(&label[L::kBlockCount], uint32_t(blockCount));
  WriteBig32(&label[L::kRootCopies], uint32_t(rootFirst));
  WriteBig32(&label[L::kRootBlockCount], uint32_t(blockCount - rootFirst));
  opera::FillPattern(fill.data(), fill.size());
  std::memcpy(fill.data(), label, sizeof label);
  imageFile.WriteAt(0, fill.data(), 1);
  if (boot) imageFile.WriteAt(kLabelCopyBlock, fill.data(), 1);

  report->problems.insert(report->problems.end(), run.problems.begin(), run.problems.end());
  if (!imageFile.Flush()) return Fail(report, imagePath + ": write failed (" + imageFile.Error() + ")");
  if (!temporary.PutInPlace(image)) {
    return Fail(report, imagePath + ": cannot be put in place (" + temporary.Error() + ")");
  }
  report->written = true;
  report->blockCount = uint32_t(blockCount);
  return 1;
}

}  // namespace zanthrel
