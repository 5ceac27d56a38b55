// Whole 2352-byte data frames made from what an image keeps of them: the
// 2048 user bytes of a Mode 1 or Mode 2 Form 1 sector, or a Mode 2 record
// without its sync and header.
#pragma once

#include <cstdint>

namespace zanthrel {

// The sync and the header of the frame at disc address `lba` (block 0 at
// INDEX 01 of the first track): its MSF, lba + 150 in BCD, and `mode`.
void WriteFrameHead(int64_t lba, uint8_t mode, uint8_t* frame);

// The Mode 1 frame at `lba` around the 2048 bytes at `user`: sync, header,
// user data, EDC, eight zero bytes, P and Q parity.
void BuildMode1Sector(int64_t lba, const uint8_t* user, uint8_t* frame);

// The Mode 2 Form 1 frame at `lba` around the 2048 bytes at `user`: sync,
// header, the subheader of a data sector twice, user data, EDC, P and Q.
void BuildMode2Form1Sector(int64_t lba, const uint8_t* user, uint8_t* frame);

}  // namespace zanthrel
