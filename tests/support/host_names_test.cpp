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

TEST(HostNameTest, WindowsRulesEscapeDeviceNamesAndTrailingDotsAndSpaces) {
  constexpr HostNameRules kWindows = HostNameRules::kWindows;
  const std::pair<const char*, const char*> cases[] = {
      {"CON", "!43ON"},         {"con.txt", "!63on.txt"}, {"Aux.tar.gz", "!41ux.tar.gz"},
      {"NUL", "!4EUL"},         {"prn", "!70rn"},         {"COM1", "!43OM1"},
      {"lpt9.dat", "!6Cpt9.dat"}, {"CON .txt", "!43ON .txt"}, {"name.", "name!2E"},
      {"name ", "name!20"},     {"CON.", "!43ON!2E"},
      // Not device names: other numbers, longer stems, the name inside another.
      {"COM0", "COM0"},         {"LPT10", "LPT10"},       {"CONSOLE", "CONSOLE"},
      {"a.CON", "a.CON"},       {"x.y", "x.y"}};
  for (const auto& [opera, host] : cases) {
    EXPECT_EQ(HostFileName(opera, kWindows), host) << opera;
    EXPECT_EQ(HostFolderName(opera, kWindows), host) << opera;
    EXPECT_EQ(DecodeHostName(HostFileName(opera, kWindows)), opera) << opera;
    // Elsewhere these names stand as they are.
    EXPECT_EQ(HostFileName(opera, HostNameRules::kPosix), opera) << opera;
    EXPECT_EQ(HostFolderName(opera, HostNameRules::kPosix), opera) << opera;
  }
  for (int b = 1; b < 256; ++b) {
    for (const std::string& name : {std::string(1, char(b)), "CON" + std::string(1, char(b))}) {
      EXPECT_EQ(DecodeHostName(HostFileName(name, kWindows)), name) << b;
      EXPECT_EQ(DecodeHostName(HostFolderName(name, kWindows)), name) << b;
    }
  }
}

TEST(HostNameTest, NamesDifferingOnlyInCaseStayApartUnderWindowsRules) {
  FolderHostNames windows(HostNameRules::kWindows);
  EXPECT_EQ(windows.FileName("readme"), "readme");
  EXPECT_EQ(windows.FileName("README"), "!52EADME");
  EXPECT_EQ(windows.FileName("Readme"), "!52!65adme");  // "!52eadme" is taken, case aside
  EXPECT_FALSE(windows.Numbered());
  EXPECT_EQ(windows.FolderName("DATA"), "DATA");
  EXPECT_EQ(windows.FolderName("data"), "!64ata");
  // Cyrillic letters have case on Windows disks too; escapes already made stay whole.
  EXPECT_EQ(windows.FileName("\xC0:"), "\xC0!3A");
  EXPECT_EQ(windows.FileName("\xE0:"), "!E0!3A");
  EXPECT_EQ(windows.FileName("1:"), "1!3A");
  FolderHostNames fresh(HostNameRules::kWindows);
  for (const char* name : {"readme", "README", "Readme", "data", "\xE0:"}) {
    EXPECT_EQ(DecodeHostName(fresh.FileName(name)), name) << name;
  }

  FolderHostNames posix(HostNameRules::kPosix);
  EXPECT_EQ(posix.FileName("readme"), "readme");
  EXPECT_EQ(posix.FileName("README"), "README");
  EXPECT_EQ(posix.FolderName("CON"), "CON");
}

