// What the Windows host door must do where the C runtime would not: binary
// data whole, renames onto existing files, real file identities, paths past
// 260 characters, names outside the code page, and the path rules of the host.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/host.h"
#include "support/text.h"
#include "testkit/files.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::TempFolder;

std::string Utf8PathOf(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

TEST(Win32HostTest, TextModeBytesAndEndOfFileMarksPassWhole) {
  TempFolder temp;
  Host& host = SystemHost();
  const std::string data("a\nb\r\nc\x1A" "d\0e", 10);
  {
    Result<HostFile> file = host.CreateFile(Utf8PathOf(temp.Path() / "f.bin"));
    ASSERT_TRUE(file) << file.Failure().text;
    ASSERT_TRUE(file->WriteAt(0, data.data(), data.size()));
  }
  EXPECT_EQ(fs::file_size(temp.Path() / "f.bin"), data.size());
  Result<HostFile> file = host.OpenFile(Utf8PathOf(temp.Path() / "f.bin"));
  ASSERT_TRUE(file);
  std::string back(32, '\0');
  Result<size_t> read = file->ReadAt(0, back.data(), back.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(back.substr(0, *read), data);
  // Offsets past 4 GiB reach the file as 64-bit numbers.
  Result<HostFile> sparse = host.CreateFile(Utf8PathOf(temp.Path() / "big.bin"));
  ASSERT_TRUE(sparse);
  ASSERT_TRUE(sparse->Truncate((uint64_t(1) << 32) + 10));
  EXPECT_EQ(sparse->Info()->size, (uint64_t(1) << 32) + 10);
  ASSERT_TRUE(sparse->Truncate(0));
}

TEST(Win32HostTest, RenameReplacesAnExistingFile) {
  TempFolder temp;
  testkit::WriteText(temp / "new", "new");
  testkit::WriteText(temp / "old", "old");
  ASSERT_TRUE(SystemHost().Rename(temp / "new", temp / "old"));
  EXPECT_EQ(testkit::ReadText(temp / "old"), "new");
  EXPECT_FALSE(fs::exists(temp.Path() / "new"));
}

TEST(Win32HostTest, IdentitiesTellFilesApartAndFolderListingsGiveThem) {
  TempFolder temp;
  Host& host = SystemHost();
  testkit::WriteText(temp / "a", "1");
  testkit::WriteText(temp / "b", "2");
  Result<PathInfo> a = host.InfoOf(temp / "a");
  Result<PathInfo> b = host.InfoOf(temp / "b");
  Result<PathInfo> again = host.InfoOf(temp / "a");
  ASSERT_TRUE(a && b && again);
  EXPECT_NE(a->identity.object, 0u);  // not st_ino's 0
  EXPECT_NE(a->identity, b->identity);
  EXPECT_EQ(a->identity, again->identity);
  EXPECT_EQ(a->kind, PathKind::kFile);
  EXPECT_EQ(host.InfoOf(temp.Path().string())->kind, PathKind::kFolder);

  Result<std::vector<FolderChild>> children = host.ListFolder(temp.Path().string());
  ASSERT_TRUE(children);
  ASSERT_EQ(children->size(), 2u);
  for (const FolderChild& child : *children) {
    ASSERT_TRUE(child.info);
    EXPECT_EQ(child.info->identity, child.name == "a" ? a->identity : b->identity);
    EXPECT_FALSE(child.link);  // plain files, no reparse points
  }
}

TEST(Win32HostTest, LongPathsAndNamesOutsideTheCodePage) {
  TempFolder temp;
  Host& host = SystemHost();
  // Deeper than MAX_PATH, made through the host alone.
  std::string deep = temp.Path().string();
  for (int level = 0; level < 6; ++level) deep = JoinPath(deep, std::string(60, char('a' + level)));
  ASSERT_GT(deep.size(), 300u);
  ASSERT_TRUE(MakeFolderPath(host, deep));
  const std::string file = JoinPath(deep, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE2\x84\x96 1.bin");
  {
    Result<HostFile> made = host.CreateNewFile(file);
    ASSERT_TRUE(made) << made.Failure().text;
    ASSERT_TRUE(made->WriteAt(0, "x", 1));
  }
  Result<std::vector<FolderChild>> children = host.ListFolder(deep);
  ASSERT_TRUE(children);
  ASSERT_EQ(children->size(), 1u);
  EXPECT_EQ(JoinPath(deep, (*children)[0].name), file);  // UTF-8 back, unchanged
  EXPECT_EQ((*children)[0].info->size, 1u);
  Result<HostFile> again = host.CreateNewFile(file);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.Failure().code, EEXIST);
  ASSERT_TRUE(host.RemoveFile(file));
}

TEST(Win32HostTest, PathRulesOfTheHost) {
  EXPECT_EQ(kPathSeparator, '\\');
  EXPECT_EQ(JoinPath("C:\\games", "disc.iso"), "C:\\games\\disc.iso");
  EXPECT_EQ(FileNameOf("C:\\games/sub\\disc.iso"), "disc.iso");
  EXPECT_EQ(FileNameOf("C:/games/disc.iso"), "disc.iso");
  EXPECT_EQ(BaseNameOf("C:\\a.b\\disc.iso.gz"), "disc");
  EXPECT_EQ(ExtensionOf("C:\\a.b\\disc"), "");
  EXPECT_TRUE(IsAbsolutePath("C:\\x"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\x"));
  EXPECT_FALSE(IsAbsolutePath("x\\y"));
  EXPECT_FALSE(IsAbsolutePath("\\x"));  // on the current drive: taken inside the current directory
  // The folder of a file at a drive's root is the root, not the drive's current folder.
  EXPECT_EQ(ParentFolderOf("C:\\x.iso"), "C:\\");
  EXPECT_EQ(ParentFolderOf("C:\\games\\x.iso"), "C:\\games");
  EXPECT_EQ(ParentFolderOf("x.iso"), ".");

  TempFolder temp;
  Result<std::string> current = SystemHost().CurrentDirectory();
  ASSERT_TRUE(current);
  EXPECT_TRUE(IsAbsolutePath(*current)) << *current;
  EXPECT_EQ(current->rfind("\\\\?\\", 0), std::string::npos);
  Result<std::string> real = SystemHost().RealPath(".");
  ASSERT_TRUE(real) << real.Failure().text;
  EXPECT_TRUE(IsAbsolutePath(*real)) << *real;
  EXPECT_EQ(real->rfind("\\\\?\\", 0), std::string::npos);
}

}  // namespace
}  // namespace zanthrel
