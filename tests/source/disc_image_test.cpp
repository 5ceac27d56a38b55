// Whole discs read from every kind of image: each track's frames as the
// image stores them, or made whole where it keeps less than a frame.
#include "source/disc_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "source/cd_ecc.h"
#include "source/cd_sector_build.h"
#include "testkit/cd_sectors.h"
#include "testkit/chd_builder.h"
#include "testkit/container_disc.h"
#include "testkit/nrg_builder.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::Concat;

constexpr size_t kFrame = 2352;

std::unique_ptr<DiscImage> Open(const std::string& path) {
  Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(SystemHost(), path);
  EXPECT_TRUE(disc) << path << ": " << disc.Failure().text;
  return disc ? std::move(*disc) : nullptr;
}

// Every frame of track `track`, read `step` frames at a time.
Bytes TrackFrames(DiscImage& disc, size_t track, size_t step = 1000) {
  const uint64_t frames = disc.Tracks()[track].frames;
  Bytes out(frames * kFrame);
  for (uint64_t at = 0; at < frames;) {
    Result<size_t> read = disc.ReadFrames(track, at, step, out.data() + at * kFrame);
    EXPECT_TRUE(read) << read.Failure().text;
    if (!read || *read == 0) return {};
    at += *read;
  }
  return out;
}

Bytes AllFrames(DiscImage& disc) {
  Bytes out;
  for (size_t k = 0; k < disc.Tracks().size(); ++k) out = Concat(out, TrackFrames(disc, k));
  return out;
}

Bytes Swapped(Bytes samples) {
  for (size_t k = 0; k + 1 < samples.size(); k += 2) std::swap(samples[k], samples[k + 1]);
  return samples;
}

TEST(SectorBuildTest, ASectorMadeWholeChecksOut) {
  const Bytes user = testkit::Pattern(2048, 3);
  for (const uint32_t lba : {0u, 1u, 74u, 75u, 4499u, 333000u}) {
    Bytes frame(kFrame, 0xEE);
    BuildMode1Sector(lba, user.data(), frame.data());
    EXPECT_TRUE(frame == testkit::Mode1Sectors(user, lba)) << lba;
    const uint32_t edc = uint32_t(frame[2064]) | uint32_t(frame[2065]) << 8 | uint32_t(frame[2066]) << 16 |
                         uint32_t(frame[2067]) << 24;
    EXPECT_EQ(edc, testkit::CdEdc(frame.data(), 2064)) << lba;
    EXPECT_EQ(CorrectEccRound(frame.data()), 0u) << lba;
    BuildMode2Form1Sector(lba, user.data(), frame.data());
    EXPECT_TRUE(frame == testkit::Mode2Form1Sectors(user, lba)) << lba;
  }
  // Block 0 stands two seconds into the disc.
  Bytes frame(kFrame);
  BuildMode1Sector(0, user.data(), frame.data());
  EXPECT_EQ(frame[12], 0x00);
  EXPECT_EQ(frame[13], 0x02);
  EXPECT_EQ(frame[14], 0x00);
  BuildMode1Sector(4499, user.data(), frame.data());  // 150 + 4499 frames: 01:01:74
  EXPECT_EQ(frame[12], 0x01);
  EXPECT_EQ(frame[13], 0x01);
  EXPECT_EQ(frame[14], 0x74);
}

