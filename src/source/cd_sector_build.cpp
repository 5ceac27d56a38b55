#include "source/cd_sector_build.h"

#include <cstring>

#include "source/cd_ecc.h"
#include "source/cd_edc.h"
#include "source/cd_sector.h"

namespace zanthrel {

namespace {

// Frames of an MSF address, which wraps at 100 minutes.
constexpr int64_t kMsfFrames = 100 * 60 * int64_t(kFramesPerSecond);
// Two seconds lie before block 0.
constexpr int64_t kLeadFrames = 2 * int64_t(kFramesPerSecond);
constexpr uint32_t kUserBytes = 2048;
constexpr uint32_t kUserStart = 16;
constexpr uint32_t kEdcOffset = kUserStart + kUserBytes;
// A Mode 2 Form 1 sector: the subheader, twice, then the user data.
constexpr uint8_t kDataSubheader[8] = {0, 0, 0x08, 0, 0, 0, 0x08, 0};
constexpr uint32_t kForm1UserStart = kUserStart + sizeof kDataSubheader;
constexpr uint32_t kForm1EdcOffset = kForm1UserStart + kUserBytes;

void WriteEdc(uint32_t edc, uint8_t* at) {
  for (int k = 0; k < 4; ++k) at[k] = uint8_t(edc >> (8 * k));
}

uint8_t Bcd(int64_t value) { return uint8_t((value / 10) << 4 | (value % 10)); }

}  // namespace

void WriteFrameHead(int64_t lba, uint8_t mode, uint8_t* frame) {
  const int64_t address = ((lba + kLeadFrames) % kMsfFrames + kMsfFrames) % kMsfFrames;
  std::memcpy(frame, kCdSync, sizeof kCdSync);
  frame[12] = Bcd(address / (60 * int64_t(kFramesPerSecond)));
  frame[13] = Bcd(address / int64_t(kFramesPerSecond) % 60);
  frame[14] = Bcd(address % int64_t(kFramesPerSecond));
  frame[kCdModeByte] = mode;
}

void BuildMode1Sector(int64_t lba, const uint8_t* user, uint8_t* frame) {
  WriteFrameHead(lba, 1, frame);
  std::memcpy(frame + kUserStart, user, kUserBytes);
  WriteEdc(CdEdc(frame, kEdcOffset), frame + kEdcOffset);
  std::memset(frame + kEdcOffset + 4, 0, 8);
  WriteEccParity(frame);
}

void BuildMode2Form1Sector(int64_t lba, const uint8_t* user, uint8_t* frame) {
  WriteFrameHead(lba, 2, frame);
  std::memcpy(frame + kUserStart, kDataSubheader, sizeof kDataSubheader);
  std::memcpy(frame + kForm1UserStart, user, kUserBytes);
  // The EDC of Form 1 covers the subheader, not the header.
  WriteEdc(CdEdc(frame + kUserStart, kForm1EdcOffset - kUserStart), frame + kForm1EdcOffset);
  WriteEccParity(frame);
}

}  // namespace zanthrel
