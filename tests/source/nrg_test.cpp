// NRG images from the testkit's builder, checked against chdman, which reads
// v2 images in modes 0x00 and 0x06; and the messages for damaged ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "source/image_source.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/nrg_builder.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"
#include "workflow/convert_job.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::NrgTrackData;

std::vector<NrgTrackData> DataAndAudio(uint8_t mode, const Bytes& image) {
  const bool raw = mode == 0x06;
  const uint16_t size = raw ? 2352 : 2048;
  const Bytes pregap(150 * size, 0);
  return {{mode, size, pregap, raw ? testkit::Mode2Form1Sectors(image) : testkit::Padded(image)},
          {0x07, 2352, testkit::AudioFrames(150, 1), testkit::AudioFrames(100, 2)}};
}

TEST(NrgTest, ChdmanReadsTheBuildersImagesAsThisReaderDoes) {
  if (!testkit::ProgramAvailable("chdman")) {
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed";
  }
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  for (uint8_t mode : {0x00, 0x06}) {
    SCOPED_TRACE(int(mode));
    testkit::WriteBytes(temp / "game.nrg", testkit::BuildNrg(DataAndAudio(mode, image), {2, false}));
    const testkit::ProcessOutcome made = testkit::RunProgram(
        "chdman", "createcd -f -i '" + (temp / "game.nrg") + "' -o '" + (temp / "game.chd") + "'");
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    for (const char* name : {"game.nrg", "game.chd"}) {
      const ConvertReport converted = ConvertImage(temp / name, temp / "plain.iso");
      ASSERT_EQ(converted.failure, "") << name;
      EXPECT_TRUE(testkit::ReadBytes(temp / "plain.iso") == image) << name;
    }
  }
}

// Where chunk `id` starts, after the tracks.
size_t FindChunk(const Bytes& nrg, const std::string& id) {
  const size_t tracks = nrg.size() / 2;  // the chunks are far shorter than the tracks
  return size_t(std::search(nrg.begin() + long(tracks), nrg.end(), id.begin(), id.end()) - nrg.begin());
}

TEST(NrgTest, DamagedImagesSayWhatIsWrong) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes nrg = testkit::BuildNrg(DataAndAudio(0x00, image), {2, false});
  const size_t cue = FindChunk(nrg, "CUEX"), dao = FindChunk(nrg, "DAOX") + 8, entry = dao + 22;
  auto refusal = [&](auto change, const Bytes& from) {
    Bytes bad = from;
    change(bad);
    testkit::WriteBytes(temp / "bad.nrg", bad);
    ImageSource source;
    const OpenStatus opened = OpenImageFile(source, temp / "bad.nrg");
    return opened ? "" : opened.Failure().text;
  };
  const std::pair<std::function<void(Bytes&)>, const char*> cases[] = {
      {[&](Bytes& b) { b[b.size() - 5] = 0xFF; }, "NRG image: the footer points past the chunks"},
      {[&](Bytes& b) { b[cue + 4] = 0x7F; }, "NRG image: chunk CUEX runs into the footer"},
      {[&](Bytes& b) { b[dao + 21] = 5; }, "NRG image: the DAO table does not hold tracks 1 to 5"},
      {[&](Bytes& b) { b[entry + 14] = 0x42; }, "NRG image: track 1 has the unknown mode code 0x42"},
      {[&](Bytes& b) {
         b[entry + 12] = 0x09;
         b[entry + 13] = 0x30;
       },
       "NRG image: track 1 gives 2352-byte sectors for mode 0x00"},
      {[&](Bytes& b) { b[entry + 41] ^= 1; }, "NRG image: track 1 is not a whole number of sectors"},
      {[&](Bytes& b) { b[entry + 38] = 0x7F; }, "NRG image: track 1 lies outside the track data"},
      {[&](Bytes& b) { b[entry + 14] = 0x07; }, "NRG image: no data track, only audio"},
      {[&](Bytes& b) { b[dao - 5] = 'Z'; }, "NRG image: no track table"},
  };
  for (const auto& [change, message] : cases) EXPECT_EQ(refusal(change, nrg), message);

  // A raw track must start with a sync.
  std::vector<NrgTrackData> tracks = DataAndAudio(0x06, image);
  tracks[0].pregap.clear();
  tracks[0].records[0] = 0x55;
  EXPECT_EQ(refusal([](Bytes&) {}, testkit::BuildNrg(tracks, {1, false})),
            "NRG image: track 1 has no raw data sector at its start");
}

}  // namespace
}  // namespace zanthrel
