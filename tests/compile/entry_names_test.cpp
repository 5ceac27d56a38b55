#include "compile/entry_names.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "compile/folder_scan.h"
#include "compile/unique_ids.h"
#include "testkit/files.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

std::string EntryName(const std::string& hostName) {
  uint8_t field[32] = {};
  MakeEntryName(hostName, field);
  return std::string(reinterpret_cast<char*>(field), 32);
}

TEST(EntryNameTest, EscapesDecodeAndLongNamesFillTheField) {
  EXPECT_EQ(EntryName("a!41b"), std::string("aAb") + std::string(29, '\0'));
  EXPECT_EQ(EntryName("x!00y"), std::string("xy") + std::string(30, '\0'));
  EXPECT_EQ(EntryName("a!4").substr(0, 4), std::string("a!4\0", 4));
  EXPECT_EQ(EntryName("a!zz").substr(0, 5), std::string("a!zz\0", 5));
  EXPECT_EQ(EntryName(std::string(40, 'q')), std::string(32, 'q'));
}

TEST(EntryTypeTest, ExtensionBytesPaddedWithSpaces) {
  EXPECT_EQ(MakeEntryType("A.TXT"), 0x54585420u);
  EXPECT_EQ(MakeEntryType("x.c"), 0x63202020u);
  EXPECT_EQ(MakeEntryType("noext"), 0x20202020u);
  EXPECT_EQ(MakeEntryType("x.jpeg"), MakeEntryType("x.jpeg2"));
  EXPECT_EQ(MakeEntryType("a!2Eb"), 0x20202020u);  // escapes are not decoded for the type
  EXPECT_EQ(MakeEntryType("dir.d/plain"), 0x20202020u);
}

TEST(SpecialNameTest, CaseAndBlanksAroundDoNotMatter) {
  EXPECT_TRUE(IsSpecialName("System", "system"));
  EXPECT_TRUE(IsSpecialName(" system", "system"));
  EXPECT_TRUE(IsSpecialName("SYSTEM\t", "system"));
  EXPECT_FALSE(IsSpecialName("systems", "system"));
  EXPECT_FALSE(IsSpecialName("sys tem", "system"));
  EXPECT_TRUE(IsSpecialName("/a/b/Rom_Tags", "rom_tags"));
}

TEST(UniqueIdTest, IdsOfOneRunNeverRepeatAndAreNeverZero) {
  UniqueIdGenerator ids;
  std::unordered_set<uint32_t> seen;
  for (int i = 0; i < 200000; ++i) {
    uint32_t id = ids.NewUniqueId();
    EXPECT_NE(id, 0u);
    ASSERT_TRUE(seen.insert(id).second) << i;
  }
}

TEST(FolderScanTest, FixedOrderAndWhatIsLeftOut) {
#ifdef _WIN32
  GTEST_SKIP() << "names of one folder that differ only in case need a case-sensitive POSIX disk";
#endif
  testkit::TempFolder temp;
  for (const char* name : {"b", "B", "a", "_x", "A", ".profile", "Zeta", "ä"}) {
    testkit::WriteText(temp / name, "");
  }
  for (const char* name : {".git", ".cache", "dir"}) std::filesystem::create_directory(temp / name);
  FolderList list = ScanFolder(SystemHost(), temp.Path().string());
  std::vector<std::string> names;
  for (const FolderItem& item : list.items) names.push_back(item.hostName + (item.isDirectory ? "/" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{".profile", "A", "a", "B", "b", "dir/", "Zeta", "_x",
                                             "ä"}));
  EXPECT_TRUE(list.problems.empty());

  FolderList missing = ScanFolder(SystemHost(), temp / "nope");
  EXPECT_TRUE(missing.items.empty());
  ASSERT_EQ(missing.problems.size(), 1u);
  EXPECT_NE(missing.problems[0].find("nope: folder cannot be listed"), std::string::npos);
}

}  // namespace
}  // namespace zanthrel
