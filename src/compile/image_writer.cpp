#include "compile/image_writer.h"

#include <algorithm>
#include <optional>

#include "compile/directory_blocks.h"
#include "compile/file_copy.h"
#include "compile/folder_names.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel {

std::vector<EntryBytes> CompileChildren(CompileRun& run, const std::string& hostPath,
                                        int32_t bootFlag, FolderLevel level) {
  const bool boot = (bootFlag & 1) != 0;
  FolderList list = run.scans ? run.scans->Next(hostPath) : ScanFolder(run.host, hostPath, run.excluded);
  run.problems.insert(run.problems.end(), list.problems.begin(), list.problems.end());
  const std::vector<StoredName> names = StoredNames(list.items, level == FolderLevel::kRoot);
  std::vector<EntryBytes> entries;
  // Opened for the first file and let go before each subfolder, so that a
  // deep tree holds one folder open at a time, not one per level.
  std::optional<HostFolder> folder;
  for (size_t i = 0; i < list.items.size(); ++i) {
    const FolderItem& item = list.items[i];
    const std::string childPath = JoinPath(hostPath, item.hostName);
    const std::string name = Utf8ToCp1251(item.hostName);
    if (item.isDirectory &&
        std::find(run.path.begin(), run.path.end(), item.identity) != run.path.end()) {
      Report(run, childPath, "leads back to a folder above it (link loop); left out");
      continue;
    }
    if (!names[i].change.empty()) {
      run.renamed.push_back(childPath + ": stored as \"" + Cp1251ToUtf8(names[i].name) + "\" (" +
                            names[i].change + ")");
    }
    EntryBytes entry = ChildEntry(item, names[i].name);
    const int32_t before = run.image.Cursor();
    if (item.isDirectory) {
      const int32_t childBoot = boot && IsBootCodeFolder(name, level) ? bootFlag : 0;
      folder.reset();
      run.path.push_back(item.identity);
      const int32_t after = CompileFolder(run, childPath, &entry[opera::entry::kCopies], childBoot);
      run.path.pop_back();
      const uint32_t firstDirectoryBlock = opera::ReadBig32(&entry[opera::entry::kCopies]);
      FinishEntry(entry, run.ids, uint32_t(after) - firstDirectoryBlock, firstDirectoryBlock);
    } else {
      if (!folder) folder = run.host.OpenFolder(hostPath);
      const int32_t after = CopyFileBlocks(run, *folder, item, &entry[opera::entry::kByteCount]);
      if (boot) CopyToBootSlots(run, name, childPath, level);
      FinishEntry(entry, run.ids, uint32_t(after - before), uint32_t(before));
    }
    entries.push_back(entry);
  }
  return entries;
}

int32_t CompileFolder(CompileRun& run, const std::string& hostPath, uint8_t parentCopyField[4],
                      int32_t bootFlag) {
  std::vector<EntryBytes> entries = CompileChildren(run, hostPath, bootFlag, FolderLevel::kBelowRoot);
  const int32_t first = run.image.Cursor();
  const int32_t after = WriteDirectoryBlocks(run.image, entries);
  opera::WriteBig32(parentCopyField, uint32_t(first));
  return after;
}

}  // namespace zanthrel
