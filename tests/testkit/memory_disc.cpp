#include "testkit/memory_disc.h"

#include <algorithm>
#include <cstring>

namespace zanthrel::testkit {

namespace {
constexpr size_t kFrame = 2352;
}

MemoryDisc::MemoryDisc(std::vector<MemoryTrack> tracks) {
  for (MemoryTrack& entry : tracks) {
    entry.track.frames = entry.frames.size() / kFrame;
    tracks_.push_back(entry.track);
    frames_.push_back(std::move(entry.frames));
  }
}

Result<size_t> MemoryDisc::ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) {
  if (failing_ == track) return Error{"memory disc: track " + std::to_string(track + 1) + " cannot be read"};
  const uint64_t frames = tracks_[track].frames;
  const size_t delivered = size_t(std::min<uint64_t>(count, frames - std::min(first, frames)));
  std::memcpy(destination, frames_[track].data() + first * kFrame, delivered * kFrame);
  return delivered;
}

}  // namespace zanthrel::testkit
