#include "support/windows_paths.h"

#include "support/utf8.h"

namespace zanthrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSlash(char16_t c) { return c == u'\\' || c == u'/'; }

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
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

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Utf8Char next = DecodeUtf8(text, i);
    if (next.length == 0) return std::nullopt;
    AppendUtf16(out, next.code);
    i += next.length;
  }
  return out;
}

std::u16string Utf8ToUtf16Replacing(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Utf8Char next = DecodeUtf8(text, i);
    AppendUtf16(out, next.length ? next.code : kReplacement);
    i += next.length ? next.length : InvalidUtf8Length(text, i);
  }
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
