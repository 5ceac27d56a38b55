#include "source/file_track.h"

#include <algorithm>
#include <cstring>

namespace zanthrel {

namespace {
constexpr size_t kRecordsPerRead = 64;
// The sync and header that 2336-byte records leave out, as a Mode 2 sector
// whose address no check covers.
constexpr uint8_t kMode2Head[16] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x02};
}  // namespace

FileTrack::FileTrack(HostFile file, uint64_t start, RecordFormat format, uint64_t sectors,
                     ContainerFields fields)
    : file_(std::move(file)), start_(start), format_(format), sectors_(sectors), fields_(std::move(fields)) {
  fields_.mode = RecordModeName(format);
}

size_t FileTrack::ReadSectors(uint64_t first, size_t count, uint8_t* destination) {
  if (first >= sectors_) return 0;
  count = size_t(std::min<uint64_t>(count, sectors_ - first));
  const uint64_t offset = start_ + first * format_.recordSize;
  if (format_.recordSize == kUserDataSize) {
    Result<size_t> read = file_.ReadAt(offset, destination, count * kUserDataSize);
    return read ? *read / kUserDataSize : 0;
  }
  size_t done = 0;
  while (done < count) {
    const size_t batch = std::min(count - done, kRecordsPerRead);
    records_.resize(kRecordsPerRead * format_.recordSize);
    Result<size_t> read =
        file_.ReadAt(offset + done * format_.recordSize, records_.data(), batch * format_.recordSize);
    const size_t whole = read ? *read / format_.recordSize : 0;
    for (size_t k = 0; k < whole; ++k) {
      const uint8_t* user = CheckedUserData(first + done + k, records_.data() + k * format_.recordSize);
      if (!user) return done + k;
      std::memcpy(destination + (done + k) * kUserDataSize, user, kUserDataSize);
    }
    done += whole;
    if (whole < batch) break;
  }
  return done;
}

const uint8_t* FileTrack::CheckedUserData(uint64_t sector, uint8_t* record) {
  SectorCondition condition;
  if (format_.recordSize >= kCdFrameSize) {
    condition = CheckRawSector(record, format_.userOffset == kMode1Raw.userOffset ? 1 : 2);
  } else {
    // Checked as the whole sector it was cut from.
    uint8_t sector2352[kCdFrameSize];
    std::memcpy(sector2352, kMode2Head, sizeof kMode2Head);
    std::memcpy(sector2352 + sizeof kMode2Head, record, kCdFrameSize - sizeof kMode2Head);
    condition = CheckRawSector(sector2352, 2);
    std::memcpy(record, sector2352 + sizeof kMode2Head, kCdFrameSize - sizeof kMode2Head);
  }
  findings_.Note(sector, condition);
  if (condition == SectorCondition::kDamaged && !keepDamaged_) return nullptr;
  return record + format_.userOffset;
}

}  // namespace zanthrel
