// Whether a compiled image still fits on a CD: a 74-minute disc holds 333,000
// blocks of 2048 bytes and an 80-minute disc 360,000.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zanthrel {

inline constexpr uint32_t kBlocksOf74MinuteCd = 333000;
inline constexpr uint32_t kBlocksOf80MinuteCd = 360000;

// A warning for an image of `blockCount` blocks that a 74-minute CD cannot
// hold, naming the larger capacity it passes; nothing when it fits.
std::optional<std::string> CdCapacityWarning(const std::string& imagePath, uint32_t blockCount);

}  // namespace zanthrel
