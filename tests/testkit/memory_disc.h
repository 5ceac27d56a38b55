// A disc held in memory as tracks of 2352-byte frames, for the writers'
// tests: any layout of tracks, and a track that fails to read on demand.
#pragma once

#include <optional>
#include <vector>

#include "source/disc_image.h"
#include "testkit/files.h"

namespace zanthrel::testkit {

struct MemoryTrack {
  DiscTrack track;  // its `frames` is taken from the bytes
  Bytes frames;
};

class MemoryDisc final : public DiscImage {
 public:
  explicit MemoryDisc(std::vector<MemoryTrack> tracks);
  // Reads of this track (an index into Tracks()) fail from now on.
  void FailReading(size_t track) { failing_ = track; }

  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override { return "memory disc"; }
  size_t VolumeTrack() const override { return 0; }
  Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) override;

 private:
  std::vector<DiscTrack> tracks_;
  std::vector<Bytes> frames_;
  std::optional<size_t> failing_;
};

}  // namespace zanthrel::testkit