// A plain or gzip image is one MODE1 track from its first byte, its last
// part-sector padded with zeros, read in any steps.
TEST(DiscImageTest, PlainAndGzipImagesAreOneMode1TrackOfWholeSectors) {
  testkit::TempFolder temp;
  const Bytes image = Concat(testkit::MakeContainerDisc().image, testkit::Pattern(1000, 5));
  testkit::WriteBytes(temp / "game.iso", image);
  testkit::WriteGzip(temp / "game.iso.gz", image);
  const Bytes expected = testkit::Mode1Sectors(image);
  for (const char* name : {"game.iso", "game.iso.gz"}) {
    std::unique_ptr<DiscImage> disc = Open(temp / name);
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->Tracks().size(), 1u);
    EXPECT_EQ(disc->VolumeTrack(), 0u);
    EXPECT_EQ(disc->Tracks()[0].mode, FrameMode::kMode1);
    EXPECT_EQ(disc->Tracks()[0].frames, expected.size() / kFrame);
    EXPECT_TRUE(TrackFrames(*disc, 0, 7) == expected) << name;
    EXPECT_TRUE(TrackFrames(*disc, 0, 1) == expected) << name;
    Bytes past(kFrame);
    Result<size_t> end = disc->ReadFrames(0, disc->Tracks()[0].frames, 5, past.data());
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, 0u);
    EXPECT_FALSE(disc->ReadFrames(1, 0, 1, past.data()));
  }
  EXPECT_EQ(Open(temp / "game.iso")->Description(), "plain image of 2048-byte sectors");
  EXPECT_EQ(Open(temp / "game.iso.gz")->Description(), "gzip image of 2048-byte sectors");
}

// Raw sectors are the writers' to copy: damage and all, as stored.
TEST(DiscImageTest, RawSectorsComeAsStoredDamagedOrNot) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  Bytes mode1 = testkit::Mode1Sectors(image);
  for (size_t k = 0; k < 300; ++k) mode1[5 * kFrame + 100 + k] ^= 0x5A;
  Bytes mode2 = testkit::Mode2Form1Sectors(image);
  for (size_t k = 0; k < 300; ++k) mode2[7 * kFrame + 100 + k] ^= 0x5A;
  testkit::WriteBytes(temp / "one.bin", mode1);
  testkit::WriteBytes(temp / "two.bin", mode2);
  testkit::WriteGzip(temp / "one.bin.gz", mode1);
  for (const auto& [name, bytes, mode] :
       {std::tuple{"one.bin", mode1, FrameMode::kMode1}, std::tuple{"two.bin", mode2, FrameMode::kMode2},
        std::tuple{"one.bin.gz", mode1, FrameMode::kMode1}}) {
    std::unique_ptr<DiscImage> disc = Open(temp / name);
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->Tracks().size(), 1u);
    EXPECT_EQ(disc->Tracks()[0].mode, mode) << name;
    EXPECT_TRUE(TrackFrames(*disc, 0, 9) == bytes) << name;
  }
}

