#include "compile/entries.h"

#include <algorithm>
#include <cstring>

#include "compile/entry_names.h"
#include "compile/image_file.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "volume/entry.h"

namespace zanthrel {

using opera::WriteBig32;
namespace E = opera::entry;

EntryBytes ChildEntry(const FolderItem& item, const std::string& name) {
  EntryBytes entry{};
  WriteBig32(&entry[E::kFlags], item.isDirectory ? opera::kKindDirectory : opera::kKindFile);
  if (item.isDirectory) {
    std::memcpy(&entry[E::kType], opera::kTypeDirectory.data(), 4);
    WriteBig32(&entry[E::kByteCount], kImageBlockSize);
  } else {
    WriteBig32(&entry[E::kType], MakeEntryType(Utf8ToCp1251(item.hostName)));
  }
  WriteBig32(&entry[E::kBlockSize], kImageBlockSize);
  WriteBig32(&entry[E::kBurst], 1);
  std::memcpy(&entry[E::kName], name.data(), std::min(name.size(), E::kNameWidth));
  return entry;
}

void FinishEntry(EntryBytes& entry, UniqueIdGenerator& ids, uint32_t blockCount, uint32_t firstBlock) {
  WriteBig32(&entry[E::kUniqueId], ids.NewUniqueId());
  WriteBig32(&entry[E::kBlockCount], blockCount);
  WriteBig32(&entry[E::kCopies], firstBlock);
}

EntryBytes LabelEntry(UniqueIdGenerator& ids) {
  EntryBytes entry{};
  WriteBig32(&entry[E::kFlags], opera::kLastInDirectoryBit | opera::kLastInBlockBit | opera::kKindLabel);
  WriteBig32(&entry[E::kUniqueId], ids.NewUniqueId());
  std::memcpy(&entry[E::kType], opera::kTypeLabel.data(), 4);
  WriteBig32(&entry[E::kBlockSize], kImageBlockSize);
  WriteBig32(&entry[E::kByteCount], opera::kLabelSize);
  WriteBig32(&entry[E::kBlockCount], 1);
  WriteBig32(&entry[E::kBurst], 1);
  std::memcpy(&entry[E::kName], kDiscLabelName.data(), kDiscLabelName.size());
  return entry;
}

}  // namespace zanthrel
