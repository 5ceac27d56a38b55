// Facts of CD sectors that every container shares: the raw frame, its sync
// pattern, and where the 2048 user bytes sit in each kind of stored record.
#pragma once

#include <cstdint>
#include <cstring>

namespace zanthrel {

inline constexpr uint32_t kCdFrameSize = 2352;
inline constexpr uint32_t kCdSubcodeSize = 96;
inline constexpr uint8_t kCdSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
// Byte 15 of a raw data sector: 1 or 2.
inline constexpr uint32_t kCdModeByte = 15;

// How a track's sectors are stored: bytes per record, and the offset of the
// 2048 user bytes in a record.
struct RecordFormat {
  uint32_t recordSize;
  uint32_t userOffset;
};
inline constexpr RecordFormat kCooked{2048, 0};
inline constexpr RecordFormat kMode1Raw{2352, 16};
inline constexpr RecordFormat kMode2Raw{2352, 24};
inline constexpr RecordFormat kMode2Records{2336, 8};  // sync and header left out

inline bool HasCdSync(const uint8_t* sector) { return std::memcmp(sector, kCdSync, 12) == 0; }

// Frames of a "mm:ss:ff" time: 75 frames a second.
inline constexpr uint64_t kFramesPerSecond = 75;

}  // namespace zanthrel
