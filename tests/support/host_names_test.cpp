#include "support/host_names.h"

#include <gtest/gtest.h>

#include "support/cp1251.h"

namespace zanthrel {
namespace {

TEST(HostNameTest, EncodingEscapesUnsafeBytesOnly) {
  EXPECT_EQ(EncodeHostName("a:b"), "a!3Ab");
  EXPECT_EQ(EncodeHostName("what?"), "what!3F");
  EXPECT_EQ(EncodeHostName("!"), "!21");
  EXPECT_EQ(EncodeHostName("*"), "!2A");
  EXPECT_EQ(EncodeHostName("wall w/ light"), "wall w!2F light");
  EXPECT_EQ(EncodeHostName(std::string("\x01\x98", 2)), "!01!98");
  EXPECT_EQ(EncodeHostName("Ab 9.-_\xC0\xFF\xA8\xB8"), "Ab 9.-_\xC0\xFF\xA8\xB8");
}

TEST(HostNameTest, DecodingAcceptsEitherCaseAndKeepsStrayMarks) {
  EXPECT_EQ(DecodeHostName("a!3ab!3A"), "a:b:");
  EXPECT_EQ(DecodeHostName("x!00y"), "xy");
  EXPECT_EQ(DecodeHostName("a!4"), "a!4");
  EXPECT_EQ(DecodeHostName("a!zz"), "a!zz");
  EXPECT_EQ(DecodeHostName("!"), "!");
  EXPECT_EQ(DecodeHostName("a!41b"), "aAb");
}

TEST(HostNameTest, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  EXPECT_EQ(DecodeHostName(EncodeHostName(all.substr(1))), all.substr(1));
  for (int b = 1; b < 256; ++b) {
    std::string one(1, char(b));
    EXPECT_EQ(DecodeHostName(EncodeHostName(one)), one) << b;
    EXPECT_EQ(DecodeHostName(HostFileName(one)), one) << b;
    EXPECT_EQ(DecodeHostName(HostFolderName(one)), one) << b;
  }
}

TEST(HostNameTest, NamesThatCouldLeaveTheFolderAreEscaped) {
  EXPECT_EQ(HostFileName(""), "!00");
  EXPECT_EQ(HostFileName("."), "!2E");
  EXPECT_EQ(HostFileName(".."), "!2E!2E");
  EXPECT_EQ(HostFolderName(".."), "!2E!2E");
  EXPECT_EQ(HostFolderName("a/b"), "a!2Fb");
  EXPECT_EQ(HostFolderName("x:y"), "x!3Ay");
  EXPECT_EQ(HostFolderName("\\"), "!5C");
  // A portable folder name stands as it is, "!" included.
  EXPECT_EQ(HostFolderName("wow!"), "wow!");
  EXPECT_EQ(HostFolderName(".hidden"), ".hidden");
  EXPECT_EQ(DecodeHostName(HostFileName("")), "");
  EXPECT_EQ(DecodeHostName(HostFileName("...")), "...");
}

TEST(Cp1251Test, EveryByteRoundTripsThroughUtf8) {
  for (int b = 0; b < 256; ++b) {
    std::string one(1, char(b));
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << b;
  }
  EXPECT_EQ(Cp1251ToUtf8("\xC0\xFF\xA8\xB9"), "\u0410\u044F\u0401\u2116");
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");
}

TEST(Cp1251Test, UnmappableAndInvalidBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a\u00E9b"), "a?b");          // é has no Windows-1251 form
  EXPECT_EQ(Utf8ToCp1251("\U0001F600"), "?");          // one character, one mark
  EXPECT_EQ(Utf8ToCp1251("x\xFFy\xC3"), "x?y?");       // stray bytes
  EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");           // overlong form
  EXPECT_EQ(Utf8ToCp1251("\u041F\u0440\u0438"), "\xCF\xF0\xE8");
}

}  // namespace
}  // namespace zanthrel
