// Readable descriptions of the volume label, a directory block header and a
// directory entry, in the log's exact Windows-1251 text.
#pragma once

#include <cstdint>
#include <string>

#include "opera/records.h"
#include "source/image_source.h"

namespace zanthrel {

// Reads the label itself (block 0, one 132-byte record); empty when it cannot.
std::string DescribeLabel(ImageSource& source);
// Describes the 132 bytes of a label.
std::string DescribeLabelBytes(const uint8_t* label);
// The first 20 bytes of a directory block.
std::string DescribeDirectoryHeader(const uint8_t* block);
// Copy lines stop at the end of the block that holds the entry.
std::string DescribeEntry(const opera::EntryView& entry);

}  // namespace zanthrel
