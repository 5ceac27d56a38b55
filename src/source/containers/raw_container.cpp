#include "source/containers/raw_container.h"

#include "opera/records.h"
#include "source/file_disc.h"
#include "source/file_track.h"

namespace zanthrel {

namespace {
// The label's head up to its version byte, which is all a label must carry.
constexpr size_t kLabelHead = 6;

const char* Description(RecordFormat format) {
  return format.recordSize == kCdFrameSize ? "raw 2352, MODE2" : "raw 2336, MODE2";
}
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
  return std::make_unique<FileTrack>(std::move(file), 0, format, RecordsFrom(fileSize, 0, format),
                                     ContainerFields{"raw", {}, 0, "", Description(format)});
}

std::unique_ptr<DiscImage> OpenRawDisc(HostFile file, uint64_t fileSize, RecordFormat format) {
  StoredTrack track;
  track.track.mode = FrameMode::kMode2;
  track.track.frames = RecordsFrom(fileSize, 0, format);
  track.records.file = std::make_shared<const HostFile>(std::move(file));
  track.records.recordSize = format.recordSize;
  std::vector<StoredTrack> tracks;
  tracks.push_back(std::move(track));
  return MakeFileDisc(std::move(tracks), 0, Description(format));
}

}  // namespace zanthrel
