// Raw sectors are checked as they are read, in every kind of raw image: a
// sector with one wrong byte is corrected, one that cannot be corrected is
// read from another copy, and with no other copy it is kept as read and its
// file named as damaged. Decompile and verify alike, on real EDC and ECC.
#include <gtest/gtest.h>

#include <functional>

#include "decompile/decompile_run.h"
#include "support/text.h"
#include "testkit/cd_sectors.h"
#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/nrg_builder.h"
#include "testkit/process.h"
#include "verify/verify.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::Win;

// Blocks: the label (0), the root (1), "Twice" in two copies (2-3 and 4-5),
// "Once" in one copy (6-7).
constexpr uint32_t kTwiceFirst = 2;
constexpr uint32_t kOnceFirst = 6;

Bytes RawDisc() {
  testkit::ImageBuilder image(8);
  image.Label({});
  testkit::EntryFields twice = testkit::FileEntry("Twice", kTwiceFirst, 4096);
  twice.copies = {kTwiceFirst, 4};
  image.Directory(1, {twice, testkit::FileEntry("Once", kOnceFirst, 4000)});
  const Bytes twiceBytes = testkit::Pattern(4096, 21);
  image.Data(2, twiceBytes);
  image.Data(4, twiceBytes);
  image.Data(6, testkit::Pattern(4096, 22));
  return image.Image();
}

// A kind of raw image: how its sectors are stored, where the user data of a
// sector lies in them, and how the stored records become the files named.
struct RawForm {
  const char* name;
  std::function<Bytes(const Bytes&)> records;
  size_t recordSize;
  size_t userOffset;
  // Writes the records into `folder` and gives the path to open.
  std::function<std::string(const std::string&, const Bytes&)> write;
};

void PrintTo(const RawForm& form, std::ostream* out) { *out << form.name; }

std::string WriteAs(const std::string& folder, const std::string& name, const Bytes& bytes) {
  testkit::WriteBytes(folder + "/" + name, bytes);
  return folder + "/" + name;
}

std::string WithCue(const std::string& folder, const Bytes& bin, const std::string& mode) {
  testkit::WriteBytes(folder + "/disc.bin", bin);
  testkit::WriteText(folder + "/disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 " + mode + "\n    INDEX 01 00:00:00\n");
  return folder + "/disc.cue";
}

Bytes Mode1(const Bytes& image) { return testkit::Mode1Sectors(image); }
Bytes Mode2(const Bytes& image) { return testkit::Mode2Form1Sectors(image); }

const RawForm kForms[] = {
    {"RawMode1", Mode1, 2352, 16, [](auto& f, auto& b) { return WriteAs(f, "disc.bin", b); }},
    {"GzipRawMode1", Mode1, 2352, 16,
     [](const std::string& f, const Bytes& b) {
       testkit::WriteGzip(f + "/disc.bin.gz", b);
       return f + "/disc.bin.gz";
     }},
    {"CueMode1", Mode1, 2352, 16, [](auto& f, auto& b) { return WithCue(f, b, "MODE1/2352"); }},
    {"CueMode2Form1", Mode2, 2352, 24, [](auto& f, auto& b) { return WithCue(f, b, "MODE2/2352"); }},
    {"CueMode2Records", [](const Bytes& i) { return testkit::WithoutSyncAndHeader(Mode2(i)); }, 2336, 8,
     [](auto& f, auto& b) { return WithCue(f, b, "MODE2/2336"); }},
    {"RawMode2Form1", Mode2, 2352, 24, [](auto& f, auto& b) { return WriteAs(f, "disc.bin", b); }},
    {"NrgMode1", Mode1, 2352, 16,
     [](const std::string& f, const Bytes& b) {
       const testkit::NrgTrackData data{0x05, 2352, {}, b};
       return WriteAs(f, "disc.nrg", testkit::BuildNrg({data}, {}));
     }},
    {"NrgMode2Form1", Mode2, 2352, 24,
     [](const std::string& f, const Bytes& b) {
       const testkit::NrgTrackData data{0x06, 2352, {}, b};
       return WriteAs(f, "disc.nrg", testkit::BuildNrg({data}, {}));
     }},
};

class RawSectorTest : public testkit::DecompileFixture, public ::testing::WithParamInterface<RawForm> {
 protected:
  Bytes Records() const { return GetParam().records(disc_); }
  // One byte of the user data of sector `block`.
  void FlipOne(Bytes& records, uint32_t block) const { records[At(block) + 700] ^= 0x5A; }
  // Bytes all over the sector: more than its ECC mends.
  void FlipMany(Bytes& records, uint32_t block) const {
    for (size_t k = 3; k < 2048; k += 9) records[At(block) + k] ^= uint8_t(k | 1);
  }
  size_t At(uint32_t block) const { return block * GetParam().recordSize + GetParam().userOffset; }

