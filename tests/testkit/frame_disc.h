// A disc held in memory as tracks of 2352-byte frames, for the writers of
// containers: each track gives its frames from bytes or makes them on
// demand, so that a disc may be larger than memory, and a read may be made
// to fail.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "source/disc_image.h"
#include "testkit/files.h"

namespace zanthrel::testkit {

// Writes frame `index` of the track (2352 bytes) at `frame`.
using FrameMaker = std::function<void(uint64_t index, uint8_t* frame)>;

struct FrameTrack {
  DiscTrack track;
  FrameMaker make;
};

// A track of the frames in `frames` (2352 bytes each, audio little-endian).
FrameTrack BytesTrack(FrameMode mode, const Bytes& frames, uint64_t storedPregap = 0);

// A track of the frames of the file at `path`, read as they are asked for.
FrameTrack FileTrack(FrameMode mode, const std::string& path, uint64_t storedPregap = 0);

// `frames` frames of a tone with a little noise, as 16-bit little-endian
// stereo samples: audio that FLAC shrinks better than the other codecs.
Bytes ToneFrames(size_t frames, uint32_t seed);

class FrameDisc : public DiscImage {
 public:
  // Numbers the tracks from 1.
  explicit FrameDisc(std::vector<FrameTrack> tracks);

  // Every read that reaches frame `frame` of track `track` fails from now on.
  void FailAt(size_t track, uint64_t frame) { failure_ = {track, frame}; }

  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override { return "frames in memory"; }
  size_t VolumeTrack() const override { return 0; }
  Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) override;

  // Every frame of track `track` as ReadFrames gives it.
  Bytes Frames(size_t track);

 private:
  std::vector<DiscTrack> tracks_;
  std::vector<FrameMaker> makers_;
  std::optional<std::pair<size_t, uint64_t>> failure_;
};

}  // namespace zanthrel::testkit
