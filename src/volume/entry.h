// The rules of a directory entry that every reader of a volume follows: its
// name, the copies it is read from, the root's label entry, the disc block a
// record lies in and the bytes a file gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "opera/records.h"
#include "volume/copy_list.h"

namespace zanthrel {

// The entry's name as stored: Windows-1251, up to its first zero byte.
std::string EntryName(const opera::EntryView& entry);

// Every copy of the entry's list that lies inside its block.
CopyList CopiesOf(const opera::EntryView& entry);
// The copies a file's data is read from: the list held to kEntryCopiesHandled.
CopyList HandledCopiesOf(const opera::EntryView& entry);

// The name that compile gives the root's label entry.
inline constexpr std::string_view kDiscLabelName = "Disc label";
// True for a stored name (Windows-1251) taken for the label entry: "disc
// label" in any case, with spaces and tabs around it.
bool IsDiscLabelName(std::string_view name);

// The disc block, counted in the volume's block size, that record `index` of
// a copy starting at `firstBlock` lies in, records being `recordSize` bytes.
uint32_t RecordBlock(uint32_t firstBlock, uint64_t index, uint32_t recordSize,
                     uint32_t volumeBlockSize);

// The volume as its label gives it: what an entry's blocks must lie inside.
struct VolumeExtent {
  uint32_t blockCount = 0;
  uint32_t blockSize = 0;
};
VolumeExtent VolumeExtentOf(const opera::LabelView& label);

// The blocks of a file that are read, from a copy starting at `firstBlock`.
// A count of 2^31 or more, which no disc of this kind holds, gives as many
// blocks as the volume holds from there; `pastTheVolume` tells that it
// claimed more than that.
struct FileBlocks {
  uint32_t count = 0;
  bool pastTheVolume = false;
};
FileBlocks FileBlocksOf(const opera::EntryView& entry, const VolumeExtent& volume, uint32_t firstBlock);

// The bytes a file gives, as decompile writes it from its first copy: its
// blocks (FileBlocksOf) up to the byte count; and as a copy starting at
// `firstBlock` gives them.
uint64_t FileBytes(const opera::EntryView& entry, const VolumeExtent& volume);
uint64_t FileBytesFrom(const opera::EntryView& entry, const VolumeExtent& volume, uint32_t firstBlock);

}  // namespace zanthrel
