// The volume label a compile writes: chosen fields, a root "Disc label" file
// taken as its source, and the warning of boot files a bootable disc lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "compile/compile_run.h"
#include "opera/records.h"
#include "source/image_source.h"
#include "support/cp1251.h"
#include "testkit/files.h"
#include "testkit/image_reader.h"
#include "testkit/temp_folder.h"
#include "volume/label.h"
#include "workflow/compile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
namespace L = opera::label;
using testkit::Bytes;
using testkit::ImageReader;

Label LabelOf(const std::string& image) {
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, image).Ok());
  std::optional<Label> label = ReadLabel(source);
  EXPECT_TRUE(label.has_value());
  return label.value_or(Label{});
}

std::vector<std::string> RootNames(const std::string& image) {
  const ImageReader reader{testkit::ReadBytes(image)};
  std::vector<std::string> names;
  for (const testkit::ImageEntry& entry : reader.Directory(reader.RootBlock())) names.push_back(entry.name);
  return names;
}

// 132 bytes as decompile --disc-label writes them.
Bytes LabelFileBytes(const std::string& text, const std::string& comment, uint32_t volumeId, uint32_t rootId) {
  Bytes bytes(opera::kLabelSize, 0);
  std::copy(std::begin(opera::kLabelSignature), std::end(opera::kLabelSignature), bytes.begin());
  std::copy(comment.begin(), comment.end(), bytes.begin() + L::kComment);
  std::copy(text.begin(), text.end(), bytes.begin() + L::kLabelText);
  opera::WriteBig32(&bytes[L::kVolumeId], volumeId);
  opera::WriteBig32(&bytes[L::kRootId], rootId);
  opera::WriteBig32(&bytes[L::kBlockCount], 99999);  // of the old disc: never taken
  return bytes;
}

class VolumeLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(temp_.Path() / "src");
    testkit::WriteText(temp_ / "src/readme.txt", "hello");
  }
  CompileReport Compile(const std::string& image, const LabelFields& fields = {}, bool bootArea = false) {
    CompileRequest request;
    request.folder = temp_ / "src";
    request.imagePath = temp_ / image;
    request.bootArea = bootArea;
    request.label = fields;
    return CompileFolderToImage(request);
  }

  testkit::TempFolder temp_;
};

// The chosen fields land in the label, in both of its copies, and nothing
// else of the image moves: the entries keep the ids they had.
TEST_F(VolumeLabelTest, ChosenFieldsAreWrittenAndTheRestStaysAsItWas) {
  ASSERT_TRUE(Compile("plain.iso", {}, true).written);
  LabelFields fields;
  fields.text = "Игра: перевод, версия 1.0 (RU)!!";  // 32 bytes in Windows-1251
  fields.comment = "";
  fields.volumeId = 0xDEADBEEF;
  fields.rootId = 7;
  const CompileReport report = Compile("chosen.iso", fields, true);
  ASSERT_TRUE(report.written) << report.failure;
  ASSERT_EQ(Utf8ToCp1251(*fields.text).size(), 32u);

  const Label plain = LabelOf(temp_ / "plain.iso");
  const Label chosen = LabelOf(temp_ / "chosen.iso");
  EXPECT_EQ(LabelText(plain.View()), "CD-ROM");
  EXPECT_EQ(LabelText(chosen.View()), Utf8ToCp1251(*fields.text));
  EXPECT_EQ(LabelComment(chosen.View()), "");
  EXPECT_EQ(chosen.View().Field(L::kVolumeId), 0xDEADBEEFu);
  EXPECT_EQ(chosen.View().Field(L::kRootId), 7u);

  Bytes a = testkit::ReadBytes(temp_ / "plain.iso");
  Bytes b = testkit::ReadBytes(temp_ / "chosen.iso");
  ASSERT_EQ(a.size(), b.size());
  // Block 225 is the label's second copy.
  EXPECT_TRUE(std::equal(b.begin(), b.begin() + 2048, b.begin() + 225 * 2048));
  for (uint32_t block : {0u, 225u}) {
    std::fill_n(a.begin() + block * 2048, opera::kLabelSize, 0);
    std::fill_n(b.begin() + block * 2048, opera::kLabelSize, 0);
  }
  EXPECT_EQ(a, b);

  // A comment alone leaves the text as it was.
  LabelFields comment;
  comment.comment = "patched";
  ASSERT_TRUE(Compile("comment.iso", comment).written);
  const Label commented = LabelOf(temp_ / "comment.iso");
  EXPECT_EQ(LabelComment(commented.View()), "patched");
  EXPECT_EQ(LabelText(commented.View()), "CD-ROM");
}

