// CHD files written from a disc: chdman verifies them, gives every frame
// back and finds the same track entries in them as in its own; zanthrel reads
// them; a failure leaves nothing behind.
#include "write/chd_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "source/image_source.h"
#include "support/host.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/faulty_host.h"
#include "testkit/frame_disc.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"
#include "write/cue_bin_writer.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::BytesTrack;
using testkit::FrameDisc;
using testkit::FrameTrack;

#define REQUIRE_CHDMAN()                                                   \
  if (!testkit::ProgramAvailable("chdman")) {                              \
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed"; \
  }

constexpr size_t kFrame = 2352;

std::string CueTime(uint64_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(frames / 4500), unsigned(frames / 75 % 60),
                unsigned(frames % 75));
  return text;
}

// The disc as a cue sheet with one BIN a track, for chdman createcd.
std::string WriteCueOf(FrameDisc& disc, const testkit::TempFolder& temp) {
  std::string sheet;
  for (size_t t = 0; t < disc.Tracks().size(); ++t) {
    const DiscTrack& track = disc.Tracks()[t];
    const std::string bin = "track" + std::to_string(t + 1) + ".bin";
    testkit::WriteBytes(temp / bin, disc.Frames(t));
    sheet += "FILE \"" + bin + "\" BINARY\n  TRACK " + std::to_string(track.number) + " " +
             (track.mode == FrameMode::kAudio   ? "AUDIO"
              : track.mode == FrameMode::kMode1 ? "MODE1/2352"
                                                : "MODE2/2352") +
             "\n";
    if (track.pregap > 0) sheet += "    PREGAP " + CueTime(track.pregap) + "\n";
    if (track.storedPregap > 0) sheet += "    INDEX 00 00:00:00\n";
    sheet += "    INDEX 01 " + CueTime(track.storedPregap) + "\n";
    if (track.postgap > 0) sheet += "    POSTGAP " + CueTime(track.postgap) + "\n";
  }
  testkit::WriteText(temp / "disc.cue", sheet);
  return temp / "disc.cue";
}

Bytes DataFrames(size_t userBlocks, uint32_t seed, uint32_t firstLba = 0) {
  return testkit::Mode1Sectors(testkit::TextBytes(userBlocks * 2048, seed), firstLba);
}

// Data and audio as a game disc has them: the data track's sectors with real
// parity, text and noise, then two audio tracks, the second with its pregap
// in the image, and a Mode 2 track.
std::vector<FrameTrack> MixedTracks() {
  Bytes data = testkit::MakeContainerDisc().image;
  std::vector<FrameTrack> tracks;
  tracks.push_back(BytesTrack(FrameMode::kMode1, testkit::Mode1Sectors(data)));
  tracks.push_back(BytesTrack(FrameMode::kAudio, testkit::ToneFrames(151, 3)));
  tracks.push_back(BytesTrack(FrameMode::kAudio, testkit::Concat(Bytes(150 * kFrame, 0), testkit::ToneFrames(230, 4)), 150));
  tracks.push_back(
      BytesTrack(FrameMode::kMode2, testkit::Mode2Form1Sectors(testkit::TextBytes(41 * 2048, 5), 600)));
  return tracks;
}

