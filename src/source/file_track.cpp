#include "source/file_track.h"

#include <algorithm>
#include <cstring>

namespace zanthrel {

namespace {
constexpr size_t kRecordsPerRead = 64;
}  // namespace

FileTrack::FileTrack(HostFile file, uint64_t start, RecordFormat format, uint64_t sectors,
                     std::string description)
    : file_(std::move(file)),
      start_(start),
      format_(format),
      sectors_(sectors),
      description_(std::move(description)) {}

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
      std::memcpy(destination + (done + k) * kUserDataSize,
                  records_.data() + k * format_.recordSize + format_.userOffset, kUserDataSize);
    }
    done += whole;
    if (whole < batch) break;
  }
  return done;
}

}  // namespace zanthrel
