// UTF-8 one character at a time, for every conversion of the program: host
// names to and from Windows-1251, and paths to and from UTF-16 at the
// Windows door.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zanthrel {

struct Utf8Char {
  char32_t code = 0;
  // Bytes taken; 0 when the text at that place is not UTF-8.
  size_t length = 0;
};

// The character that begins at text[at]. Not UTF-8: a byte that cannot begin
// a character, a sequence cut short or broken by a byte that does not
// continue it, an overlong form, a surrogate and a code past U+10FFFF.
Utf8Char DecodeUtf8(std::string_view text, size_t at);
// How many bytes a sequence that is not UTF-8 spans at text[at]: its lead and
// the bytes that could still have continued it, at least one. Text that is only
// shown gets one replacement character for each such span.
size_t InvalidUtf8Length(std::string_view text, size_t at);
// Appends the UTF-8 form, of one to four bytes, of a code up to U+10FFFF.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace zanthrel
