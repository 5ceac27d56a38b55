#include "support/text.h"

#include <array>
#include <charconv>
#include <vector>

#include "support/utf8.h"

namespace zanthrel {

namespace {

template <typename T>
std::string Decimal(T value) {
  std::array<char, 24> digits{};
  auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return std::string(digits.data(), result.ptr);
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string HexDigits(uint32_t value, int width, int maxWidth, bool prefix) {
  if (width > maxWidth) width = maxWidth;
  if (width < 1) width = 1;
  std::string text = prefix ? "0x" : "";
  for (int i = width - 1; i >= 0; --i) text += kHexDigits[(value >> (4 * i)) & 0xF];
  return text;
}

}  // namespace

std::string SignedDecimal(int32_t value) { return Decimal(value); }
std::string UnsignedDecimal(uint32_t value) { return Decimal(value); }
std::string CdTimeText(uint64_t frames) {
  const auto two = [](uint64_t value) { return (value < 10 ? "0" : "") + UnsignedDecimal64(value); };
  return two(frames / (60 * 75)) + ":" + two(frames / 75 % 60) + ":" + two(frames % 75);
}

std::string UnsignedDecimal64(uint64_t value) { return Decimal(value); }

std::optional<uint64_t> DecimalValue(std::string_view digits, size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + uint64_t(c - '0');
  }
  return value;
}

std::string HexText(uint32_t value, int width, bool prefix) {
  return HexDigits(value, width, 8, prefix);
}

std::string HexByteText(uint8_t value, int width, bool prefix) {
  return HexDigits(value, width, 2, prefix);
}

std::string FieldText(const uint8_t* field, size_t width) {
  size_t length = 0;
  while (length < width && field[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(field), length);
}

std::string ExtensionOf(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (IsPathSeparator(path[i])) return "";
    if (path[i] == '.') return std::string(path.substr(i + 1));
  }
  return "";
}

std::string FileNameOf(std::string_view path) {
  size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  return std::string(path.substr(start));
}

std::string BaseNameOf(std::string_view path) {
  std::string name = FileNameOf(path);
  // Dots that open the name start no extension, so a name never comes out empty.
  const size_t stem = name.find_first_not_of('.');
  if (stem == std::string::npos) return name;
  const auto cutAt = [&name, stem](size_t dot) {
    if (dot != std::string::npos && dot > stem) name.resize(dot);
  };
  if (name.size() >= 3 && LowerCase(std::string_view(name).substr(name.size() - 3)) == ".gz") {
    cutAt(name.size() - 3);
  }
  cutAt(name.rfind('.'));
  return name;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += kPathSeparator;
  path += name;
  return path;
}

std::optional<std::string> FolderPartOf(std::string_view path) {
  const size_t nameLength = FileNameOf(path).size();
  if (nameLength == path.size()) return std::nullopt;
  return std::string(path.substr(0, path.size() - nameLength - 1));
}

bool LiesBelow(std::string_view path, std::string_view folder) {
  if (folder.empty() || path.size() <= folder.size() || !path.starts_with(folder)) return false;
  // A root ("/", "C:\\") ends with its separator; any other folder is followed by one.
  return IsPathSeparator(folder.back()) || IsPathSeparator(path[folder.size()]);
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    uint8_t byte = uint8_t(c);
    if (IsCp1251Letter(byte)) c = char(byte | ((byte & 0x40) ? 0x20 : 0x10));
  }
  return lower;
}

std::string TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

namespace {

std::string Escaped(std::string_view utf8, bool keepSeparators) {
  std::string text;
  text.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    const auto byte = static_cast<uint8_t>(utf8[at]);
    if (byte >= 0x80) {
      const Utf8Char decoded = DecodeUtf8(utf8, at);
      const size_t length = decoded.length == 0 ? 1 : decoded.length;
      if (decoded.length != 0 && decoded.code >= 0x80 && decoded.code <= 0x9F) {
        text += "\\u" + HexText(decoded.code, 4, false);
      } else {
        text.append(utf8.substr(at, length));
      }
      at += length;
      continue;
    }
    if (byte == '\n') {
      text += "\\n";
    } else if (byte == '\t') {
      text += "\\t";
    } else if (byte == '\r') {
      text += "\\r";
    } else if (byte == '\\' && !(keepSeparators && IsPathSeparator('\\'))) {
      text += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      text += "\\x" + HexByteText(byte, 2, false);
    } else {
      text += static_cast<char>(byte);
    }
    ++at;
  }
  return text;
}

}  // namespace

std::string EscapeControls(std::string_view utf8) { return Escaped(utf8, false); }

std::string EscapeControlsInHostPath(std::string_view utf8) { return Escaped(utf8, true); }

std::string ShortenedPath(std::string_view path) {
  constexpr size_t kLongest = 200, kHead = 100, kTail = 99;
  // Where each character starts: a UTF-8 continuation byte starts none.
  std::vector<size_t> starts;
  for (size_t at = 0; at < path.size(); ++at) {
    if ((uint8_t(path[at]) & 0xC0) != 0x80) starts.push_back(at);
  }
  if (starts.size() <= kLongest) return std::string(path);
  return std::string(path.substr(0, starts[kHead])) + "\u2026" +
         std::string(path.substr(starts[starts.size() - kTail]));
}

std::string WithShortenedPath(std::string_view text, std::string_view path) {
  if (path.empty() || !text.starts_with(path)) return std::string(text);
  return ShortenedPath(path) + std::string(text.substr(path.size()));
}

}  // namespace zanthrel
