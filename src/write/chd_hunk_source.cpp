#include "write/chd_hunk_source.h"

#include <algorithm>
#include <cstring>

#include "source/cd_sector.h"
#include "source/chd/chd_header.h"

namespace zanthrel {

namespace {

std::string TypeName(FrameMode mode) {
  switch (mode) {
    case FrameMode::kAudio:
      return "AUDIO";
    case FrameMode::kMode1:
      return "MODE1_RAW";
    case FrameMode::kMode2:
      return "MODE2_RAW";
  }
  return "MODE1_RAW";
}

}  // namespace

ChdHunkSource::ChdHunkSource(DiscImage& disc, uint32_t framesPerHunk)
    : disc_(disc), framesPerHunk_(framesPerHunk), frames_(size_t(framesPerHunk) * kCdFrameSize) {
  for (const DiscTrack& track : disc.Tracks()) {
    spans_.push_back({paddedFrames_, track.frames, track.mode == FrameMode::kAudio});
    paddedFrames_ += (track.frames + kChdTrackPadding - 1) / kChdTrackPadding * kChdTrackPadding;
  }
}

uint64_t ChdHunkSource::LogicalBytes() const { return paddedFrames_ * kChdFrameBytes; }

uint64_t ChdHunkSource::HunkCount() const { return (paddedFrames_ + framesPerHunk_ - 1) / framesPerHunk_; }

// The text chdman writes: a stored pregap (INDEX 00 in the track's file) is
// typed with a leading "V"; one that is not stored (PREGAP) takes chdman's
// default type MODE1, whatever the track's mode.
std::vector<std::string> ChdHunkSource::TrackEntries() const {
  std::vector<std::string> entries;
  for (const DiscTrack& track : disc_.Tracks()) {
    const bool stored = track.storedPregap > 0;
    std::string entry = "TRACK:" + std::to_string(track.number);
    entry += " TYPE:" + TypeName(track.mode);
    entry += " SUBTYPE:NONE FRAMES:" + std::to_string(track.frames);
    entry += " PREGAP:" + std::to_string(stored ? track.storedPregap : track.pregap);
    entry += stored ? " PGTYPE:V" + TypeName(track.mode) : std::string(" PGTYPE:MODE1");
    entry += " PGSUB:NONE POSTGAP:" + std::to_string(track.postgap);
    entries.push_back(entry);
  }
  return entries;
}

Status ChdHunkSource::Read(uint64_t number, uint8_t* hunk, bool& audio) {
  std::memset(hunk, 0, size_t(framesPerHunk_) * kChdFrameBytes);
  audio = false;
  const uint64_t first = number * framesPerHunk_, end = first + framesPerHunk_;
  for (size_t t = 0; t < spans_.size(); ++t) {
    const Span& span = spans_[t];
    const uint64_t from = std::max(first, span.start), to = std::min(end, span.start + span.frames);
    if (from >= to) continue;
    const size_t count = size_t(to - from);
    const Result<size_t> read = disc_.ReadFrames(t, from - span.start, count, frames_.data());
    if (!read) return read.Failure();
    if (*read != count) {
      return Error{disc_.Description() + ": track " + std::to_string(disc_.Tracks()[t].number) +
                   " ends before its frames do"};
    }
    audio = audio || span.audio;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* frame = frames_.data() + i * kCdFrameSize;
      uint8_t* stored = hunk + size_t(from - first + i) * kChdFrameBytes;
      if (!span.audio) {
        std::memcpy(stored, frame, kCdFrameSize);
        continue;
      }
      // A CHD keeps samples most significant byte first.
      for (size_t b = 0; b < kCdFrameSize; b += 2) {
        stored[b] = frame[b + 1];
        stored[b + 1] = frame[b];
      }
    }
  }
  return {};
}

}  // namespace zanthrel