TEST_F(VolumeLabelTest, ATextThatCannotBeStoredRefusesTheRunAndWritesNothing) {
  for (const std::string& text : {std::string(33, 'x'), std::string("日本"), std::string(17, '\xD0') }) {
    LabelFields fields;
    fields.comment = text;
    const CompileReport report = Compile("never.iso", fields);
    EXPECT_TRUE(report.refused);
    EXPECT_NE(report.failure.find("the volume comment"), std::string::npos) << report.failure;
    EXPECT_FALSE(fs::exists(temp_.Path() / "never.iso"));
  }
  // 16 Cyrillic letters are 32 bytes in UTF-8 and 16 on the disc: they fit.
  LabelFields fields;
  fields.text = "АБВГДЕЖЗИЙКЛМНОП";
  ASSERT_TRUE(Compile("fits.iso", fields).written);
  EXPECT_EQ(LabelText(LabelOf(temp_ / "fits.iso").View()), Utf8ToCp1251("АБВГДЕЖЗИЙКЛМНОП"));
}

TEST(LabelFieldsTest, IdsAreDecimalOrHexOf32Bits) {
  EXPECT_EQ(*LabelIdNumber("0"), 0u);
  EXPECT_EQ(*LabelIdNumber("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(*LabelIdNumber("0x0"), 0u);
  EXPECT_EQ(*LabelIdNumber("0XdeadBEEF"), 0xDEADBEEFu);
  EXPECT_EQ(*LabelIdNumber("010"), 10u);  // decimal: no octal surprise
  for (const char* bad : {"", "4294967296", "0x100000000", "-1", "+1", " 1", "1 ", "0x", "0x-1", "12a", "ten"}) {
    EXPECT_FALSE(LabelIdNumber(bad).Ok()) << bad;
  }
  EXPECT_EQ(LabelIdText(0xBEEF), "0x0000BEEF");
}

// What decompile --disc-label extracts comes back as the label, not as a file.
TEST_F(VolumeLabelTest, ARootDiscLabelFileIsTheLabelsSourceAndIsNotStored) {
  testkit::WriteBytes(temp_ / "src/Disc label", LabelFileBytes("MYGAME", "build 7", 0x11223344, 0x55667788));
  CompileReport report = Compile("from-file.iso");
  ASSERT_TRUE(report.written) << report.failure;
  EXPECT_EQ(report.labelFile, (fs::canonical(temp_.Path() / "src") / "Disc label").string());
  EXPECT_TRUE(report.renamed.empty());
  EXPECT_EQ(RootNames(temp_ / "from-file.iso"), (std::vector<std::string>{"readme.txt", "Disc label"}));
  const Label label = LabelOf(temp_ / "from-file.iso");
  EXPECT_EQ(LabelText(label.View()), "MYGAME");
  EXPECT_EQ(LabelComment(label.View()), "build 7");
  EXPECT_EQ(label.View().Field(L::kVolumeId), 0x11223344u);
  EXPECT_EQ(label.View().Field(L::kRootId), 0x55667788u);
  EXPECT_EQ(label.View().BlockCount(), 3u);  // the new image's, not the old disc's

  // The options win over the file, field by field.
  LabelFields fields;
  fields.text = "OTHER";
  fields.rootId = 1;
  ASSERT_TRUE(Compile("options-win.iso", fields).written);
  const Label mixed = LabelOf(temp_ / "options-win.iso");
  EXPECT_EQ(LabelText(mixed.View()), "OTHER");
  EXPECT_EQ(LabelComment(mixed.View()), "build 7");
  EXPECT_EQ(mixed.View().Field(L::kVolumeId), 0x11223344u);
  EXPECT_EQ(mixed.View().Field(L::kRootId), 1u);
}

// Only a whole label is taken; anything else of the name is an ordinary
// file, stored under a number as before.
TEST_F(VolumeLabelTest, ADiscLabelFileThatIsNoLabelStaysAFile) {
  Bytes unsigned132 = LabelFileBytes("X", "", 1, 2);
  unsigned132[1] = 0;
  Bytes longer = LabelFileBytes("X", "", 1, 2);
  longer.push_back(0);
  for (const Bytes& content : {unsigned132, longer, Bytes(10, 1)}) {
    testkit::WriteBytes(temp_ / "src/Disc label", content);
    const CompileReport report = Compile("kept.iso");
    ASSERT_TRUE(report.written) << report.failure;
    EXPECT_EQ(report.labelFile, "");
    EXPECT_EQ(RootNames(temp_ / "kept.iso"), (std::vector<std::string>{"Disc label~1", "readme.txt", "Disc label"}));
    EXPECT_EQ(LabelText(LabelOf(temp_ / "kept.iso").View()), "CD-ROM");
  }
  // Below the root the name is nothing special.
  fs::remove(temp_.Path() / "src/Disc label");
  fs::create_directories(temp_.Path() / "src/sub");
  testkit::WriteBytes(temp_ / "src/sub/Disc label", LabelFileBytes("SUB", "", 1, 2));
  ASSERT_TRUE(Compile("sub.iso").written);
  EXPECT_EQ(LabelText(LabelOf(temp_ / "sub.iso").View()), "CD-ROM");
}

// The label of an image, put in the folder as decompile --disc-label writes
// it, gives the same label again; a name in another case is taken too.
TEST_F(VolumeLabelTest, ALabelWrittenOutAsAFileComesBackAsItWas) {
  LabelFields fields;
  fields.text = "Игра";
  fields.comment = "перевод";
  fields.volumeId = 0xCAFE;
  fields.rootId = 0xF00D;
  ASSERT_TRUE(Compile("first.iso", fields).written);
  const Label first = LabelOf(temp_ / "first.iso");
  testkit::WriteBytes(temp_ / "src/DISC LABEL", Bytes(first.bytes.begin(), first.bytes.end()));
  ASSERT_TRUE(Compile("second.iso").written);
  EXPECT_EQ(LabelOf(temp_ / "second.iso").bytes, first.bytes);
}

class BootFilesTest : public ::testing::Test {
 protected:
  void Make(const std::string& relative) {
    fs::create_directories((temp_.Path() / "src" / relative).parent_path());
    testkit::WriteText(temp_ / ("src/" + relative), "x");
  }
  std::vector<std::string> BootWarnings(bool bootArea = true) {
    const CompileReport report = CompileImage(temp_ / "src", temp_ / "out.iso", bootArea);
    EXPECT_TRUE(report.written) << report.failure;
    std::vector<std::string> found;
    for (const std::string& warning : report.warnings) {
      if (warning.find("will not boot") != std::string::npos) found.push_back(warning);
    }
    return found;
  }
  std::string Missing(const std::string& list) {
    return fs::canonical(temp_.Path() / "src").string() + ": the image will not boot; missing: " + list;
  }

  testkit::TempFolder temp_;
};

TEST_F(BootFilesTest, OneWarningNamesExactlyTheFilesMissing) {
  fs::create_directories(temp_.Path() / "src");
  EXPECT_EQ(BootWarnings(), (std::vector<std::string>{testkit::NoBootFilesWarning(temp_ / "src")}));

  // Found where compile takes them, in any case and with blanks around: the
  // boot code in system/ itself or in a kernel/ folder of it.
  Make(" LaunchMe");
  Make("BannerScreen");
  Make("System/boot_code");
  Make("system/Kernel/OS_CODE");
  // Not where compile looks: a folder of the name, a file below the root, a
  // boot code file outside the boot-code folders.
  fs::create_directories(temp_.Path() / "src/rom_tags");
  Make("other/bannerscreen");
  Make("misc_code");
  Make("other/kernel/misc_code");
  EXPECT_EQ(BootWarnings(), (std::vector<std::string>{Missing("rom_tags, system/kernel/misc_code")}));

  fs::remove(temp_.Path() / "src/rom_tags");
  Make("rom_tags");
  Make("system/kernel/kernel/misc_code");
  EXPECT_EQ(BootWarnings(), std::vector<std::string>{});
  // A disc without the boot area is not meant to boot.
  fs::remove_all(temp_.Path() / "src");
  fs::create_directories(temp_.Path() / "src");
  EXPECT_EQ(BootWarnings(false), std::vector<std::string>{});
}

}  // namespace
}  // namespace zanthrel