  struct Decompiled {
    DecompileResult result;
    std::string log;
  };
  Decompiled Decompile(const Bytes& records, const std::string& name) {
    const std::string folder = (temp_ / name);
    std::filesystem::create_directories(testkit::PathOf(folder));
    ImageSource source;
    const OpenStatus opened = OpenImageFile(source, GetParam().write(folder, records));
    EXPECT_TRUE(opened) << opened.Failure().text;
    Decompiled done;
    done.result = DecompileImage(source, folder + "/out", folder + "/disc.log");
    done.log = testkit::ReadText(folder + "/disc.log");
    return done;
  }
  VerifyReport Verify(const Bytes& records, const std::string& name) {
    const std::string folder = (temp_ / name);
    std::filesystem::create_directories(testkit::PathOf(folder));
    ImageSource source;
    EXPECT_TRUE(OpenImageFile(source, GetParam().write(folder, records)));
    return VerifyImage(source);
  }
  Bytes Extracted(const std::string& name, const std::string& file) {
    return testkit::ReadBytes((temp_ / name) + "/out/" + file);
  }
  // The log of the run over the undamaged image, with its folder's name put
  // in place of `name`'s.
  std::string CleanLog(const std::string& name) {
    std::string log = Decompile(Records(), "clean").log;
    const std::string clean = kPathSeparator + std::string("clean") + kPathSeparator;
    const std::string named = kPathSeparator + name + kPathSeparator;
    for (size_t at; (at = log.find(clean)) != std::string::npos;) log.replace(at, clean.size(), named);
    return log;
  }

  const Bytes disc_ = RawDisc();
};

TEST_P(RawSectorTest, OneWrongByteIsCorrectedAndReported) {
  Bytes records = Records();
  FlipOne(records, kOnceFirst);
  const Decompiled run = Decompile(records, "flipped");
  EXPECT_EQ(run.result.outcome, DecompileOutcome::kDone);
  EXPECT_EQ(Extracted("flipped", "Once"), testkit::Slice(disc_, kOnceFirst * 2048, 4000));
  EXPECT_EQ(run.result.correctedSectors, 1u);
  ASSERT_EQ(run.result.correctedBlocks.size(), 1u);
  EXPECT_EQ(run.result.correctedBlocks[0].first, kOnceFirst);
  EXPECT_EQ(run.result.correctedBlocks[0].count, 1u);
  // The log of a disc that reads right does not change.
  EXPECT_EQ(run.log, CleanLog("flipped"));

  const VerifyReport report = Verify(records, "verified");
  ASSERT_EQ(report.correctedSectors.size(), 1u);
  EXPECT_EQ(report.correctedSectors[0].firstBlock, kOnceFirst);
  EXPECT_TRUE(report.unreadable.empty());
  EXPECT_TRUE(report.damagedSectors.empty());
  EXPECT_TRUE(report.sectorsChecked);
  EXPECT_TRUE(report.unchecked.empty());
  EXPECT_TRUE(report.Damaged());
}

TEST_P(RawSectorTest, UncorrectableSectorIsReadFromTheOtherCopy) {
  Bytes records = Records();
  FlipMany(records, kTwiceFirst + 1);
  const Decompiled run = Decompile(records, "twice");
  EXPECT_EQ(run.result.outcome, DecompileOutcome::kDone);
  EXPECT_EQ(Extracted("twice", "Twice"), testkit::Slice(disc_, kTwiceFirst * 2048, 4096));
  EXPECT_TRUE(run.result.damagedFiles.empty());
  EXPECT_EQ(run.log, CleanLog("twice"));

  const VerifyReport report = Verify(records, "verified");
  ASSERT_EQ(report.damagedSectors.size(), 1u);
  EXPECT_EQ(report.damagedSectors[0].firstBlock, kTwiceFirst + 1);
  ASSERT_EQ(report.unreadable.size(), 1u);
  EXPECT_EQ(report.unreadable[0].path, "/Twice");
  EXPECT_EQ(report.unreadable[0].copy, 0u);
  EXPECT_EQ(report.unreadable[0].blocks.firstBlock, kTwiceFirst + 1);
}

// The check never loses bytes that reading gives: with no good copy, the
// sector is written as read, and the file is named in the log and the result.
TEST_P(RawSectorTest, UncorrectableSectorWithNoGoodCopyIsKeptAsReadAndNamed) {
  Bytes records = Records();
  FlipMany(records, kOnceFirst);
  const Decompiled run = Decompile(records, "once");
  EXPECT_EQ(run.result.outcome, DecompileOutcome::kDamagedFiles);
  Bytes asRead = testkit::Slice(disc_, kOnceFirst * 2048, 4000);
  for (size_t k = 0; k < 2048; ++k) asRead[k] = records[At(kOnceFirst) + k];
  EXPECT_EQ(Extracted("once", "Once"), asRead);
  EXPECT_EQ(Extracted("once", "Twice"), testkit::Slice(disc_, kTwiceFirst * 2048, 4096));
  const std::string path = testkit::HostPath(testkit::Utf8Of(std::filesystem::canonical(temp_.Path())) + "/once/out/Once");
  ASSERT_EQ(run.result.damagedFiles.size(), 1u);
  EXPECT_EQ(run.result.damagedFiles[0], path);
  EXPECT_NE(run.log.find(Win("!!!Файл ") + path +
                         Win(" повреждён: сектора, не прошедшие проверку ни в одной копии, записаны как прочитаны!\n")),
            std::string::npos)
      << run.log;
  EXPECT_TRUE(run.log.ends_with(Win("!!!Образ демонтирован с повреждёнными файлами! Выход.\n")));
}

