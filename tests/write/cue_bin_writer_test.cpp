// The CUE/BIN writer: the names and the cue sheet of one-track and
// multi-track discs, the frames in each track's file, and a run that fails
// leaving nothing behind. Every data sector is judged by the testkit's own
// EDC/ECC checker, and by chdman where it is installed.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/text.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/frame_disc.h"
#include "testkit/process.h"
#include "testkit/sector_checker.h"
#include "testkit/temp_folder.h"
#include "write/cue_bin_writer.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::FrameDisc;
using testkit::FrameTrack;

FrameTrack Track(FrameMode mode, const Bytes& frames, uint64_t storedPregap = 0, uint64_t pregap = 0,
                 uint64_t postgap = 0) {
  FrameTrack track = testkit::BytesTrack(mode, frames, storedPregap);
  track.track.pregap = pregap;
  track.track.postgap = postgap;
  return track;
}

FrameDisc DataAndAudio() {
  return FrameDisc({Track(FrameMode::kMode1, testkit::Mode1Sectors(testkit::Pattern(20 * 2048, 1))),
                     Track(FrameMode::kAudio, testkit::AudioFrames(400, 2), 150),
                     Track(FrameMode::kAudio, testkit::AudioFrames(80, 3), 0, 150, 75)});
}

TEST(CueBinWriterTest, NamesEachTrackAsRedumpDoes) {
  FrameDisc one({Track(FrameMode::kMode1, testkit::Mode1Sectors(testkit::Pattern(2048, 1)))});
  const std::string folder = "discs" + std::string(1, kPathSeparator);
  EXPECT_EQ(CueBinPaths(one, folder + "Game (Japan).cue"),
            (std::vector<std::string>{folder + "Game (Japan).cue", folder + "Game (Japan) (Track 1).bin"}));
  // Any letter case of the extension is the cue sheet's; another is part of the name.
  EXPECT_EQ(CueBinPaths(one, "GAME.CUE")[1], "GAME (Track 1).bin");
  EXPECT_EQ(CueBinPaths(one, "game.v2")[1], "game.v2 (Track 1).bin");

  std::vector<DiscTrack> twelve;
  for (uint32_t n = 1; n <= 12; ++n) twelve.push_back({n, n == 1 ? FrameMode::kMode1 : FrameMode::kAudio});
  const std::vector<std::string> paths = CueBinPaths(twelve, "game.cue");
  ASSERT_EQ(paths.size(), 13u);
  EXPECT_EQ(paths[1], "game (Track 01).bin");
  EXPECT_EQ(paths[9], "game (Track 09).bin");
  EXPECT_EQ(paths[12], "game (Track 12).bin");
}

TEST(CueBinWriterTest, TheSheetOfADataTrackAlone) {
  testkit::TempFolder temp;
  const Bytes sectors = testkit::Mode1Sectors(testkit::Pattern(30 * 2048, 4));
  FrameDisc disc({Track(FrameMode::kMode1, sectors)});
  const Result<WrittenFiles> written = WriteCueBin(disc, temp / "game.cue");
  ASSERT_TRUE(written) << written.Failure().text;
  EXPECT_EQ(testkit::ReadText(temp / "game.cue"),
            "FILE \"game (Track 1).bin\" BINARY\r\n"
            "  TRACK 01 MODE1/2352\r\n"
            "    INDEX 01 00:00:00\r\n");
  EXPECT_TRUE(testkit::ReadBytes(temp / "game (Track 1).bin") == sectors);
  EXPECT_EQ(written->bytes, sectors.size() + testkit::ReadText(temp / "game.cue").size());
  EXPECT_EQ(testkit::NamesBelow(temp.Path()), (std::vector<std::string>{"game (Track 1).bin", "game.cue"}));
}

TEST(CueBinWriterTest, AudioTracksKeepTheirPregapsAndIndexes) {
  testkit::TempFolder temp;
  FrameDisc disc = DataAndAudio();
  ASSERT_TRUE(WriteCueBin(disc, temp / "mixed.cue"));
  EXPECT_EQ(testkit::ReadText(temp / "mixed.cue"),
            "FILE \"mixed (Track 1).bin\" BINARY\r\n"
            "  TRACK 01 MODE1/2352\r\n"
            "    INDEX 01 00:00:00\r\n"
            "FILE \"mixed (Track 2).bin\" BINARY\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    INDEX 00 00:00:00\r\n"
            "    INDEX 01 00:02:00\r\n"
            "FILE \"mixed (Track 3).bin\" BINARY\r\n"
            "  TRACK 03 AUDIO\r\n"
            "    PREGAP 00:02:00\r\n"
            "    INDEX 01 00:00:00\r\n"
            "    POSTGAP 00:01:00\r\n");
  EXPECT_TRUE(testkit::ReadBytes(temp / "mixed (Track 2).bin") == testkit::AudioFrames(400, 2));
  EXPECT_TRUE(testkit::ReadBytes(temp / "mixed (Track 3).bin") == testkit::AudioFrames(80, 3));
  const Bytes data = testkit::ReadBytes(temp / "mixed (Track 1).bin");
  EXPECT_EQ(testkit::Mode1TrackFault(data.data(), data.size()), "");
}

