#include "source/containers/containers.h"

#include <algorithm>
#include <string_view>

#include "source/chd/chd_container.h"
#include "source/chd/chd_header.h"
#include "source/containers/cue_container.h"
#include "source/containers/cue_sheet.h"
#include "source/containers/nrg_container.h"
#include "source/containers/raw_container.h"

namespace zanthrel {

namespace {

// No cue sheet comes near this size; a larger file is an image.
constexpr uint64_t kMaxCueSheetSize = 1 << 20;
constexpr size_t kHeadSize = 64;
constexpr size_t kTailSize = 12;

bool IsGzip(const uint8_t* head, size_t length) { return length >= 2 && head[0] == 0x1F && head[1] == 0x8B; }

}  // namespace

Result<std::unique_ptr<DataTrack>> OpenContainer(Host& host, const std::string& path, HostFile& file) {
  using Track = std::unique_ptr<DataTrack>;
  Result<PathInfo> info = file.Info();
  if (!info) return info.Failure();
  const uint64_t size = info->size;
  uint8_t head[kHeadSize] = {}, tail[kTailSize] = {};
  Result<size_t> headLength = file.ReadAt(0, head, sizeof head);
  if (!headLength) return headLength.Failure();
  const size_t tailLength = size_t(std::min<uint64_t>(size, kTailSize));
  Result<size_t> tailRead = file.ReadAt(size - tailLength, tail, tailLength);
  if (!tailRead) return tailRead.Failure();

  if (HasChdMagic(head, *headLength)) return OpenChdTrack(std::move(file), size);
  if (IsGzip(head, *headLength)) return Track();
  if (NrgVersion(tail, *tailRead) != 0) return OpenNrgTrack(std::move(file), size);
  if (auto format = RawMode2Format(head, *headLength)) return OpenRawTrack(std::move(file), size, *format);
  if (size <= kMaxCueSheetSize) {
    std::string text(size_t(size), '\0');
    Result<size_t> read = file.ReadAt(0, text.data(), text.size());
    if (!read) return read.Failure();
    text.resize(*read);
    if (LooksLikeCueSheet(text)) return OpenCueTrack(host, path, text);
  }
  return Track();
}

}  // namespace zanthrel