INSTANTIATE_TEST_SUITE_P(Forms, RawSectorTest, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

// Sectors written without EDC and ECC are read as they are, whatever they hold.
TEST(UncheckedSectorTest, ZeroEdcAndEccAreReadAsBeforeAndVerifyNamesWhatNoCheckCovers) {
  testkit::TempFolder temp;
  const Bytes disc = RawDisc();
  Bytes zeros = testkit::RawFraming(disc);
  zeros[kOnceFirst * 2352 + 16 + 5] ^= 1;
  testkit::WriteBytes(temp / "zeros.bin", zeros);
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "zeros.bin"));
  const DecompileResult result = DecompileImage(source, temp / "out", temp / "zeros.log");
  EXPECT_EQ(result.outcome, DecompileOutcome::kDone);
  EXPECT_EQ(result.correctedSectors, 0u);
  EXPECT_EQ(testkit::ReadBytes(temp / "out/Once")[5], uint8_t(disc[kOnceFirst * 2048 + 5] ^ 1));
  // No sector carries a check: said once, for the files with one copy.
  VerifyReport report = VerifyImage(source);
  EXPECT_FALSE(report.sectorsChecked);
  EXPECT_EQ(report.oneCopyFiles, 1u);
  EXPECT_TRUE(report.unchecked.empty());
  EXPECT_FALSE(report.Damaged());

  // Real checks everywhere but in "Once": that file is named.
  Bytes mixed = testkit::Mode1Sectors(disc);
  for (uint32_t block : {kOnceFirst, kOnceFirst + 1}) {
    std::fill(mixed.begin() + long(block * 2352 + 2064), mixed.begin() + long((block + 1) * 2352), 0);
  }
  testkit::WriteBytes(temp / "mixed.bin", mixed);
  ImageSource mixedSource;
  ASSERT_TRUE(OpenImageFile(mixedSource, temp / "mixed.bin"));
  report = VerifyImage(mixedSource);
  EXPECT_TRUE(report.sectorsChecked);
  EXPECT_EQ(report.unchecked, std::vector<std::string>{"/Once"});
  EXPECT_FALSE(report.Damaged());

  // A plain image carries no check either.
  testkit::WriteBytes(temp / "plain.iso", disc);
  ImageSource plain;
  ASSERT_TRUE(OpenImageFile(plain, temp / "plain.iso"));
  report = VerifyImage(plain);
  EXPECT_FALSE(report.sectorsChecked);
  EXPECT_EQ(report.oneCopyFiles, 1u);
}

// What a user sees: stderr names the corrected sectors and the damaged file,
// the exit status tells damage, and verify's text reports both kinds.
TEST(RawSectorCommandLineTest, StderrAndVerifyReportTheChecks) {
  testkit::TempFolder temp;
  Bytes records = testkit::Mode1Sectors(RawDisc());
  records[kOnceFirst * 2352 + 16 + 100] ^= 1;
  testkit::WriteBytes(temp / "fixed.bin", records);
  testkit::ProcessOutcome run = testkit::RunZanthrel("decompile -q -o '" + (temp / "a") + "' '" + (temp / "fixed.bin") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("1 sector failed its EDC and was corrected by its ECC (block 6)"), std::string::npos)
      << run.err;
  run = testkit::RunZanthrel("verify '" + (temp / "fixed.bin") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("corrected by ECC: block 6\n"), std::string::npos) << run.out;
  // convert reads the same bytes as decompile.
  run = testkit::RunZanthrel("convert -q '" + (temp / "fixed.bin") + "' '" + (temp / "fixed.iso") + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("raw sectors corrected by their ECC: 1\n"), std::string::npos) << run.err;
  EXPECT_EQ(testkit::ReadBytes(temp / "fixed.iso"), RawDisc());

  for (size_t k = 0; k < 2048; k += 5) records[(kOnceFirst + 1) * 2352 + 16 + k] ^= 0x33;
  testkit::WriteBytes(temp / "broken.bin", records);
  run = testkit::RunZanthrel("decompile -q -o '" + (temp / "b") + "' '" + (temp / "broken.bin") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Once: damaged, written as read"), std::string::npos) << run.err;
  run = testkit::RunZanthrel("verify '" + (temp / "broken.bin") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("uncorrectable sectors: block 7\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("unreadable: /Once, copy 0: block 7\n"), std::string::npos) << run.out;
  run = testkit::RunZanthrel("convert -q '" + (temp / "broken.bin") + "' '" + (temp / "broken.iso") + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("raw sectors that fail their check and cannot be corrected, written as read: 1\n"),
            std::string::npos)
      << run.err;
  const Bytes converted = testkit::ReadBytes(temp / "broken.iso");
  ASSERT_EQ(converted.size(), RawDisc().size());
  EXPECT_EQ(converted[(kOnceFirst + 1) * 2048], records[(kOnceFirst + 1) * 2352 + 16]);
}

}  // namespace
}  // namespace zanthrel