std::string MetadataOf(const std::string& chd) {
  const testkit::ProcessOutcome info = testkit::RunProgram("chdman", "info -v -i '" + chd + "'");
  EXPECT_EQ(info.status, 0) << info.err;
  std::istringstream lines(info.out);
  std::string line, kept;
  while (std::getline(lines, line)) {
    if (line.find("TRACK:") != std::string::npos || line.find("Logical size") != std::string::npos ||
        line.find("Metadata:") != std::string::npos || line.find("Compression:") != std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

// chdman verify passes, and extractcd gives back every track's frames, one
// after the other in one BIN.
void ExpectChdmanGivesBack(FrameDisc& disc, const std::string& chd, const testkit::TempFolder& temp) {
  const testkit::ProcessOutcome verified = testkit::RunProgram("chdman", "verify -i '" + chd + "'");
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  const testkit::ProcessOutcome extracted = testkit::RunProgram(
      "chdman", "extractcd -f -i '" + chd + "' -o '" + (temp / "back.cue") + "' -ob '" + (temp / "back.bin") + "'");
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  Bytes frames;
  for (size_t t = 0; t < disc.Tracks().size(); ++t) frames = testkit::Concat(frames, disc.Frames(t));
  const Bytes back = testkit::ReadBytes(temp / "back.bin");
  ASSERT_EQ(back.size(), frames.size());
  EXPECT_TRUE(back == frames);
}

TEST(ChdWriterTest, ChdmanVerifiesDiscsOfEveryShapeAndGivesEveryFrameBack) {
  REQUIRE_CHDMAN();
  // A noise hunk repeated many times over, and zeros: copies of earlier hunks.
  const Bytes noise = testkit::Pattern(8 * kFrame, 17);
  Bytes repeated;
  for (int i = 0; i < 40; ++i) repeated = testkit::Concat(repeated, i % 3 == 2 ? Bytes(8 * kFrame, 0) : noise);
  struct Shape {
    const char* name;
    std::vector<FrameTrack> tracks;
  };
  std::vector<Shape> shapes;
  shapes.push_back({"data only", {BytesTrack(FrameMode::kMode1, DataFrames(300, 1))}});
  shapes.push_back({"data and audio", MixedTracks()});
  shapes.push_back({"three frames", {BytesTrack(FrameMode::kMode1, DataFrames(3, 2))}});
  shapes.push_back({"repeated hunks", {BytesTrack(FrameMode::kMode1, DataFrames(16, 6)),
                                       BytesTrack(FrameMode::kAudio, repeated)}});
  for (Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    testkit::TempFolder temp;
    FrameDisc disc(std::move(shape.tracks));
    const Result<uint64_t> written = WriteChd(disc, temp / "disc.chd");
    ASSERT_TRUE(written) << written.Failure().text;
    EXPECT_EQ(*written, std::filesystem::file_size(temp.Path() / "disc.chd"));
    ExpectChdmanGivesBack(disc, temp / "disc.chd", temp);
  }
}

TEST(ChdWriterTest, TrackEntriesAreChdmansAndTheSizeNearlyItsOwn) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  std::vector<FrameTrack> tracks = MixedTracks();
  tracks[3].track.pregap = 150;  // not in the image
  tracks[3].track.postgap = 5;
  FrameDisc disc(std::move(tracks));
  const std::string cue = WriteCueOf(disc, temp);
  const auto chdmanStart = std::chrono::steady_clock::now();
  const testkit::ProcessOutcome made =
      testkit::RunProgram("chdman", "createcd -i '" + cue + "' -o '" + (temp / "chdman.chd") + "'");
  const auto chdmanTime = std::chrono::steady_clock::now() - chdmanStart;
  ASSERT_EQ(made.status, 0) << made.err;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WriteChd(disc, temp / "ours.chd"));
  const auto time = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(MetadataOf(temp / "ours.chd"), MetadataOf(temp / "chdman.chd"));
  const double ratio = double(std::filesystem::file_size(temp.Path() / "ours.chd")) /
                       double(std::filesystem::file_size(temp.Path() / "chdman.chd"));
  EXPECT_LE(ratio, 1.02);
  RecordProperty("SizeToChdman", std::to_string(ratio));
  RecordProperty("TimeToChdman", std::to_string(double(time.count()) / double(chdmanTime.count())));
}

TEST(ChdWriterTest, ZanthrelReadsTheVolumeBack) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  FrameDisc disc(MixedTracks());
  ASSERT_TRUE(WriteChd(disc, temp / "disc.chd"));
  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, temp / "disc.chd");
  ASSERT_TRUE(opened) << opened.Failure().text;
  Bytes read(image.size());
  ASSERT_TRUE(Seek(source, 0, 2048, 0));
  ASSERT_TRUE(ReadRecords(source, read.data(), 2048, uint32_t(image.size() / 2048)));
  EXPECT_TRUE(read == image);
}

TEST(ChdWriterTest, AFailedReadOrWriteLeavesNothingBehind) {
  testkit::TempFolder temp;
  {
    FrameDisc disc({BytesTrack(FrameMode::kMode1, DataFrames(400, 7))});
    disc.FailAt(0, 350);
    const Result<uint64_t> written = WriteChd(disc, temp / "disc.chd");
    ASSERT_FALSE(written);
    EXPECT_NE(written.Failure().text.find("Input/output error"), std::string::npos) << written.Failure().text;
  }
  {
    FrameDisc disc({BytesTrack(FrameMode::kMode1, DataFrames(400, 7))});
    testkit::FaultyHost host;
    host.Add({testkit::HostCall::kWrite, "", ENOSPC, 100000});
    const Result<uint64_t> written = WriteChd(disc, temp / "disc.chd", host);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.Failure().code, ENOSPC);
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
  // Nor is anything but a file replaced.
  std::filesystem::create_directory(temp.Path() / "folder.chd");
  FrameDisc disc({BytesTrack(FrameMode::kMode1, DataFrames(4, 7))});
  EXPECT_FALSE(WriteChd(disc, temp / "folder.chd"));
  EXPECT_TRUE(std::filesystem::is_empty(temp.Path() / "folder.chd"));
}

