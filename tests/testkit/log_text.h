// Expected log texts for tests: UTF-8 literals as Windows-1251 bytes, and the
// descriptions of records taken from an image's bytes.
#pragma once

#include <cstdint>
#include <string>

#include "testkit/files.h"

namespace zanthrel::testkit {

std::string Win(const std::string& utf8);
// "HEAD\n" and the header description of a directory block.
std::string HeadLines(const Bytes& image, uint32_t block);
// "ENTRY\n" and the description of the entry at `offset` in a block.
std::string EntryLines(const Bytes& image, uint32_t block, uint32_t offset);
std::string LabelLines(const Bytes& image);

}  // namespace zanthrel::testkit
