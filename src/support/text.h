// Number texts, path helpers, case and blank handling, fixed text fields.
// Byte strings are std::string holding Windows-1251 bytes (or host paths).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zanthrel {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
// True for the host's separator; Windows takes "/" as one too.
constexpr bool IsPathSeparator(char c) {
  return c == kPathSeparator || (kPathSeparator == '\\' && c == '/');
}

std::string SignedDecimal(int32_t value);
std::string UnsignedDecimal(uint32_t value);
std::string UnsignedDecimal64(uint64_t value);
// A count of CD frames as a cue sheet writes a time, "mm:ss:ff": 75 frames a
// second, minutes past 99 in as many digits as they take.
std::string CdTimeText(uint64_t frames);
// The value of 1 to `maxDigits` decimal digits and nothing else; none for any
// other text. Every value of up to 19 digits fits.
std::optional<uint64_t> DecimalValue(std::string_view digits, size_t maxDigits);
// Exactly `width` upper-case digits (width held to 1..8), "0x" in front with the prefix.
std::string HexText(uint32_t value, int width, bool prefix);
// The same for one byte, width held to 1..2.
std::string HexByteText(uint8_t value, int width, bool prefix);
// "0x" and 8 upper-case digits: the form of every block number in messages and file names.
inline std::string Hex8(uint32_t value) { return HexText(value, 8, true); }

// Bytes of a fixed-width field up to its first zero byte or its width.
std::string FieldText(const uint8_t* field, size_t width);

// Path helpers; the host separator splits path elements.
std::string ExtensionOf(std::string_view path);
std::string FileNameOf(std::string_view path);
// The file name without a final ".gz" (any letter case) and then without its
// last extension: "game.iso.gz" and "game.iso" give "game", "Game (v1.0).iso"
// gives "Game (v1.0)". Leading dots belong to the name: ".iso" stays ".iso",
// ".game.iso" gives ".game".
std::string BaseNameOf(std::string_view path);
// Joins a folder and a name with the host separator.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder part of a path: what comes before its last separator, so that
// JoinPath(folder, FileNameOf(path)) gives the path again. "/a/b" gives "/a",
// "a/b/" gives "a/b", "/b" gives "" (which JoinPath turns into the root), and
// on Windows "C:\b" gives "C:". A bare name has none.
std::optional<std::string> FolderPartOf(std::string_view path);
// True when `path` lies below `folder`, both full paths with nothing to
// resolve (as RealPath gives them): "/a/b" lies below "/a" and "/", not below
// "/a/b" itself nor "/ab".
bool LiesBelow(std::string_view path, std::string_view folder);

// The letters of Windows-1251, each with an upper and a lower case: Latin,
// Ё and ё, and А..я.
constexpr bool IsCp1251Letter(uint8_t byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte == 0xA8 ||
         byte == 0xB8 || byte >= 0xC0;
}
// Windows-1251 letters to lower case (Latin, Cyrillic, Ё).
std::string LowerCase(std::string_view text);
// Without leading and trailing spaces and tabs.
std::string TrimBlanks(std::string_view text);

// UTF-8 text made safe to print on a terminal: a disc name may hold bytes that
// fake lines or drive the terminal. Newline, tab and carriage return become
// \n, \t and \r; every other byte 00-1F and 7F becomes \xHH; the C1 controls
// U+0080-U+009F become \uHHHH; a backslash becomes \\ so that the escaped
// text reads back one way. Hex digits are upper-case; bytes that are not
// UTF-8 pass through as they are.
std::string EscapeControls(std::string_view utf8);
// EscapeControls for a host path, whose separators stay as they are: on
// Windows a backslash in a path is always a separator, never a name's byte.
std::string EscapeControlsInHostPath(std::string_view utf8);

// A host path (UTF-8) for an error line: one of more than 200 characters
// keeps its first 100 and its last 99 with "…" between them, so that the line
// stays readable and both the top and the name at the end show. Shorter
// paths come back as they are.
std::string ShortenedPath(std::string_view path);
// `text` with the `path` it starts with shortened so; any other text as it is.
std::string WithShortenedPath(std::string_view text, std::string_view path);

}  // namespace zanthrel
