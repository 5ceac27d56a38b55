// A host file's data appended to the image in whole blocks.
#pragma once

#include <cstdint>
#include <string>

#include "compile/run_state.h"

namespace zanthrel {

// Appends the file's data, up to `size`, the bytes its folder's listing
// found; writes its byte count, big-endian, into the field. A file that
// cannot be stored whole is reported. Returns the new block cursor.
int32_t CopyFileBlocks(CompileRun& run, const std::string& hostPath, uint64_t size,
                       uint8_t byteCountField[4]);

}  // namespace zanthrel