// Tracks of a cue sheet from their files: stored pregaps, pregaps and
// postgaps that are not stored, records of every size made whole frames
// at their place on the disc, MOTOROLA audio turned little-endian.
TEST(DiscImageTest, CueSheetTracksComeFromTheirFilesAtTheirPlaceOnTheDisc) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes audio = testkit::AudioFrames(200, 2);
  const Bytes mode2Data = testkit::Pattern(40 * 2048, 6);
  const Bytes lastAudio = testkit::AudioFrames(30, 4);
  testkit::WriteBytes(temp / "data.iso", image);
  testkit::WriteBytes(temp / "music.bin", audio);
  // Track 3 at block (image + 200 audio + 10 postgap + 150 pregap).
  const uint32_t track3Lba = uint32_t(image.size() / 2048 + 200 + 10 + 150);
  const Bytes mode2Sectors = testkit::Mode2Form1Sectors(mode2Data, track3Lba);
  testkit::WriteBytes(temp / "more.bin",
                      Concat(testkit::WithoutSyncAndHeader(mode2Sectors), Swapped(lastAudio)));
  testkit::WriteText(temp / "game.cue",
                     "FILE \"data.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
                     "FILE \"music.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n"
                     "    INDEX 01 00:01:00\n    POSTGAP 00:00:10\n"
                     "FILE \"more.bin\" MOTOROLA\n  TRACK 03 MODE2/2336\n    PREGAP 00:02:00\n"
                     "    INDEX 01 00:00:00\n  TRACK 04 AUDIO\n    INDEX 01 00:00:40\n");
  std::unique_ptr<DiscImage> disc = Open(temp / "game.cue");
  ASSERT_TRUE(disc);
  EXPECT_EQ(disc->Description(), "cue sheet, track 1 (MODE1/2048) in data.iso");
  EXPECT_EQ(disc->VolumeTrack(), 0u);
  const std::vector<DiscTrack>& tracks = disc->Tracks();
  ASSERT_EQ(tracks.size(), 4u);
  const FrameMode modes[] = {FrameMode::kMode1, FrameMode::kAudio, FrameMode::kMode2, FrameMode::kAudio};
  const uint64_t frames[] = {image.size() / 2048, 200, 40, 30};
  const uint64_t storedPregaps[] = {0, 75, 0, 0}, pregaps[] = {0, 0, 150, 0}, postgaps[] = {0, 10, 0, 0};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(tracks[k].number, k + 1);
    EXPECT_EQ(tracks[k].mode, modes[k]) << k;
    EXPECT_EQ(tracks[k].frames, frames[k]) << k;
    EXPECT_EQ(tracks[k].storedPregap, storedPregaps[k]) << k;
    EXPECT_EQ(tracks[k].pregap, pregaps[k]) << k;
    EXPECT_EQ(tracks[k].postgap, postgaps[k]) << k;
  }
  EXPECT_TRUE(TrackFrames(*disc, 0) == testkit::Mode1Sectors(image));
  EXPECT_TRUE(TrackFrames(*disc, 1, 64) == audio);
  EXPECT_TRUE(TrackFrames(*disc, 2, 3) == mode2Sectors);
  EXPECT_TRUE(TrackFrames(*disc, 3) == lastAudio);
  EXPECT_EQ(CueModeName(tracks[2].mode), "MODE2/2352");
}

TEST(DiscImageTest, ACueSheetThatCannotBeReadWholeSaysWhy) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "data.bin", testkit::Mode1Sectors(testkit::MakeContainerDisc().image));
  testkit::WriteBytes(temp / "song.wav", testkit::AudioFrames(10, 1));
  testkit::WriteBytes(temp / "short.bin", testkit::AudioFrames(10, 1));
  const std::string data = "FILE data.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n";
  const struct {
    const char* tail;
    const char* says;
  } cases[] = {
      {"FILE song.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", "track 2: a WAVE file"},
      {"FILE short.bin BINARY\nTRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:00:10\n",
       "too short for track 2"},
      {"FILE gone.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", "gone.bin: cannot be opened"},
      {"FILE short.bin BINARY\nTRACK 02 MODE2/2324\nINDEX 01 00:00:00\n", "cannot be made whole"},
  };
  for (const auto& each : cases) {
    testkit::WriteText(temp / "game.cue", data + each.tail);
    Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(SystemHost(), temp / "game.cue");
    ASSERT_FALSE(disc) << each.tail;
    EXPECT_NE(disc.Failure().text.find(each.says), std::string::npos) << disc.Failure().text;
  }
}

