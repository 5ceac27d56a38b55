// How the CD codecs of a CHD (cdlz, cdzl, cdzs, cdfl) lay out a hunk of
// frames, shared by the reader that rebuilds hunks and the writer that makes
// them: the sizes of their fields and which frames leave out their sync and
// parity.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zanthrel {

// Bytes of the bitmap of frames whose sync and parity were left out, and of
// the length of the sector stream that follows it (cdzl, cdlz, cdzs).
inline size_t CdFlagBytes(uint32_t frames) { return (frames + 7) / 8; }
inline size_t CdBaseLengthBytes(uint32_t hunkBytes) { return hunkBytes < 65536 ? 2 : 3; }

// Samples per FLAC block in cdfl: a quarter of the sector bytes, halved
// while above one frame's 2352 (one frame's 588 samples times four for 8 frames).
uint32_t CdFlacBlockSize(uint32_t frames);

// A frame (2352 bytes) with its sync in place and P/Q parity that
// regenerates exactly from its bytes (for Mode 2, with the address taken as
// zero): the codecs store it without them, and a reader makes them again.
bool CanLeaveOutSyncAndParity(const uint8_t* frame);
void LeaveOutSyncAndParity(uint8_t* frame);
void RestoreSyncAndParity(uint8_t* frame);

}  // namespace zanthrel
