// A whole disc image as CD tracks of 2352-byte frames: what a writer of
// another container reads. Every image file zanthrel reads opens as one; a
// plain or gzip image of 2048-byte sectors is one MODE1 track whose sectors
// are made whole (sync, header, EDC and ECC), from the image's first byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// What a track's frames hold. Every frame is delivered as 2352 bytes: a data
// sector whole, with its sync and header; audio as 16-bit little-endian
// stereo samples, as a BIN holds them.
enum class FrameMode { kAudio, kMode1, kMode2 };

struct DiscTrack {
  uint32_t number = 1;
  FrameMode mode = FrameMode::kMode1;
  // Frames the image holds for the track, its stored pregap included.
  uint64_t frames = 0;
  // Frames before INDEX 01 that the image holds (a cue's INDEX 00 in the
  // track's file, a CHD's pregap typed with a leading "V"): the first frames.
  uint64_t storedPregap = 0;
  // Frames before INDEX 01 that the image does not hold (a cue's PREGAP, a
  // CHD's pregap without its "V"), and after the track (POSTGAP).
  uint64_t pregap = 0;
  uint64_t postgap = 0;
};

// The cue sheet's name of a mode: "AUDIO", "MODE1/2352", "MODE2/2352".
std::string_view CueModeName(FrameMode mode);

class DiscImage {
 public:
  virtual ~DiscImage() = default;

  // In disc order, at least one.
  virtual const std::vector<DiscTrack>& Tracks() const = 0;
  // The container, for a user, as the image source names it.
  virtual std::string Description() const = 0;
  // The track that holds the volume: an index into Tracks().
  virtual size_t VolumeTrack() const = 0;
  // Up to `count` frames of track `track` (an index into Tracks()) from
  // frame `first` on, 2352 bytes each, into `destination`: the number
  // delivered, short only at the end of the track. Raw sectors come as
  // stored, damaged or not. A failure says what could not be read and where.
  virtual Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) = 0;
};

// The disc address of each track's first stored frame: block 0 at INDEX 01
// of the first track, every pregap and postgap counted whether stored or not.
std::vector<int64_t> FirstFrameLbas(const std::vector<DiscTrack>& tracks);

// `path` as a disc: any image file the image source opens (plain, gzip, raw
// MODE1 or MODE2, cue sheet, NRG, CHD). A failure says why.
Result<std::unique_ptr<DiscImage>> OpenDiscImage(Host& host, const std::string& path);

}  // namespace zanthrel