// chdman's extraction of a CHD, and the cue set it was made from, are the
// CHD's disc frame for frame: stored pregaps, the padding between tracks
// left out, audio turned little-endian.
TEST(DiscImageTest, AChdGivesTheFramesThatChdmanExtracts) {
  if (!testkit::ProgramAvailable("chdman"))
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed";
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  for (const bool filePerTrack : {true, false}) {
    for (const char* options : {"", "-c none", "-c cdfl -hs 4896"}) {
      const std::string cue = testkit::WriteCueSet(temp.Path().string(), "Game", image, filePerTrack, 301);
      const std::string chd = temp / "game.chd", extracted = temp / "out.cue";
      ASSERT_EQ(
          testkit::RunProgram("chdman", "createcd -f -i '" + cue + "' -o '" + chd + "' " + options).status, 0);
      ASSERT_EQ(testkit::RunProgram("chdman", "extractcd -f -i '" + chd + "' -o '" + extracted + "' -ob '" +
                                                  (temp / "out.bin") + "'")
                    .status,
                0);
      std::unique_ptr<DiscImage> fromChd = Open(chd), fromSet = Open(cue), fromExtraction = Open(extracted);
      ASSERT_TRUE(fromChd && fromSet && fromExtraction);
      ASSERT_EQ(fromChd->Tracks().size(), 2u);
      EXPECT_EQ(fromChd->VolumeTrack(), 0u);
      EXPECT_EQ(fromChd->Tracks()[1].mode, FrameMode::kAudio);
      EXPECT_EQ(fromChd->Tracks()[1].storedPregap, 150u);
      EXPECT_EQ(fromChd->Tracks()[1].frames, 301u);
      for (size_t k = 0; k < 2; ++k) {
        for (DiscImage* other : {fromSet.get(), fromExtraction.get()}) {
          EXPECT_EQ(fromChd->Tracks()[k].frames, other->Tracks()[k].frames) << k;
          EXPECT_EQ(fromChd->Tracks()[k].storedPregap, other->Tracks()[k].storedPregap) << k;
          EXPECT_EQ(fromChd->Tracks()[k].mode, other->Tracks()[k].mode) << k;
          EXPECT_TRUE(TrackFrames(*fromChd, k, 5) == TrackFrames(*other, k)) << k << " " << options;
        }
      }
      EXPECT_TRUE(AllFrames(*fromChd) == testkit::ReadBytes(temp / "out.bin")) << options;
    }
  }
}

// A CHD's MODE1 track keeps the user data alone; its frames are made whole
// at their place after the audio track in front of it.
TEST(DiscImageTest, AChdsMode1TrackIsMadeWholeAtItsPlace) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes audio = testkit::AudioFrames(14, 8);
  testkit::WriteBytes(temp / "game.chd",
                      testkit::BuildChd({{"AUDIO", 2352, Swapped(audio)}, {"MODE1", 2048, image}}, {}));
  std::unique_ptr<DiscImage> disc = Open(temp / "game.chd");
  ASSERT_TRUE(disc);
  EXPECT_EQ(disc->VolumeTrack(), 1u);
  EXPECT_EQ(disc->Description(), "CHD v5 (cdzs), track 2 of 2 (MODE1)");
  EXPECT_TRUE(TrackFrames(*disc, 0) == audio);
  EXPECT_TRUE(TrackFrames(*disc, 1, 3) == testkit::Mode1Sectors(image, 14));
}

TEST(DiscImageTest, AChdHunkThatFailsItsCrcIsAFailureNamingIt) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::ChdOptions options;
  options.wrongCrcHunks = {3};
  testkit::WriteBytes(temp / "game.chd",
                      testkit::BuildChd({{"MODE1_RAW", 2352, testkit::Mode1Sectors(image)}}, options));
  std::unique_ptr<DiscImage> disc = Open(temp / "game.chd");
  ASSERT_TRUE(disc);
  Bytes frames(disc->Tracks()[0].frames * kFrame);
  Result<size_t> before = disc->ReadFrames(0, 0, 24, frames.data());
  ASSERT_TRUE(before);
  EXPECT_EQ(*before, 24u);
  Result<size_t> read = disc->ReadFrames(0, 0, size_t(disc->Tracks()[0].frames), frames.data());
  ASSERT_FALSE(read);
  EXPECT_NE(read.Failure().text.find("hunk 3 "), std::string::npos) << read.Failure().text;
}

