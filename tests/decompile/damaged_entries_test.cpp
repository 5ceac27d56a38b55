// Entries that claim what no disc holds: a file whose block count runs past
// the volume is read as far as the volume holds it and named as damaged, by
// decompile, the command line and the mount alike; files that claim the same
// blocks are named, and cannot make a run write without end.
#include <gtest/gtest.h>

#include <filesystem>

#include "mount/disc_index.h"
#include "source/image_source.h"
#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/process.h"
#include "volume/listing.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageBuilder;
using testkit::Win;

class PastTheVolumeTest : public testkit::DecompileFixture {
 protected:
  // A volume of 6 blocks: "big" claims 2^31 blocks (100 bytes) from block 2,
  // "tail" 2^32 - 1 blocks (all of its 4 GiB - 1 bytes) from block 4, and
  // "fine" one ordinary block in block 5.
  static Bytes Image() {
    ImageBuilder builder(6);
    builder.Label({});
    testkit::EntryFields big = testkit::FileEntry("big", 2, 100);
    big.blockCount = 0x80000000;
    testkit::EntryFields tail = testkit::FileEntry("tail", 4, 0xFFFFFFFF);
    tail.blockCount = 0xFFFFFFFF;
    builder.Directory(1, {big, tail, testkit::FileEntry("fine", 5, 5)});
    builder.Data(2, testkit::Pattern(3 * 2048, 1));
    builder.Data(5, Bytes{'f', 'i', 'n', 'e', '!'});
    return builder.Image();
  }
};

TEST_F(PastTheVolumeTest, DecompileWritesWhatTheVolumeHoldsAndNamesTheFile) {
  const Bytes image = Image();
  for (bool gzip : {false, true}) {
    fs::remove_all(temp_.Path() / "PARCE_disc");
    const auto result = Run(image, false, false, gzip ? "disc.iso.gz" : "disc.iso", gzip);
    EXPECT_EQ(result.outcome, DecompileOutcome::kDamagedFiles) << gzip;
    EXPECT_TRUE(testkit::ReadBytes(Out("big")) == testkit::Slice(image, 2 * 2048, 100)) << gzip;
    EXPECT_TRUE(testkit::ReadBytes(Out("tail")) == testkit::Slice(image, 4 * 2048, 2 * 2048)) << gzip;
    EXPECT_EQ(testkit::ReadText(Out("fine")), "fine!") << gzip;
    ASSERT_EQ(result.damaged.size(), 2u) << gzip;
    EXPECT_EQ(result.damaged[0], Out("big") +
                                     ": its entry claims 2147483648 blocks of 2048 bytes, more than the "
                                     "volume holds; written as far as the volume holds it");
    EXPECT_NE(result.log.find(Win("\tИмя:\tbig\n\tКоличество копий:\t1\n\t\t0) 0x00000002(2)\n"
                                  "!!!Файл " + Out("big") +
                                  " занимает больше блоков, чем есть в томе; записан в пределах тома!\nENTRY\n")),
              std::string::npos)
        << result.log;
    EXPECT_TRUE(result.log.ends_with(Win("!!!Образ демонтирован с повреждёнными файлами! Выход.\n")))
        << result.log;
  }
}

TEST_F(PastTheVolumeTest, TheCommandEndsWithProblemsAndTheMountReadsAsDecompile) {
  testkit::WriteBytes(temp_ / "disc.iso", Image());
  const testkit::ProcessOutcome run = testkit::RunZanthrel("decompile -q disc.iso");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("zanthrel: " + Out("tail") + ": its entry claims 4294967295 blocks"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("but 2 files are damaged on the disc"), std::string::npos) << run.err;

  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp_ / "disc.iso"));
  auto index = DiscIndex::Open(source, {});
  ASSERT_TRUE(index);
  for (const char* name : {"big", "tail", "fine"}) {
    auto node = (*index)->Lookup(std::string("/") + name);
    ASSERT_TRUE(node) << name;
    const Bytes written = testkit::ReadBytes(Out(name));
    EXPECT_EQ(node->size, written.size()) << name;
    Bytes read(written.size() + 10);
    auto got = (*index)->Read(*node, 0, read.data(), read.size());
    ASSERT_TRUE(got) << name;
    read.resize(*got);
    EXPECT_TRUE(read == written) << name;
  }
}

class OverlapTest : public testkit::DecompileFixture {
 protected:
  // A volume of 12 blocks whose root holds 25 files, each claiming blocks
  // 2-11: every file is the same 20 KiB, 500 KiB in all, over 8 times the
  // 24 KiB of the volume up to the files' end.
  static Bytes Image() {
    ImageBuilder builder(12);
    builder.Label({});
    std::vector<testkit::EntryFields> files;
    for (int i = 0; i < 25; ++i) {
      files.push_back(testkit::FileEntry(std::string("f") + std::to_string(i), 2, 10 * 2048));
    }
    builder.Directory(1, files);
    builder.Data(2, testkit::Pattern(10 * 2048, 3));
    return builder.Image();
  }
};

TEST_F(OverlapTest, ARunStopsPastEightTimesTheVolumeAndSaysWhy) {
  const Bytes image = Image();
  const auto result = Run(image);
  EXPECT_EQ(result.outcome, DecompileOutcome::kOutputLimit);
  // Ten files make 200 KiB, past 8 times 24 KiB; the eleventh, made but not
  // written, is removed as a stop by the user would remove it.
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(testkit::ReadBytes(Out(std::string("f") + std::to_string(i))) == testkit::Slice(image, 2 * 2048, 10 * 2048));
  }
  EXPECT_FALSE(fs::exists(testkit::PathOf(Out("f10"))));
  EXPECT_TRUE(result.log.ends_with(
      Win("!!!Записи образа занимают одни и те же блоки, записано больше 8 объёмов тома! Выход.\n"
          "!!!Незаконченный файл " + Out("f10") + " удалён.\n")))
      << result.log;

  testkit::ProcessOutcome run = testkit::RunZanthrel("decompile -f disc.iso");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("zanthrel: warning: 11 files claim blocks that another file claims too: " + Out("f0") +
                         " and " + Out("f1") + " claim blocks 2-11; "),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("disc.iso: stopped after writing more than 196608 bytes, 8 times the volume its files "
                         "lie in: entries of the disc claim the same blocks (--allow-overlaps goes on)"),
            std::string::npos)
      << run.err;
}

TEST_F(OverlapTest, AskedToGoOnItWritesEveryFileAndNamesTheOverlaps) {
  testkit::WriteBytes(temp_ / "disc.iso", Image());
  const testkit::ProcessOutcome run = testkit::RunZanthrel("decompile --allow-overlaps disc.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("zanthrel: warning: 25 files claim blocks that another file claims too: "),
            std::string::npos)
      << run.err;
  EXPECT_EQ(testkit::ReadBytes(Out("f24")).size(), 10 * 2048u);
  // Overlaps alone leave the log as it was: it ends as any other.
  EXPECT_TRUE(testkit::ReadText(temp_ / "disc.log").ends_with(Win("Образ демонтирован успешно. Выход.\n")));
}

}  // namespace
}  // namespace zanthrel