TEST(ChdWriterTest, ProgressCountsFramesUpToTheWhole) {
  testkit::TempFolder temp;
  FrameDisc disc({BytesTrack(FrameMode::kMode1, DataFrames(30, 8)), BytesTrack(FrameMode::kAudio, testkit::AudioFrames(9, 1))});
  uint64_t last = 0, total = 0;
  bool forward = true;
  ASSERT_TRUE(WriteChd(disc, temp / "disc.chd", SystemHost(), [&](uint64_t done, uint64_t all) {
    forward = forward && done >= last;
    last = done;
    total = all;
  }));
  EXPECT_TRUE(forward);
  EXPECT_EQ(total, 32u + 12u);  // each track padded to four frames
  EXPECT_EQ(last, total);
}

// Over 2 GiB of frames, most hunks copies: offsets and lengths past 32 bits.
// It takes minutes, so it runs only when ZANTHREL_LARGE_TESTS is set.
// The two containers zanthrel writes, of one source read through its whole
// disc, meet where chdman stands between them: chdman gives back zanthrel's
// own BIN from zanthrel's CHD, and makes of zanthrel's cue sheet a CHD that
// it describes as it describes zanthrel's.
TEST(ChdWriterTest, ChdmanTurnsEachWrittenContainerIntoTheOther) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const std::string set = testkit::WriteCueSet(temp.Path().string(), "game", testkit::MakeContainerDisc().image, true);
  Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(SystemHost(), set);
  ASSERT_TRUE(disc) << disc.Failure().text;
  ASSERT_EQ((*disc)->Tracks().size(), 2u);
  Result<WrittenFiles> cue = WriteCueBin(**disc, temp / "ours.cue");
  ASSERT_TRUE(cue) << cue.Failure().text;
  ASSERT_TRUE(WriteChd(**disc, temp / "ours.chd"));

  const testkit::ProcessOutcome extracted = testkit::RunProgram(
      "chdman", "extractcd -i '" + (temp / "ours.chd") + "' -o '" + (temp / "back.cue") + "' -ob '" +
                    (temp / "back.bin") + "'");
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  Bytes ours;
  for (size_t k = 1; k < cue->paths.size(); ++k) ours = testkit::Concat(ours, testkit::ReadBytes(cue->paths[k]));
  EXPECT_TRUE(testkit::ReadBytes(temp / "back.bin") == ours);

  const testkit::ProcessOutcome created = testkit::RunProgram(
      "chdman", "createcd -i '" + (temp / "ours.cue") + "' -o '" + (temp / "theirs.chd") + "'");
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(MetadataOf(temp / "theirs.chd"), MetadataOf(temp / "ours.chd"));
}

TEST(ChdWriterTest, ADiscLargerThanTwoGibibytesVerifies) {
  REQUIRE_CHDMAN();
  if (!std::getenv("ZANTHREL_LARGE_TESTS")) GTEST_SKIP() << "set ZANTHREL_LARGE_TESTS to run";
  const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "";
  testkit::TempFolder temp = base.empty() ? testkit::TempFolder() : testkit::TempFolder(base);
  const uint64_t frames = (uint64_t(2) << 30) / kFrame + 5000;
  FrameTrack track;
  track.track.mode = FrameMode::kMode1;
  track.track.frames = frames;
  const Bytes sectors = DataFrames(64, 9);
  track.make = [&](uint64_t index, uint8_t* frame) {
    std::memcpy(frame, sectors.data() + index % 64 * kFrame, kFrame);
    if (index % 4000 == 0) std::memcpy(frame + 100, &index, sizeof index);  // some hunks of their own
  };
  FrameDisc disc({track});
  ASSERT_TRUE(WriteChd(disc, temp / "disc.chd"));
  const testkit::ProcessOutcome verified = testkit::RunProgram("chdman", "verify -i '" + (temp / "disc.chd") + "'");
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  // Zanthrel reads back what it writes, however large.
  Result<std::unique_ptr<DiscImage>> read = OpenDiscImage(SystemHost(), temp / "disc.chd");
  ASSERT_TRUE(read) << read.Failure().text;
  EXPECT_EQ((*read)->Tracks()[0].frames, frames);
}

}  // namespace
}  // namespace zanthrel
