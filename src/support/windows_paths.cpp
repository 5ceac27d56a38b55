#include "support/windows_paths.h"

#include <cstdint>

namespace zanthrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSlash(char16_t c) { return c == u'\\' || c == u'/'; }

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
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

void AppendUtf16(std::u16string& out, char32_t code) {
  if (code >= 0x10000) {
    code -= 0x10000;
    out += char16_t(0xD800 + (code >> 10));
    out += char16_t(0xDC00 + (code & 0x3FF));
  } else {
    out += char16_t(code);
  }
}

// The code at `i`, which moves past it; nothing for a sequence that is not
// UTF-8, and `i` then moves past its longest start that could still have
// been (at least one byte).
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& i) {
  const uint8_t lead = uint8_t(text[i++]);
  const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2
                                    : (lead >> 3) == 0x1E ? 3 : -1;
  if (extra <= 0) return extra == 0 ? std::optional<char32_t>(lead) : std::nullopt;
  char32_t code = lead & (0x3F >> extra);
  // Overlong forms, surrogates and codes past U+10FFFF are not UTF-8; each
  // shows by the second byte, so a bad one is cut off there.
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  for (int k = 1; k <= extra; ++k) {
    if (i == text.size() || (uint8_t(text[i]) & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (uint8_t(text[i]) & 0x3F);
    if (k == 1) {
      const char32_t least = kSmallest[extra] >> (6 * (extra - 1));
      const char32_t most = 0x10FFFF >> (6 * (extra - 1));
      const bool surrogate = extra == 2 && code >= (0xD800 >> 6) && code <= (0xDFFF >> 6);
      if (code < least || code > most || surrogate) return std::nullopt;
    }
    ++i;
  }
  return code;
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const std::optional<char32_t> code = DecodeUtf8(text, i);
    if (!code) return std::nullopt;
    AppendUtf16(out, *code);
  }
  return out;
}

std::u16string Utf8ToUtf16Replacing(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf16(out, DecodeUtf8(text, i).value_or(kReplacement));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

bool IsWindowsAbsolutePath(std::string_view path) {
  auto slash = [](char c) { return c == '\\' || c == '/'; };
  const bool driveLetter = path.size() >= 3 &&
                           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                           path[1] == ':' && slash(path[2]);
  return driveLetter || (path.size() >= 2 && slash(path[0]) && slash(path[1]));
}

std::u16string LongPathForm(std::u16string_view fullPath) {
  std::u16string path(fullPath);
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  if (StartsWith(path, u"\\\\?\\") || StartsWith(path, u"\\\\.\\")) return path;
  if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) {
    return u"\\\\?\\UNC\\" + path.substr(2);
  }
  return u"\\\\?\\" + path;
}

std::u16string WithoutLongPathPrefix(std::u16string_view path) {
  if (StartsWith(path, u"\\\\?\\UNC\\")) return u"\\\\" + std::u16string(path.substr(8));
  if (StartsWith(path, u"\\\\?\\")) return std::u16string(path.substr(4));
  return std::u16string(path);
}

}  // namespace zanthrel