// A track that cannot be read, or a file that cannot be made, leaves no
// file of the set behind, and an older set at the names as it was.
TEST(CueBinWriterTest, AFailureLeavesNothingBehind) {
  testkit::TempFolder temp;
  FrameDisc disc = DataAndAudio();
  disc.FailAt(2, 0);
  const Result<WrittenFiles> failed = WriteCueBin(disc, temp / "mixed.cue");
  ASSERT_FALSE(failed);
  EXPECT_NE(failed.Failure().text.find("track 3: Input/output error; nothing written"), std::string::npos) << failed.Failure().text;
  EXPECT_TRUE(testkit::NamesBelow(temp.Path()).empty());

  testkit::WriteText(temp / "mixed.cue", "older");
  std::filesystem::create_directory(testkit::PathOf(temp / "mixed (Track 2).bin"));
  FrameDisc readable = DataAndAudio();
  ASSERT_FALSE(WriteCueBin(readable, temp / "mixed.cue"));
  EXPECT_EQ(testkit::ReadText(temp / "mixed.cue"), "older");
  EXPECT_EQ(testkit::NamesBelow(temp.Path()), (std::vector<std::string>{"mixed (Track 2).bin", "mixed.cue"}));
}

TEST(CueBinWriterTest, ANameACueSheetCannotHoldIsRefused) {
  testkit::TempFolder temp;
  FrameDisc disc({Track(FrameMode::kMode1, testkit::Mode1Sectors(testkit::Pattern(2048, 1)))});
  const Result<WrittenFiles> refused = WriteCueBin(disc, temp / "say \"hi\".cue");
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.Failure().text.find("double quote"), std::string::npos);
  EXPECT_TRUE(testkit::NamesBelow(temp.Path()).empty());
}

// The checker against sectors it did not see made: chdman rebuilds every
// sync, header, EDC and ECC when it extracts a CD, and a single wrong byte
// anywhere in a sector is caught by the check it falls under.
TEST(SectorCheckerTest, AgreesWithChdmanAndCatchesEveryWrongByte) {
  testkit::TempFolder temp;
  FrameDisc disc({Track(FrameMode::kMode1, testkit::Mode1Sectors(testkit::MakeContainerDisc().image))});
  ASSERT_TRUE(WriteCueBin(disc, temp / "game.cue"));
  Bytes sectors = testkit::ReadBytes(temp / "game (Track 1).bin");
  ASSERT_EQ(testkit::Mode1TrackFault(sectors.data(), sectors.size()), "");

  const std::pair<size_t, const char*> places[] = {
      {3, "sync"}, {13, "address"}, {15, "mode"}, {700, "EDC"}, {2066, "EDC"}, {2070, "zero bytes"},
      {2076, "P codeword 0"}, {2247, "P codeword 85"}, {2248, "Q codeword 0"}, {2351, "Q codeword 51"}};
  for (const auto& [at, fault] : places) {
    Bytes wrong(sectors.begin(), sectors.begin() + 2352);
    wrong[at] ^= 0x40;
    EXPECT_EQ(testkit::Mode1SectorFault(wrong.data(), 0), fault) << at;
  }
  EXPECT_EQ(testkit::Mode1SectorFault(sectors.data() + 2352, 0), "address");
  // The EDC's check value in the catalogue of CRCs (CRC-32/CD-ROM-EDC).
  const std::string digits = "123456789";
  EXPECT_EQ(testkit::CdEdc(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x6EC2EDC4u);

  if (!testkit::ProgramAvailable("chdman")) GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed";
  ASSERT_EQ(testkit::RunProgram("chdman", "createcd -i game.cue -o game.chd").status, 0);
  const testkit::ProcessOutcome extracted =
      testkit::RunProgram("chdman", "extractcd -i game.chd -o back.cue -ob back.bin");
  ASSERT_EQ(extracted.status, 0) << extracted.err << extracted.out;
  EXPECT_TRUE(testkit::ReadBytes(temp / "back.bin") == sectors);
}

}  // namespace
}  // namespace zanthrel
