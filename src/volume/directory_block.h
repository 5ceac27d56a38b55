// The rule of a directory block that every reader of a volume follows: where
// its entries lie, and when its header is impossible, which makes the block
// as good as unreadable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zanthrel {

// The offsets of a block's entries in the order the walk takes them, up to
// the first entry that ends the block or the directory. Nothing when the
// block cannot be read: the first entry lies before the header's end or past
// the block, the first free byte before the first entry or past the block, or
// an entry runs past the first free byte. A block whose first free byte is its
// first entry's offset holds no entries; at the header's end that is an empty
// folder.
std::optional<std::vector<uint32_t>> EntryOffsets(std::span<const uint8_t> block);

}  // namespace zanthrel