// Every track of an NRG image, from its INDEX 00 on as the DAO table
// places it; a track-at-once image has no pregaps.
TEST(DiscImageTest, AnNrgImageGivesEveryTrackWithItsStoredPregap) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes pregap = testkit::Mode1Sectors(Bytes(150 * 2048, 0)), data = testkit::Mode1Sectors(image, 150);
  const Bytes audioPregap = testkit::AudioFrames(150, 4), audio = testkit::AudioFrames(80, 5);
  for (const bool trackAtOnce : {false, true}) {
    const std::vector<testkit::NrgTrackData> tracks = {
        {0x05, 2352, trackAtOnce ? Bytes() : pregap, data},
        {0x07, 2352, trackAtOnce ? Bytes() : audioPregap, audio}};
    testkit::WriteBytes(temp / "game.nrg", testkit::BuildNrg(tracks, {2, trackAtOnce}));
    std::unique_ptr<DiscImage> disc = Open(temp / "game.nrg");
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->Tracks().size(), 2u);
    EXPECT_EQ(disc->Tracks()[0].mode, FrameMode::kMode1);
    EXPECT_EQ(disc->Tracks()[1].mode, FrameMode::kAudio);
    EXPECT_EQ(disc->Tracks()[0].storedPregap, trackAtOnce ? 0u : 150u);
    EXPECT_EQ(disc->Tracks()[1].storedPregap, trackAtOnce ? 0u : 150u);
    EXPECT_TRUE(TrackFrames(*disc, 0) == (trackAtOnce ? data : Concat(pregap, data)));
    EXPECT_TRUE(TrackFrames(*disc, 1) == (trackAtOnce ? audio : Concat(audioPregap, audio)));
  }
}

// The user data of Mode 2 Form 1 sectors, as an NRG image or a CHD may keep
// it, comes back as Form 1 sectors at their place on the disc.
TEST(DiscImageTest, KeptForm1UserDataIsMadeWholeAsForm1Sectors) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "game.nrg", testkit::BuildNrg({{0x02, 2048, Bytes(), image}}, {}));
  testkit::WriteBytes(temp / "game.chd", testkit::BuildChd({{"AUDIO", 2352, testkit::AudioFrames(14, 8)},
                                                            {"MODE2_FORM1", 2048, image}},
                                                           {}));
  std::unique_ptr<DiscImage> nrg = Open(temp / "game.nrg"), chd = Open(temp / "game.chd");
  ASSERT_TRUE(nrg && chd);
  EXPECT_EQ(nrg->Tracks()[0].mode, FrameMode::kMode2);
  EXPECT_TRUE(TrackFrames(*nrg, 0) == testkit::Mode2Form1Sectors(image));
  EXPECT_EQ(chd->Tracks()[1].mode, FrameMode::kMode2);
  EXPECT_TRUE(TrackFrames(*chd, 1) == testkit::Mode2Form1Sectors(image, 14));
}

// Containers cut short anywhere fail to open or to read, and say so; no
// read goes outside what they hold.
TEST(DiscImageTest, ContainersCutShortFailClearly) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes chd =
      testkit::BuildChd({{"AUDIO", 2352, testkit::AudioFrames(14, 8)}, {"MODE1", 2048, image}}, {});
  const Bytes nrg = testkit::BuildNrg({{0x05, 2352, Bytes(), testkit::Mode1Sectors(image)}}, {});
  for (const Bytes* whole : {&chd, &nrg}) {
    for (const size_t keep :
         {size_t(0), size_t(100), whole->size() / 2, whole->size() - 20, whole->size() - 1}) {
      const std::string path = temp / "cut";
      testkit::WriteBytes(path, testkit::Slice(*whole, 0, keep));
      Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(SystemHost(), path);
      if (!disc) {
        EXPECT_FALSE(disc.Failure().text.empty());
        continue;
      }
      for (size_t k = 0; k < (*disc)->Tracks().size(); ++k) {
        Bytes frames((*disc)->Tracks()[k].frames * kFrame);
        Result<size_t> read = (*disc)->ReadFrames(k, 0, size_t((*disc)->Tracks()[k].frames), frames.data());
        if (!read) {
          EXPECT_FALSE(read.Failure().text.empty());
        }
      }
    }
  }
}

}  // namespace
}  // namespace zanthrel
