// The directory blocks of one folder: its entries, 28 to a block.
#pragma once

#include <cstdint>
#include <vector>

#include "compile/entries.h"
#include "compile/image_file.h"

namespace zanthrel {

// Appends the blocks, the last-in-block bit on the last entry of every block
// that another follows. Returns the new cursor.
int32_t WriteDirectoryBlocks(ImageFile& image, std::vector<EntryBytes>& entries);

}  // namespace zanthrel
