// The directory entries that the compiler writes: a child's entry, filled in
// two steps around writing the child, and the label entry that ends the root.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "compile/folder_scan.h"
#include "compile/unique_ids.h"

namespace zanthrel {

using EntryBytes = std::array<uint8_t, 72>;

// The entry of a file or folder child, stored under `name` (Windows-1251, at
// most 32 bytes), as far as it is known before the child is written.
EntryBytes ChildEntry(const FolderItem& item, const std::string& name);
// Sets the fields that are known only once the child is written.
void FinishEntry(EntryBytes& entry, UniqueIdGenerator& ids, uint32_t blockCount, uint32_t firstBlock);
// The root's last entry, which describes the volume label as a file.
EntryBytes LabelEntry(UniqueIdGenerator& ids);

}  // namespace zanthrel
