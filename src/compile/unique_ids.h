// The unique ids of an image: a 32-bit shift-register generator whose state
// lives for the whole process, and the set of ids handed out in one run.
#pragma once

#include <cstdint>

namespace zanthrel {

// An id that differs from every id handed out since the last ResetUniqueIds.
uint32_t NewUniqueId();
// Empties the set of ids handed out; the generator's state runs on.
void ResetUniqueIds();

}  // namespace zanthrel
