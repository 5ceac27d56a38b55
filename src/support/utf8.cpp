#include "support/utf8.h"

#include <cstdint>

namespace zanthrel {

Utf8Char DecodeUtf8(std::string_view text, size_t at) {
  const uint8_t lead = uint8_t(text[at]);
  size_t length;
  char32_t code;
  char32_t smallest;
  if (lead < 0x80) {
    return {lead, 1};
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  } else {
    return {};
  }
  if (text.size() - at < length) return {};
  for (size_t k = 1; k < length; ++k) {
    const uint8_t next = uint8_t(text[at + k]);
    if ((next & 0xC0) != 0x80) return {};
    code = (code << 6) | (next & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length};
}

size_t InvalidUtf8Length(std::string_view text, size_t at) {
  const uint8_t lead = uint8_t(text[at]);
  const int extra = (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 0;
  // Overlong forms, surrogates and codes past U+10FFFF show by the second
  // byte, so such a sequence is cut off there.
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  char32_t code = lead & (0x3F >> extra);
  size_t length = 1;
  for (int k = 1; k <= extra && at + length < text.size(); ++k, ++length) {
    const uint8_t next = uint8_t(text[at + length]);
    if ((next & 0xC0) != 0x80) break;
    code = (code << 6) | (next & 0x3F);
    if (k == 1) {
      const char32_t least = kSmallest[extra] >> (6 * (extra - 1));
      const char32_t most = 0x10FFFF >> (6 * (extra - 1));
      const bool surrogate = extra == 2 && code >= (0xD800 >> 6) && code <= (0xDFFF >> 6);
      if (code < least || code > most || surrogate) break;
    }
  }
  return length;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | (code >> 6));
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += char(0xE0 | (code >> 12));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  } else {
    out += char(0xF0 | (code >> 18));
    out += char(0x80 | ((code >> 12) & 0x3F));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
}

}  // namespace zanthrel
