#include "compile/compile_run.h"

#include <cstring>
#include <optional>

#include "compile/boot_slots.h"
#include "compile/cd_capacity.h"
#include "compile/directory_blocks.h"
#include "compile/entries.h"
#include "compile/image_writer.h"
#include "compile/scan_ahead.h"
#include "compile/tree_walk.h"
#include "compile/volume_label.h"
#include "opera/records.h"
#include "support/text.h"

namespace zanthrel {

namespace {

using opera::WriteBig32;

// Bytes of every file below the folder, for progress only.
class ByteCount : public TreeVisitor {
 public:
  uint64_t total = 0;

  void File(const WalkFolder& folder, size_t index, const std::string&) override {
    total += folder.list->items[index].size;
  }
};

CompileReport Failed(CompileReport report, std::string failure) {
  report.failure = std::move(failure);
  return report;
}

}  // namespace

CompileReport CompileImage(const std::string& folder, const std::string& imagePath, bool bootArea,
                           const CompileOptions& options) {
  Host& host = *options.host;
  UniqueIdGenerator freshIds;
  UniqueIdGenerator& ids = options.ids ? *options.ids : freshIds;
  CompileReport report;
  if (Status output = CheckImageOutput(host, imagePath); !output) {
    report.refused = true;
    return Failed(report, output.Failure().text);
  }
  const Result<std::string> image = AbsolutePath(host, imagePath);
  if (!image) return Failed(report, image.Failure().text);
  Result<TemporaryFile> temporary = TemporaryFile::CreateBeside(host, *image);
  if (!temporary) {
    return Failed(report, imagePath + ": cannot be created (" + ErrorText(temporary.Failure().code) + ")");
  }

  namespace L = opera::label;
  uint8_t label[opera::kLabelSize] = {};
  StartLabel(label, ids);

  ImageFile imageFile(temporary->File());
  std::vector<uint8_t> fill(kImageBlockSize);
  opera::FillPattern(fill.data(), fill.size());
  for (uint32_t block = 0; block < (bootArea ? kBootAreaEnd : 1); ++block) imageFile.Append(fill.data(), 1);

  // Folders are named by their real full paths, as the problems report them.
  const Result<std::string> root = host.RealPath(folder);
  const Result<PathInfo> rootInfo = root ? host.InfoOf(*root) : Result<PathInfo>(root.Failure());
  if (!rootInfo) return Failed(report, folder + ": folder cannot be read (" + ErrorText(rootInfo.Failure().code) + ")");
  if (rootInfo->kind != PathKind::kFolder) return Failed(report, folder + ": not a folder");

  SourceTree tree{host, *root, rootInfo->identity, {}, options.outsideLinks};
  if (Result<PathInfo> written = temporary->File().Info()) tree.excluded.push_back(written->identity);
  if (Result<PathInfo> existing = host.InfoOf(*image)) tree.excluded.push_back(existing->identity);
  // Listed once, for the label file and the walk.
  FolderList rootList = *tree.List(tree.root);
  const std::optional<LabelFile> labelFile = FindLabelFile(host, tree.root, rootList, options.names);
  if (labelFile) {
    std::erase_if(rootList.items, [&](const FolderItem& item) { return item.hostName == labelFile->hostName; });
    report.labelFile = labelFile->path;
  }
  tree.rootList = std::make_shared<const FolderList>(std::move(rootList));
  TakeLabelFields(label, options.label, labelFile ? &*labelFile : nullptr);
  CompileRun run(host, ids, imageFile);
  run.cancel = options.cancel;
  run.fileAdded = options.fileAdded;
  run.names = options.names;
  if (options.progress) {
    run.progress = &options.progress;
    ByteCount count;
    WalkTree(tree, bootArea, count);
    run.totalBytes = count.total;
  }
  ScanAhead scans(tree);
  run.scans = &scans;

  std::vector<EntryBytes> entries = WriteTree(run, tree, bootArea);
  entries.push_back(LabelEntry(ids));

  const int32_t rootFirst = imageFile.Cursor();
  const int32_t blockCount = WriteDirectoryBlocks(imageFile, entries);
  WriteBig32(&label[L::kBlockCount], uint32_t(blockCount));
  WriteBig32(&label[L::kRootCopies], uint32_t(rootFirst));
  WriteBig32(&label[L::kRootBlockCount], uint32_t(blockCount - rootFirst));
  opera::FillPattern(fill.data(), fill.size());
  std::memcpy(fill.data(), label, sizeof label);
  imageFile.WriteAt(0, fill.data(), 1);
  if (bootArea) imageFile.WriteAt(kLabelCopyBlock, fill.data(), 1);

  report.problems = std::move(run.problems);
  report.renamed = std::move(run.renamed);
  report.warnings = std::move(run.warnings);
  if (bootArea) {
    if (std::optional<std::string> missing = run.bootFiles.MissingWarning(tree.root)) report.warnings.push_back(*missing);
  }
  // Dropping the temporary file keeps the old image as it was.
  if (options.cancel.Requested()) {
    report.cancelled = true;
    return Failed(report, imagePath + ": not written, stopped by the user");
  }
  if (!imageFile.Flush()) {
    return Failed(report, imagePath + ": write failed (" + ErrorText(imageFile.Failure()->code) + ")");
  }
  if (Status placed = temporary->Commit(); !placed) {
    return Failed(report, imagePath + ": cannot be put in place (" + ErrorText(placed.Failure().code) + ")");
  }
  report.written = true;
  report.blockCount = uint32_t(blockCount);
  if (std::optional<std::string> tooLarge = CdCapacityWarning(imagePath, report.blockCount)) {
    report.warnings.push_back(*tooLarge);
  }
  return report;
}

}  // namespace zanthrel
