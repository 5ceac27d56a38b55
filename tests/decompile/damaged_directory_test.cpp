// A directory block whose header is impossible (zeroed, or overwritten with
// junk) is a block that cannot be read, never an empty folder: decompile
// takes the next copy and names the folder when none is left, verify reports
// the copy, and an empty folder stays an empty folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "compile/compile_run.h"
#include "source/image_source.h"
#include "support/text.h"
#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/image_reader.h"
#include "testkit/log_text.h"
#include "testkit/process.h"
#include "verify/verify.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::Win;

const std::string kZeroedHead =
    "HEAD\n"
    "\tСледующий блок:\t0x00000000 (0)\n"
    "\tПредыдущий блок:\t0x00000000 (0)\n"
    "\tФлаги:\t0x00000000\n"
    "\tПервый свободный байт:\t0x00000000 (0)\n"
    "\tСмещение на первую запись:\t0x00000000 (0)\n";

std::string DamageLine(uint32_t block) {
  return Win("!!!Испорчен заголовок директории в секторе №") + Hex8(block) +
         Win("! Возврат.\n");
}

class DamagedDirectoryTest : public testkit::DecompileFixture {
 protected:
  // The sample folder, compiled: "docs" with two files, and "readme.txt".
  Bytes CompiledSample() {
    const std::string src = temp_ / "sample";
    fs::create_directories(testkit::PathOf(src + "/docs"));
    testkit::WriteBytes(src + "/docs/level.dat", testkit::Pattern(10000, 1));
    testkit::WriteText(src + "/docs/manual.txt", "Press start.\n");
    testkit::WriteText(src + "/readme.txt", "A sample.\n");
    const CompileReport report = CompileImage(src, temp_ / "sample.iso", true);
    EXPECT_TRUE(report.written) << report.failure;
    return testkit::ReadBytes(temp_ / "sample.iso");
  }
  // The sample with the block of "docs" overwritten by `fill`; `docsBlock` is where it lies.
  Bytes DamagedSample(uint8_t (*fill)(size_t), uint32_t& docsBlock) {
    testkit::ImageReader reader{CompiledSample()};
    docsBlock = reader.Find(reader.RootBlock(), "docs").copy;
    for (size_t i = 0; i < 2048; ++i) reader.bytes[size_t(docsBlock) * 2048 + i] = fill(i);
    return reader.bytes;
  }
  VerifyReport Verify(const Bytes& image) {
    testkit::WriteBytes(temp_ / "verified.iso", image);
    ImageSource source;
    EXPECT_TRUE(OpenImageFile(source, temp_ / "verified.iso"));
    return VerifyImage(source);
  }
};

uint8_t Zero(size_t) { return 0; }
uint8_t Junk(size_t i) { return uint8_t(i * 37 + 11); }

TEST_F(DamagedDirectoryTest, ZeroedOrJunkFolderBlockIsDamageNotAnEmptyFolder) {
  for (auto fill : {Zero, Junk}) {
    uint32_t docs = 0;
    const Bytes image = DamagedSample(fill, docs);

    const VerifyReport report = Verify(image);
    EXPECT_TRUE(report.Damaged());
    ASSERT_EQ(report.corrupt.size(), 1u);
    EXPECT_EQ(report.corrupt[0].path, "/docs");
    EXPECT_EQ(report.corrupt[0].blocks.firstBlock, docs);

    fs::remove_all(temp_ / "PARCE_disc");
    const testkit::DecompileRunResult result = Run(image);
    EXPECT_EQ(result.outcome, DecompileOutcome::kAllRootCopiesFailed);
    // The header as read, then the one line that says the block is damaged.
    const std::string damaged = Out("docs") + "\n";
    const size_t at = result.log.find(damaged);
    ASSERT_NE(at, std::string::npos);
    const std::string head = result.log.substr(at + damaged.size());
    EXPECT_TRUE(head.starts_with("HEAD\n")) << head;
    const size_t line = head.find(DamageLine(docs));
    ASSERT_NE(line, std::string::npos);
    if (fill == Zero) {
      EXPECT_EQ(head.substr(0, line), Win(kZeroedHead));
    }
    // The salvage pass saves the rest and names the folder.
    EXPECT_NE(result.log.find(Win("!!!Не удалось считать директорию ") + Out("docs") + "!\n"),
              std::string::npos);
    EXPECT_TRUE(result.log.ends_with(Win("!!!Образ убит дальше некуда! Выход.\n")));
    EXPECT_EQ(testkit::ReadText(Out("readme.txt")), "A sample.\n");
  }
}

TEST_F(DamagedDirectoryTest, CommandLineVerifyFindsTheDamage) {
  uint32_t docs = 0;
  testkit::WriteBytes(temp_ / "zeroed.iso", DamagedSample(Zero, docs));
  const testkit::ProcessOutcome run = testkit::RunZanthrel("verify zeroed.iso");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("corrupt: /docs, copy 0: block " + std::to_string(docs) + "\n"),
            std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("damage found\n")) << run.out;
}

TEST_F(DamagedDirectoryTest, GoodSecondCopyOfTheFolderIsUsed) {
  testkit::ImageBuilder builder(6);
  builder.Label({});
  testkit::EntryFields docs = testkit::DirEntry("docs", 2);
  docs.copies = {2, 3};
  builder.Directory(1, {docs, testkit::LabelEntry()});
  builder.Directory(3, {testkit::FileEntry("manual.txt", 4, 5)});
  builder.Data(4, Bytes{'p', 'r', 'e', 's', 's'});
  // Block 2, the first copy, stays zero.
  const testkit::DecompileRunResult result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(testkit::ReadText(Out("docs/manual.txt")), "press");
  EXPECT_NE(result.log.find(Out("docs") + "\n" + Win(kZeroedHead) + DamageLine(2) + Out("docs") + "\n"),
            std::string::npos) << result.log;
  EXPECT_EQ(Verify(builder.Image()).corrupt.size(), 1u);
}

TEST_F(DamagedDirectoryTest, EmptyFolderStaysAnEmptyFolder) {
  testkit::ImageBuilder builder(4);
  builder.Label({});
  builder.Directory(1, {testkit::DirEntry("empty", 2), testkit::LabelEntry()});
  builder.Directory(2, {});
  const Bytes image = builder.Image();
  const testkit::DecompileRunResult result = Run(image);
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(fs::is_directory(testkit::PathOf(Out("empty"))));
  EXPECT_EQ(result.log.find(Win("!!!Испорчен")), std::string::npos);
  EXPECT_FALSE(Verify(image).Damaged());
}

}  // namespace
}  // namespace zanthrel
