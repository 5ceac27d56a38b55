#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <string>

#include "support/cp1251.h"

namespace zanthrel {
namespace {

TEST(NumberTextTest, DecimalAtTheLimits) {
  EXPECT_EQ(SignedDecimal(0), "0");
  EXPECT_EQ(SignedDecimal(-5), "-5");
  EXPECT_EQ(SignedDecimal(std::numeric_limits<int32_t>::max()), "2147483647");
  EXPECT_EQ(SignedDecimal(std::numeric_limits<int32_t>::min()), "-2147483648");
  EXPECT_EQ(UnsignedDecimal(0xFFFFFFFF), "4294967295");
  EXPECT_EQ(UnsignedDecimal(1000), "1000");
  EXPECT_EQ(UnsignedDecimal64(UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(UnsignedDecimal64(123456789), UnsignedDecimal(123456789));
}

TEST(NumberTextTest, DecimalValuesTakeDigitsOnlyUpToTheirWidth) {
  EXPECT_EQ(DecimalValue("0", 1), 0u);
  EXPECT_EQ(DecimalValue("007", 3), 7u);
  EXPECT_EQ(DecimalValue("999999999", 9), 999999999u);
  EXPECT_EQ(DecimalValue("9999999999999999999", 19), 9999999999999999999u);
  EXPECT_FALSE(DecimalValue("1234567890", 9));  // one digit too many
  EXPECT_FALSE(DecimalValue("", 9));
  EXPECT_FALSE(DecimalValue("+1", 9));
  EXPECT_FALSE(DecimalValue("1 ", 9));
  EXPECT_FALSE(DecimalValue("1:", 9));
  EXPECT_FALSE(DecimalValue("-1", 9));
}

TEST(NumberTextTest, HexWidthsArePadded_ClippedAndHeld) {
  EXPECT_EQ(HexText(0xFFFFFFFF, 8, true), "0xFFFFFFFF");
  EXPECT_EQ(HexText(20, 8, true), "0x00000014");
  EXPECT_EQ(HexText(0x1A2B, 2, false), "2B");
  EXPECT_EQ(HexText(0x1A2B, 0, false), "B");
  EXPECT_EQ(HexText(0x1A2B, 12, false), "00001A2B");
  EXPECT_EQ(HexByteText(0x3F, 2, false), "3F");
  EXPECT_EQ(HexByteText(0x0A, 2, false), "0A");
  EXPECT_EQ(HexByteText(0x3F, 1, false), "F");
  EXPECT_EQ(HexByteText(0x3F, 5, true), "0x3F");
  EXPECT_EQ(Hex8(0x1D), "0x0000001D");
}

TEST(PathTextTest, ExtensionFileAndBaseNamesUseTheHostSeparator) {
  EXPECT_EQ(ExtensionOf("/img/game.iso"), "iso");
  EXPECT_EQ(ExtensionOf("/img.d/game"), "");
  EXPECT_EQ(ExtensionOf("a.tar.gz"), "gz");
  EXPECT_EQ(ExtensionOf("name."), "");
  EXPECT_EQ(FileNameOf("/img/game.iso"), "game.iso");
  EXPECT_EQ(FileNameOf("/img/"), "");
  EXPECT_EQ(FileNameOf("plain"), "plain");
  EXPECT_EQ(JoinPath("/a", "b"), std::string("/a") + kPathSeparator + "b");
}

// Two images whose names differ after their first dot never share a base.
TEST(PathTextTest, BaseNameDropsGzAndTheLastExtensionOnly) {
  EXPECT_EQ(BaseNameOf("/img/game.iso"), "game");
  EXPECT_EQ(BaseNameOf("/img.d/game.iso.gz"), "game");
  EXPECT_EQ(BaseNameOf("GAME.ISO.GZ"), "GAME");
  EXPECT_EQ(BaseNameOf("game.gz"), "game");
  EXPECT_EQ(BaseNameOf("Game (USA) (v1.0).iso"), "Game (USA) (v1.0)");
  EXPECT_EQ(BaseNameOf("Game (USA) (v1.1).iso"), "Game (USA) (v1.1)");
  EXPECT_EQ(BaseNameOf("/img/game.eu.iso"), "game.eu");
  EXPECT_EQ(BaseNameOf("disc.gz.iso"), "disc.gz");
  EXPECT_EQ(BaseNameOf("GAME"), "GAME");
  EXPECT_EQ(BaseNameOf("name."), "name");
  EXPECT_EQ(BaseNameOf("/img/.iso"), ".iso");
  EXPECT_EQ(BaseNameOf(".gz"), ".gz");
  EXPECT_EQ(BaseNameOf("..iso"), "..iso");
  EXPECT_EQ(BaseNameOf(".game.iso.gz"), ".game");
}

TEST(PathTextTest, FolderPartIsWhatComesBeforeTheLastSeparator) {
  const std::string s(1, kPathSeparator);
  for (const std::string& path : {"a" + s + "b" + s + "c.iso", s + "c.iso", "a" + s + s + "c", s + "a" + s}) {
    const std::optional<std::string> folder = FolderPartOf(path);
    ASSERT_TRUE(folder) << path;
    EXPECT_EQ(JoinPath(*folder, FileNameOf(path)), path);
  }
  EXPECT_EQ(FolderPartOf("a" + s + "b" + s + "c.iso"), "a" + s + "b");
  EXPECT_EQ(FolderPartOf(s + "c.iso"), "");  // the root, once joined
  EXPECT_EQ(FolderPartOf("a" + s + "b" + s), "a" + s + "b");
  EXPECT_EQ(FolderPartOf("a" + s + s + "c"), "a" + s);
  EXPECT_EQ(FolderPartOf(s), "");
  EXPECT_FALSE(FolderPartOf("c.iso"));
  EXPECT_FALSE(FolderPartOf(""));
#ifdef _WIN32
  EXPECT_EQ(FolderPartOf("C:\\c.iso"), "C:");
  EXPECT_EQ(FolderPartOf("C:\\games/c.iso"), "C:\\games");
  EXPECT_EQ(FolderPartOf("C:/games\\c.iso"), "C:/games");
  EXPECT_EQ(FolderPartOf("\\\\server\\share\\c.iso"), "\\\\server\\share");
  EXPECT_FALSE(FolderPartOf("C:c.iso"));  // on drive C, in its current directory
#else
  EXPECT_FALSE(FolderPartOf("C:\\games\\c.iso"));  // a backslash is part of a POSIX name
#endif
}

TEST(PathTextTest, BelowAFolderIsInsideItNotBesideIt) {
  const std::string s(1, kPathSeparator);
  const std::string folder = s + "games" + s + "src";
  EXPECT_TRUE(LiesBelow(folder + s + "a.iso", folder));
  EXPECT_TRUE(LiesBelow(folder + s + "sub" + s + "a.iso", folder));
  EXPECT_TRUE(LiesBelow(folder + s + "a.iso", s));  // everything is below the root
  EXPECT_FALSE(LiesBelow(folder, folder));
  EXPECT_FALSE(LiesBelow(folder + ".iso", folder));  // beside, with a name that begins the same
  EXPECT_FALSE(LiesBelow(s + "games", folder));
  EXPECT_FALSE(LiesBelow(folder + s + "a.iso", ""));
#ifdef _WIN32
  EXPECT_TRUE(LiesBelow("C:\\games", "C:\\"));
  EXPECT_FALSE(LiesBelow("D:\\games", "C:\\"));
#endif
}

TEST(CaseTextTest, LettersAreTheBytesWithTwoCases) {
  // The upper-case letters are what LowerCase changes; with their lower-case
  // forms they are the whole class.
  std::set<uint8_t> cased;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, char(b));
    const std::string lowered = LowerCase(byte);
    if (lowered == byte) continue;
    cased.insert(uint8_t(b));
    cased.insert(uint8_t(lowered[0]));
  }
  for (int b = 0; b < 256; ++b) EXPECT_EQ(IsCp1251Letter(uint8_t(b)), cased.contains(uint8_t(b))) << b;
  // A-Z, a-z, А-Я, а-я, Ё and ё; Ukrainian and Belarusian letters and № are outside.
  EXPECT_EQ(cased.size(), 26u + 26 + 32 + 32 + 2);
  for (uint8_t other : {0xAA, 0xB2, 0xB3, 0xA1, 0xB9, 0x40, 0x5B, 0x60, 0x7B}) {
    EXPECT_FALSE(IsCp1251Letter(other)) << int(other);
  }
}

TEST(CaseTextTest, LowerCaseTrimAndFields) {
  EXPECT_EQ(LowerCase("Disc label"), "disc label");
  EXPECT_EQ(LowerCase("A-Z 09 .,!"), "a-z 09 .,!");
  // А..Я (C0..DF) to а..я (E0..FF), Ё (A8) to ё (B8); lower case stays.
  EXPECT_EQ(LowerCase("\xC0\xDF\xA8\xE0\xB8"), "\xE0\xFF\xB8\xE0\xB8");
  EXPECT_EQ(TrimBlanks("\t  disc label \t"), "disc label");
  EXPECT_EQ(TrimBlanks(" \t \t"), "");
  EXPECT_EQ(TrimBlanks("a  b"), "a  b");

  uint8_t full[32];
  for (int i = 0; i < 32; ++i) full[i] = uint8_t('a' + i % 26);
  EXPECT_EQ(FieldText(full, 32).size(), 32u);
  uint8_t empty[32] = {};
  EXPECT_EQ(FieldText(empty, 32), "");
  uint8_t shortName[32] = {'a', 'b', 0, 'c'};
  EXPECT_EQ(FieldText(shortName, 32), "ab");
}

TEST(EscapeControlsTest, EveryC0ByteAndDelBecomeAnEscape) {
  EXPECT_EQ(EscapeControls("\n"), "\\n");
  EXPECT_EQ(EscapeControls("\t"), "\\t");
  EXPECT_EQ(EscapeControls("\r"), "\\r");
  EXPECT_EQ(EscapeControls(std::string(1, '\0')), "\\x00");
  EXPECT_EQ(EscapeControls("\x1B[2J"), "\\x1B[2J");
  EXPECT_EQ(EscapeControls("\x7F"), "\\x7F");
  for (int byte = 0; byte < 0x20; ++byte) {
    const std::string escaped = EscapeControls(std::string(1, static_cast<char>(byte)));
    if (byte == '\n' || byte == '\t' || byte == '\r') {
      EXPECT_EQ(escaped.size(), 2u) << byte;
    } else {
      EXPECT_EQ(escaped, "\\x" + HexByteText(static_cast<uint8_t>(byte), 2, false)) << byte;
    }
    for (char c : escaped) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << byte;
  }
  for (int byte = 0x20; byte < 0x7F; ++byte) {
    if (byte == '\\') continue;
    const std::string plain(1, static_cast<char>(byte));
    EXPECT_EQ(EscapeControls(plain), plain) << byte;
  }
}

TEST(EscapeControlsTest, C1ControlsAndBackslashesAreEscaped_OtherTextStays) {
  // Windows-1251 0x98 is unassigned and comes through as U+0098, a C1 control.
  EXPECT_EQ(EscapeControls(Cp1251ToUtf8("a\x98" "b")), "a\\u0098b");
  EXPECT_EQ(EscapeControls("\xC2\x80\xC2\x9F"), "\\u0080\\u009F");
  EXPECT_EQ(EscapeControls("\xC2\xA0"), "\xC2\xA0");  // U+00A0 is no control
  EXPECT_EQ(EscapeControls("a\\b"), "a\\\\b");
  // A name that holds a backslash and one that holds an escape read differently.
  EXPECT_NE(EscapeControls("\\n"), EscapeControls("\n"));
  EXPECT_EQ(EscapeControls("LaunchMe.bin"), "LaunchMe.bin");
  EXPECT_EQ(EscapeControls("Игры/Ёлка"), "Игры/Ёлка");
  EXPECT_EQ(EscapeControls(Cp1251ToUtf8("\xC8\xE3\xF0\xFB")), "Игры");
  EXPECT_EQ(EscapeControls("\xFF\xC2"), "\xFF\xC2");  // not UTF-8: passed on as it is
  EXPECT_EQ(EscapeControls(""), "");
}

// A host path keeps its separators, so a Windows path is not shown doubled;
// its controls are escaped all the same.
TEST(EscapeControlsTest, HostPathsKeepTheirSeparators) {
  const std::string path = std::string("out") + kPathSeparator + "a\nb" + kPathSeparator + "c";
  const std::string separator(1, kPathSeparator);
  EXPECT_EQ(EscapeControlsInHostPath(std::string("out") + kPathSeparator + "a\x1B"),
            "out" + separator + "a\\x1B");
  EXPECT_EQ(EscapeControlsInHostPath("x/y"), "x/y");
  EXPECT_EQ(EscapeControlsInHostPath("x\\y"), kPathSeparator == '\\' ? "x\\y" : "x\\\\y");
  EXPECT_EQ(EscapeControlsInHostPath(path).find('\n'), std::string::npos);
}

// Error lines shorten a long path in its middle, counting characters rather
// than bytes and never cutting one in two.
TEST(ShortenedPathTest, PathsOver200CharactersKeepBothEnds) {
  const std::string exact(200, 'a');
  EXPECT_EQ(ShortenedPath(exact), exact);
  const std::string head(100, 'h'), middle(50, 'm'), tail(99, 't');
  EXPECT_EQ(ShortenedPath(head + middle + tail), head + "\u2026" + tail);
  // 201 Cyrillic letters of two bytes each: 100 and 99 of them stay.
  std::string cyrillic;
  for (int i = 0; i < 201; ++i) cyrillic += "\u0416";
  const std::string shortened = ShortenedPath(cyrillic);
  EXPECT_EQ(shortened, cyrillic.substr(0, 200) + "\u2026" + cyrillic.substr(402 - 198));
  EXPECT_EQ(WithShortenedPath(head + middle + tail + ": No space left", head + middle + tail),
            head + "\u2026" + tail + ": No space left");
  EXPECT_EQ(WithShortenedPath("other: text", head + middle + tail), "other: text");
}

}  // namespace
}  // namespace zanthrel
