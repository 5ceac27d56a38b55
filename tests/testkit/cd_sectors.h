// Raw CD sectors as a disc carries them, for container tests: sync, address,
// mode, EDC and the P/Q parity all real, so that chdman finds the ECC valid
// and strips it as it does for real discs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "testkit/files.h"

namespace zanthrel::testkit {

// The CD-ROM EDC: CRC-32 with the reflected polynomial 0xD8018001, from 0,
// no final xor.
uint32_t CdEdc(const uint8_t* data, size_t length);

// 2048-byte sectors (the last padded with zeros) as raw 2352-byte Mode 1
// sectors, addressed from `firstLba` on.
Bytes Mode1Sectors(const Bytes& userData, uint32_t firstLba = 0);
// The same as Mode 2 Form 1 sectors (subheader, user data at byte 24).
Bytes Mode2Form1Sectors(const Bytes& userData, uint32_t firstLba = 0);
// Raw 2352-byte sectors without their first 16 bytes: 2336-byte records.
Bytes WithoutSyncAndHeader(const Bytes& rawSectors);
// `frames` frames of 2352 bytes of made-up audio samples.
Bytes AudioFrames(size_t frames, uint32_t seed);
// 2048-byte sectors with the last one padded with zeros.
Bytes Padded(const Bytes& userData);

}  // namespace zanthrel::testkit
