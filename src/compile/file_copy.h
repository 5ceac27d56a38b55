// A host file's data appended to the image in whole blocks.
#pragma once

#include <cstdint>
#include <string>

#include "compile/folder_scan.h"
#include "compile/run_state.h"

namespace zanthrel {

// Appends the data of the file `item` of `folder`, up to the size its
// folder's listing found; writes its byte count, big-endian, into the field.
// A file that cannot be stored whole, or whose size or modification time
// differs at the end of its reading from what the listing found, is reported.
// Returns the new block cursor.
int32_t CopyFileBlocks(CompileRun& run, const HostFolder& folder, const FolderItem& item,
                       uint8_t byteCountField[4]);

}  // namespace zanthrel
