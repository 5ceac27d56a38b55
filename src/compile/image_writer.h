// The body of an image: the data blocks of every file and the directory
// blocks of every folder, laid out in post-order behind the block cursor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compile/boot_slots.h"
#include "compile/entries.h"
#include "compile/run_state.h"

namespace zanthrel {

// Writes the children of a folder, in list order, and gives their entries.
// With the boot area, files with special names also go into their boot slots.
std::vector<EntryBytes> CompileChildren(CompileRun& run, const std::string& hostPath,
                                        int32_t bootFlag, FolderLevel level);
// Writes the folder's subtree and then its directory blocks; stores its first
// directory block, big-endian, into `parentCopyField`. Returns the new cursor.
int32_t CompileFolder(CompileRun& run, const std::string& hostPath, uint8_t parentCopyField[4],
                      int32_t bootFlag);

}  // namespace zanthrel
