// The layout file: a DiscLayout as JSON lines that people can read and
// edit, and the strict reader that takes it back. The first line says what
// the file is and its version, with the image's size, the blocks file and the
// label; then each directory in walk order, each followed by one line per
// entry of it; then one line per patch. docs/layout.md describes every field.
#pragma once

#include <string>
#include <string_view>

#include "support/result.h"
#include "volume/layout.h"

namespace zanthrel {

// What ParseLayout takes back as the same records, byte for byte: the
// Windows-1251 fields as UTF-8 text, every byte of them, control bytes and
// zero bytes escaped.
std::string LayoutText(const DiscLayout& layout);

// Refuses, with "line N: what is wrong", anything that is not a layout of a
// known version, whose counts do not add up, whose sizes are past what any
// disc holds, or whose host paths or blocks file could lead outside the
// folder they are taken from. What it reads costs memory in proportion to
// the text, whatever the numbers in it say.
Result<DiscLayout> ParseLayout(std::string_view text);

}  // namespace zanthrel
