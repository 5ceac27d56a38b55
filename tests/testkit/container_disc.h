// The Opera volume that the container tests keep in every container, and
// the cue sheets and bins that chdman and the tests start from.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "testkit/files.h"

namespace zanthrel::testkit {

// 288 blocks, laid out on hunks of 8 sectors: text that compresses well
// (blocks 8-87), noise (88-191), a file whose 16 KiB pieces repeat (192-231),
// zeros (232-255), and "Twice", 16 KiB with two copies in hunks of their own.
struct ContainerDisc {
  Bytes image;
  Bytes twice;  // the content of "Twice"
  static constexpr uint32_t kTwiceCopies[2] = {256, 264};
};
ContainerDisc MakeContainerDisc();

// Text-like bytes, which every codec can shrink.
Bytes TextBytes(size_t size, uint32_t seed);

// A cue sheet `name`.cue in `folder` for an image as MODE1/2352 sectors with
// real EDC and ECC plus an audio track: Redump's layout of one .bin per track,
// or all tracks in one .bin. Gives the sheet's path. The image is read from
// `image` a piece at a time, so that it may be larger than memory.
std::string WriteCueSet(const std::string& folder, const std::string& name, std::istream& image,
                        const Bytes& audio, bool filePerTrack);
// The same for an image in memory, with `audioFrames` frames of made-up samples.
std::string WriteCueSet(const std::string& folder, const std::string& name, const Bytes& image,
                        bool filePerTrack, size_t audioFrames = 300);

}  // namespace zanthrel::testkit
