#include "source/containers/raw_container.h"

#include "opera/records.h"
#include "source/file_track.h"

namespace zanthrel {

namespace {
// The label's head up to its version byte, which is all a label must carry.
constexpr size_t kLabelHead = 6;
}  // namespace

std::optional<RecordFormat> RawMode2Format(const uint8_t* head, size_t length) {
  if (length < 32) return std::nullopt;
  if (HasCdSync(head) && head[kCdModeByte] == 2) return kMode2Raw;
  if (std::memcmp(head + kMode2Records.userOffset, opera::kLabelSignature, kLabelHead) == 0) {
    return kMode2Records;
  }
  return std::nullopt;
}

std::unique_ptr<DataTrack> OpenRawTrack(HostFile file, uint64_t fileSize, RecordFormat format) {
  const char* what = format.recordSize == kCdFrameSize ? "raw 2352, MODE2" : "raw 2336, MODE2";
  return std::make_unique<FileTrack>(std::move(file), 0, format, RecordsFrom(fileSize, 0, format),
                                     ContainerFields{"raw", {}, 0, "", what});
}

}  // namespace zanthrel
