// The blocks a layout records by their fill alone: wholly the fill pattern
// that zanthrel's compile (and many a mastering tool) leaves in unused
// space, wholly zero, or a copy of the label's block (which a bootable disc
// holds in its boot area).
#pragma once

#include <cstddef>
#include <cstdint>

#include "volume/layout.h"

namespace zanthrel {

// The fill a block of `size` bytes wholly is, the pattern in its phase from
// the block's start, or kLabel when it is `label` (the image's block 0,
// `size` bytes); kBytes when it is none of them.
LayoutFill FillOfBlock(const uint8_t* block, const uint8_t* label, size_t size);

// Fills `size` bytes as blocks of that fill are (for kPattern, the pattern
// from the buffer's start); kBytes and kLabel leave the buffer as it is.
void WriteFill(LayoutFill fill, uint8_t* bytes, size_t size);

}  // namespace zanthrel