// A name met again, as a file or a folder, takes the first free number before
// its extension; the earlier entry keeps its name, and a number never takes
// a name handed out before, even one that was the disc's own.
TEST(HostNameTest, NamesMetAgainTakeTheFirstFreeNumber) {
  for (HostNameRules rules : {HostNameRules::kPosix, HostNameRules::kWindows}) {
    FolderHostNames names(rules);
    EXPECT_EQ(names.FileName("a.txt"), "a.txt");
    EXPECT_FALSE(names.Numbered());
    EXPECT_EQ(names.FileName("a~2.txt"), "a~2.txt");
    EXPECT_EQ(names.FileName("a.txt"), "a~1.txt");
    EXPECT_TRUE(names.Numbered());
    EXPECT_EQ(names.FolderName("a.txt"), "a~3.txt");  // ~1 and ~2 are taken
    EXPECT_EQ(names.FileName("a~1.txt"), "a~1~1.txt");  // the disc's own name, met late
    EXPECT_EQ(names.FileName("x"), "x");
    EXPECT_EQ(names.FolderName("x"), "x~1");
    EXPECT_EQ(names.FileName(".profile"), ".profile");
    EXPECT_EQ(names.FileName(".profile"), ".profile~1");
    EXPECT_EQ(names.FileName("v1.0.iso"), "v1.0.iso");
    EXPECT_EQ(names.FileName("v1.0.iso"), "v1.0~1.iso");
    // Escaped names take their numbers behind the escapes.
    EXPECT_EQ(names.FileName(".."), "!2E!2E");
    EXPECT_EQ(names.FileName(".."), "!2E!2E~1");
    EXPECT_EQ(names.FileName(""), "!00");
    EXPECT_EQ(names.FileName(""), "!00~1");
    EXPECT_FALSE(names.FileName("y").empty());
    EXPECT_FALSE(names.Numbered());
  }
  // Under the Windows rules a number is free only when it is free case aside.
  FolderHostNames windows(HostNameRules::kWindows);
  EXPECT_EQ(windows.FileName("B~1"), "B~1");
  EXPECT_EQ(windows.FileName("b"), "b");
  EXPECT_EQ(windows.FileName("b"), "b~2");
  EXPECT_EQ(windows.FileName("README"), "README");
  EXPECT_EQ(windows.FileName("README"), "README~1");
  EXPECT_EQ(windows.FileName("readme"), "!72eadme");

  // A hostile folder of one name many times over: each name found at once.
  FolderHostNames many(HostNameRules::kPosix);
  std::string last;
  for (int i = 0; i < 50000; ++i) last = many.FileName("same.dat");
  EXPECT_EQ(last, "same~49999.dat");
}

// Names read as UTF-8 keep every whole character past ASCII; what is not
// UTF-8 is escaped, so the host name is UTF-8 and decodes to the same bytes.
TEST(HostNameTest, NamesReadAsUtf8KeepTheirCharactersAndEscapeStrayBytes) {
  constexpr TextEncoding kUtf8 = TextEncoding::kUtf8;
  EXPECT_EQ(EncodeHostName("Музыка/日本?.txt", kUtf8), "Музыка!2F日本!3F.txt");
  const std::string broken("a\xD0\xE6\x80z", 5);  // a lead byte cut short, stray bytes
  EXPECT_EQ(EncodeHostName(broken, kUtf8), "a!D0!E6!80z");
  EXPECT_EQ(DecodeHostName(EncodeHostName(broken, kUtf8)), broken);
  // The same bytes read as Windows-1251 keep their letters, escape the rest.
  EXPECT_EQ(EncodeHostName("Ж", TextEncoding::kCp1251), "\xD0!96");

  EXPECT_TRUE(IsPortableFolderName("Музыка", kUtf8));
  EXPECT_FALSE(IsPortableFolderName(broken, kUtf8));
  EXPECT_TRUE(IsPortableFolderName(broken, TextEncoding::kCp1251));
  EXPECT_EQ(HostFolderName("日本", HostNameRules::kPosix, kUtf8), "日本");
  EXPECT_EQ(HostFileName("", HostNameRules::kPosix, kUtf8), "!00");

  FolderHostNames names(HostNameRules::kPosix, kUtf8);
  EXPECT_EQ(names.FileName("ファイル.txt"), "ファイル.txt");
  EXPECT_EQ(names.FolderName("ファイル.txt"), "ファイル~1.txt");
  EXPECT_EQ(TextAsUtf8("ファイル", kUtf8), "ファイル");
  EXPECT_EQ(TextAsUtf8("\xC0", TextEncoding::kCp1251), "А");
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
