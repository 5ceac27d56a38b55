// Windows-1251 <-> UTF-8 for host names and for host paths written into text.
#pragma once

#include <string>
#include <string_view>

namespace zanthrel {

// Every byte has a UTF-8 form; the unassigned 0x98 maps to U+0098.
std::string Cp1251ToUtf8(std::string_view text);
// A character without a Windows-1251 form, or a byte that is not valid UTF-8, becomes "?".
std::string Utf8ToCp1251(std::string_view text);

// What a text written for people (the log, the block map) is encoded in: its
// own Windows-1251, or UTF-8 for a terminal that shows nothing else.
enum class TextEncoding { kCp1251, kUtf8 };
// Windows-1251 text as `encoding` writes it.
std::string Cp1251As(std::string_view text, TextEncoding encoding);
// Text in `encoding` (a disc's names, read one way or the other) as UTF-8.
std::string TextAsUtf8(std::string_view text, TextEncoding encoding);

}  // namespace zanthrel
