#include "volume/layout_scan.h"

#include <cstring>
#include <optional>

#include "opera/records.h"
#include "volume/entry.h"
#include "volume/label.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

LayoutLabel LabelRecord(const Label& label) {
  namespace L = opera::label;
  const opera::LabelView view = label.View();
  LayoutLabel record;
  record.recordType = label.bytes[L::kRecordType];
  record.version = label.bytes[L::kVersion];
  record.flags = label.bytes[L::kFlags];
  record.comment = LabelComment(view);
  record.text = LabelText(view);
  record.volumeId = view.Field(L::kVolumeId);
  record.blockSize = view.Field(L::kBlockSize);
  record.blockCount = view.BlockCount();
  record.rootId = view.Field(L::kRootId);
  record.rootBlockCount = view.RootBlockCount();
  record.rootBlockSize = view.RootBlockSize();
  record.lastRootCopy = view.LastRootCopy();
  for (uint32_t i = 0; i < L::kRootCopySlots; ++i) record.rootCopies[i] = view.RootCopy(i);
  return record;
}

LayoutEntry EntryRecord(const opera::EntryView& entry) {
  namespace E = opera::entry;
  LayoutEntry record;
  record.flags = entry.Flags();
  record.uniqueId = entry.Field(E::kUniqueId);
  std::memcpy(record.type.data(), entry.Bytes() + E::kType, record.type.size());
  record.blockSize = entry.BlockSize();
  record.byteCount = entry.ByteCount();
  record.blockCount = entry.BlockCount();
  record.burst = entry.Field(E::kBurst);
  record.gap = entry.Field(E::kGap);
  record.name = EntryName(entry);
  record.lastCopyIndex = entry.LastCopyIndex();
  // A block that reads holds the whole copy list of each of its entries.
  record.copies = CopiesOf(entry).Blocks();
  return record;
}

// Takes down one copy's blocks and entries, without going below.
class RecordingVisitor : public DirectoryVisitor {
 public:
  explicit RecordingVisitor(LayoutDirectory& directory) : directory_(directory) {}
  void OnBlock(const uint8_t* block) override {
    namespace H = opera::header;
    auto field = [block](size_t offset) { return opera::ReadBig32(block + offset); };
    directory_.blocks.push_back({field(H::kNextBlock), field(H::kPreviousBlock), field(H::kFlags),
                                 field(H::kFirstFree), field(H::kFirstEntry), 0});
  }
  bool OnEntry(const opera::EntryView& entry) override {
    directory_.entries.push_back(EntryRecord(entry));
    ++directory_.blocks.back().entryCount;
    return true;
  }

 private:
  LayoutDirectory& directory_;
};

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

struct Scanner {
  ImageSource& source;
  const LayoutScanOptions& options;
  DiscLayout& layout;
  WalkPath walking;

  // Gives every entry of the directory at `index` the host path decompile
  // writes it as: one FolderHostNames per folder, fed in disc order, the
  // label entry that decompile passes over taking no name.
  void NameEntries(size_t index, bool root) {
    LayoutDirectory& directory = layout.directories[index];
    FolderHostNames names(options.rules, options.names);
    for (LayoutEntry& entry : directory.entries) {
      if (!entry.IsDirectory() && root && IsDiscLabelName(entry.name) && !options.extractDiscLabel) continue;
      const std::string name = entry.IsDirectory() ? names.FolderName(entry.name) : names.FileName(entry.name);
      entry.hostPath = JoinHostPath(directory.hostPath, TextAsUtf8(name, options.names));
    }
  }

  // Records the directory from its first copy whose blocks read whole, then
  // the folders below it in entry order, as decompile walks them; false when
  // no copy reads, which leaves the record without blocks or entries.
  bool ScanDirectory(LayoutDirectory directory, bool root) {
    const size_t index = layout.directories.size();
    layout.directories.push_back(std::move(directory));
    const std::vector<uint32_t> copies = layout.directories[index].copies;
    for (uint32_t first : copies) {
      if (!walking.Enter(first)) continue;
      LayoutDirectory read;
      RecordingVisitor visitor(read);
      const LayoutDirectory& record = layout.directories[index];
      const bool complete =
          WalkDirectoryCopy(source, first, record.blockCount, record.blockSize, visitor).end == WalkEnd::kComplete;
      if (complete) {
        layout.directories[index].blocks = std::move(read.blocks);
        layout.directories[index].entries = std::move(read.entries);
        NameEntries(index, root);
        ScanFolders(index);
      }
      walking.Leave(complete);
      if (complete) return true;
    }
    return false;
  }

  void ScanFolders(size_t index) {
    // The directory's record moves as the list grows: its entries are read by index.
    for (size_t i = 0; i < layout.directories[index].entries.size(); ++i) {
      const LayoutEntry& entry = layout.directories[index].entries[i];
      if (!entry.IsDirectory()) continue;
      LayoutDirectory sub;
      sub.hostPath = entry.hostPath;
      sub.blockSize = entry.blockSize;
      sub.blockCount = entry.blockCount;
      sub.copies = entry.copies;
      ScanDirectory(std::move(sub), false);
    }
  }
};

}  // namespace

uint32_t ImageBlocksOf(ImageSource& source, uint32_t labelBlockCount) {
  // Past the end of any image, told without reading: the end is known.
  if (!PastTheEnd(source, 0, kSectorSize, UINT32_MAX)) return labelBlockCount;
  // The first record past the end, found by halves.
  uint64_t low = 0, high = UINT32_MAX;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (PastTheEnd(source, 0, kSectorSize, middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return uint32_t(low);
}

Result<DiscLayout> ScanLayout(ImageSource& source, const LayoutScanOptions& options) {
  const std::optional<Label> label = ReadLabel(source);
  if (!label) return Error{"the volume label cannot be read"};
  DiscLayout layout;
  layout.label = LabelRecord(*label);
  layout.imageBlocks = ImageBlocksOf(source, layout.label.blockCount);
  LayoutDirectory root;
  root.blockSize = layout.label.rootBlockSize;
  root.blockCount = layout.label.rootBlockCount;
  root.copies = label->RootCopies().Blocks();
  Scanner scanner{source, options, layout, {}};
  if (!scanner.ScanDirectory(std::move(root), true)) return Error{"no copy of the root directory can be read"};
  return layout;
}

}  // namespace zanthrel
