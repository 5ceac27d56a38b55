#include "testkit/frame_disc.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace zanthrel::testkit {

namespace {
constexpr size_t kFrame = 2352;
}  // namespace

FrameTrack BytesTrack(FrameMode mode, const Bytes& frames, uint64_t storedPregap) {
  auto bytes = std::make_shared<Bytes>(frames);
  FrameTrack track;
  track.track.mode = mode;
  track.track.frames = frames.size() / kFrame;
  track.track.storedPregap = storedPregap;
  track.make = [bytes](uint64_t index, uint8_t* frame) {
    std::memcpy(frame, bytes->data() + index * kFrame, kFrame);
  };
  return track;
}

FrameTrack FileTrack(FrameMode mode, const std::string& path, uint64_t storedPregap) {
  auto file = std::make_shared<std::ifstream>(PathOf(path), std::ios::binary);
  file->seekg(0, std::ios::end);
  FrameTrack track;
  track.track.mode = mode;
  track.track.frames = uint64_t(file->tellg()) / kFrame;
  track.track.storedPregap = storedPregap;
  track.make = [file, path](uint64_t index, uint8_t* frame) {
    file->seekg(std::streamoff(index * kFrame));
    if (!file->read(reinterpret_cast<char*>(frame), kFrame)) throw std::runtime_error("cannot read " + path);
  };
  return track;
}

Bytes ToneFrames(size_t frames, uint32_t seed) {
  Bytes bytes(frames * kFrame);
  const Bytes noise = Pattern(bytes.size() / 2, seed);
  const double step = 0.02 + 0.01 * (seed % 7);
  for (size_t sample = 0; sample < bytes.size() / 2; ++sample) {
    const double tone = 9000 * std::sin(step * double(sample / 2)) * (sample % 2 ? 0.6 : 1.0);
    const auto value = int16_t(tone + (noise[sample] & 15));
    bytes[2 * sample] = uint8_t(uint16_t(value));
    bytes[2 * sample + 1] = uint8_t(uint16_t(value) >> 8);
  }
  return bytes;
}

FrameDisc::FrameDisc(std::vector<FrameTrack> tracks) {
  for (size_t i = 0; i < tracks.size(); ++i) {
    tracks[i].track.number = uint32_t(i + 1);
    tracks_.push_back(tracks[i].track);
    makers_.push_back(std::move(tracks[i].make));
  }
}

Result<size_t> FrameDisc::ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) {
  const uint64_t frames = tracks_.at(track).frames;
  const size_t given = size_t(std::min<uint64_t>(count, first < frames ? frames - first : 0));
  if (failure_ && failure_->first == track && failure_->second < first + given) {
    return Error{"frames in memory: track " + std::to_string(track + 1) + ": Input/output error", 5};
  }
  for (size_t i = 0; i < given; ++i) makers_[track](first + i, destination + i * kFrame);
  return given;
}

Bytes FrameDisc::Frames(size_t track) {
  Bytes frames(size_t(tracks_.at(track).frames) * kFrame);
  for (uint64_t i = 0; i < tracks_[track].frames; ++i) makers_[track](i, frames.data() + i * kFrame);
  return frames;
}

}  // namespace zanthrel::testkit
