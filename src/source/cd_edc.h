// The EDC of a raw CD data sector: a CRC-32 with the reflected polynomial
// 0xD8018001, from 0 and with no final xor, stored little-endian after the
// bytes it covers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zanthrel {

// Folded with carry-less multiplication where the processor has it, else
// eight bytes a step through tables, so that checking every sector of a raw
// image costs little beside reading it.
uint32_t CdEdc(const uint8_t* data, size_t length);

}  // namespace zanthrel
