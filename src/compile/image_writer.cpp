#include "compile/image_writer.h"

#include <optional>

#include "compile/boot_slots.h"
#include "compile/directory_blocks.h"
#include "compile/file_copy.h"
#include "compile/folder_names.h"
#include "opera/records.h"
#include "support/cp1251.h"

namespace zanthrel {

namespace {

// Writes each file as the walk reaches it and each folder's directory blocks
// as the walk leaves it, so that a folder's blocks follow its subtree.
class TreeWriter : public TreeVisitor {
 public:
  explicit TreeWriter(CompileRun& run) : run_(run) {}

  std::vector<EntryBytes> TakeRootEntries() { return std::move(rootEntries_); }

  SharedFolderList List(const SourceTree& tree, const std::string& path) override {
    return run_.scans ? run_.scans->Next(path) : tree.List(path);
  }

  bool Enter(const WalkFolder& folder) override {
    const FolderList& list = *folder.list;
    run_.problems.insert(run_.problems.end(), list.problems.begin(), list.problems.end());
    // Told once, where the folder was first walked.
    if (!folder.again) run_.warnings.insert(run_.warnings.end(), list.warnings.begin(), list.warnings.end());
    folders_.push_back({StoredNames(list.items, folder.level == FolderLevel::kRoot, run_.names), {}, {}, {}});
    return true;
  }

  void File(const WalkFolder& folder, size_t index, const std::string& path) override {
    const FolderItem& item = folder.list->items[index];
    FolderBeingWritten& current = folders_.back();
    EntryBytes entry = StartEntry(item, index, path);
    const int32_t before = run_.image.Cursor();
    if (!current.handle) current.handle = run_.host.OpenFolder(folder.path);
    const int32_t after = CopyFileBlocks(run_, *current.handle, item, &entry[opera::entry::kByteCount]);
    if (folder.bootArea) {
      const std::string name = Utf8ToCp1251(item.hostName);
      CopyToBootSlots(run_, name, path, folder.level);
      run_.bootFiles.Note(name, folder.level);
    }
    FinishEntry(entry, run_.ids, uint32_t(after - before), uint32_t(before));
    current.entries.push_back(entry);
  }

  void LinkLoop(const WalkFolder&, size_t, const std::string& path) override {
    Report(run_, path, "leads back to a folder above it (link loop); left out");
  }

  // A chain of links that each lead to one folder twice doubles the image at every step.
  void FolderAgain(const WalkFolder&, size_t, const std::string& path, const std::string& firstPath) override {
    run_.warnings.push_back(path + ": the same folder as " + firstPath + ", stored again");
  }

  void Descend(const WalkFolder& folder, size_t index, const std::string& path) override {
    FolderBeingWritten& current = folders_.back();
    current.subfolderEntry = StartEntry(folder.list->items[index], index, path);
    // A deep tree holds one folder open at a time, not one per level.
    current.handle.reset();
  }

  // The folder's directory blocks follow its subtree; the root's are left to the run.
  void Leave(const WalkFolder&) override {
    FolderBeingWritten done = std::move(folders_.back());
    folders_.pop_back();
    if (folders_.empty()) {
      rootEntries_ = std::move(done.entries);
      return;
    }
    const int32_t first = run_.image.Cursor();
    const int32_t after = WriteDirectoryBlocks(run_.image, done.entries);
    FolderBeingWritten& parent = folders_.back();
    FinishEntry(parent.subfolderEntry, run_.ids, uint32_t(after - first), uint32_t(first));
    parent.entries.push_back(parent.subfolderEntry);
  }

 private:
  // A folder whose children are being written.
  struct FolderBeingWritten {
    std::vector<StoredName> names;  // in list order
    std::vector<EntryBytes> entries;
    // Opened for the first file and let go before each subfolder.
    std::optional<HostFolder> handle;
    // The entry of the child folder being walked, finished once it is written.
    EntryBytes subfolderEntry;
  };

  EntryBytes StartEntry(const FolderItem& item, size_t index, const std::string& path) {
    const StoredName& stored = folders_.back().names[index];
    if (!stored.change.empty()) {
      run_.renamed.push_back(path + ": stored as \"" + TextAsUtf8(stored.name, run_.names) + "\" (" +
                             stored.change + ")");
    }
    return ChildEntry(item, stored.name);
  }

  CompileRun& run_;
  std::vector<FolderBeingWritten> folders_;  // from the root down
  std::vector<EntryBytes> rootEntries_;
};

}  // namespace

std::vector<EntryBytes> WriteTree(CompileRun& run, const SourceTree& tree, bool bootArea) {
  TreeWriter writer(run);
  WalkTree(tree, bootArea, writer);
  return writer.TakeRootEntries();
}

}  // namespace zanthrel
