#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

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
  EXPECT_EQ(BaseNameOf("/img/game.eu.iso"), "game");
  EXPECT_EQ(BaseNameOf("/img/.iso"), "");
  EXPECT_EQ(BaseNameOf("disc.iso.gz"), "disc");
  EXPECT_EQ(BaseNameOf("Demo Disc.final.iso"), "Demo Disc");
  EXPECT_EQ(BaseNameOf("noext"), "noext");
  EXPECT_EQ(JoinPath("/a", "b"), std::string("/a") + kPathSeparator + "b");
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

}  // namespace
}  // namespace zanthrel
