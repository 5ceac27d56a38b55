#include "source/chd/cd_hunk_layout.h"

#include <cstring>

#include "source/cd_ecc.h"
#include "source/cd_sector.h"

namespace zanthrel {

namespace {
// Where the P and Q parity sit in a raw sector, 276 bytes in all.
constexpr size_t kParityOffset = 2076;
constexpr size_t kParityBytes = kCdFrameSize - kParityOffset;
}  // namespace

uint32_t CdFlacBlockSize(uint32_t frames) {
  uint32_t blockSize = frames * kCdFrameSize / 4;
  while (blockSize > kCdFrameSize) blockSize /= 2;
  return blockSize;
}

bool CanLeaveOutSyncAndParity(const uint8_t* frame) {
  if (!HasCdSync(frame)) return false;
  uint8_t rebuilt[kCdFrameSize];
  std::memcpy(rebuilt, frame, kParityOffset);
  WriteEccParity(rebuilt);
  return std::memcmp(rebuilt + kParityOffset, frame + kParityOffset, kParityBytes) == 0;
}

void LeaveOutSyncAndParity(uint8_t* frame) {
  std::memset(frame, 0, sizeof kCdSync);
  std::memset(frame + kParityOffset, 0, kParityBytes);
}

void RestoreSyncAndParity(uint8_t* frame) {
  std::memcpy(frame, kCdSync, sizeof kCdSync);
  WriteEccParity(frame);
}

}  // namespace zanthrel
