// What a directory entry takes from a host name: its 32-byte name, its
// 4-byte type and the test for the names of the boot files. Names here are
// Windows-1251 bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace zanthrel {

// Decodes the name's escapes and copies at most 32 bytes into the zeroed field.
void MakeEntryName(std::string_view hostName, uint8_t field[32]);
// Up to four bytes of the extension, padded with spaces; the first byte is most significant.
uint32_t MakeEntryType(std::string_view hostName);
// True when the name, lower-cased and without blanks around it, is `fixedName`.
bool IsSpecialName(std::string_view hostName, std::string_view fixedName);

}  // namespace zanthrel
