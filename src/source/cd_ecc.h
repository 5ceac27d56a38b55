// The P and Q parity of a raw CD data sector (ECMA-130 RSPC): the 276 bytes
// that a CHD's CD codecs leave out and that the reader makes again, and the
// correction that a drive makes with them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zanthrel {

// Computes P (bytes 2076-2247) and Q (2248-2351) of a 2352-byte sector from
// its bytes 12-2075. The parity of a Mode 2 sector (mode byte 2) is computed
// as if its 4-byte address were zero, as ECMA-130 has it for Form 1.
void WriteEccParity(uint8_t* sector);

// One round of correction: every P codeword, then every Q codeword, with one
// wrong byte mended where a codeword shows one. The sector is laid out as
// WriteEccParity leaves it (a Mode 2 sector with its address zeroed). Gives
// the bytes changed; 0 when no codeword showed a single wrong byte. Only the
// EDC can tell whether the result is right: several wrong bytes in one
// codeword may pass for one.
size_t CorrectEccRound(uint8_t* sector);

}  // namespace zanthrel
