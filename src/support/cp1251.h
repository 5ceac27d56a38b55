// Windows-1251 <-> UTF-8 for host names and for host paths written into text.
#pragma once

#include <string>
#include <string_view>

namespace zanthrel {

// Every byte has a UTF-8 form; the unassigned 0x98 maps to U+0098.
std::string Cp1251ToUtf8(std::string_view text);
// A character without a Windows-1251 form, or a byte that is not valid UTF-8, becomes "?".
std::string Utf8ToCp1251(std::string_view text);

}  // namespace zanthrel
