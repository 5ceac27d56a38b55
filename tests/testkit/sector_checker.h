// A judge of raw CD data sectors that shares nothing with the program it
// judges: the testkit's EDC bit by bit, and the P and Q codewords of ECMA-130 tested
// by their syndromes over GF(2^8), not by computing parity again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zanthrel::testkit {

// What is wrong with a MODE1/2352 sector that should stand at `lba` (its
// address is lba + 150 frames): the sync, the address, the mode byte, the
// zero bytes, the EDC, or a P or Q codeword, named; empty when it is right.
std::string Mode1SectorFault(const uint8_t* sector, uint64_t lba);

// The first fault among the MODE1/2352 sectors of a track file whose first
// sector stands at `firstLba`, with the sector's number; empty when every
// sector is right. A length that is not whole sectors is a fault too.
std::string Mode1TrackFault(const uint8_t* sectors, size_t length, uint64_t firstLba = 0);

}  // namespace zanthrel::testkit
