// Cue sheets as people keep them, and the messages for the ones that cannot be read.
#include "source/containers/cue_sheet.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "source/image_source.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

CueSheet Parse(const std::string& text) {
  Result<CueSheet> sheet = ParseCueSheet(text);
  EXPECT_TRUE(sheet) << (sheet ? "" : sheet.Failure().text);
  return sheet ? *sheet : CueSheet{};
}

TEST(CueSheetTest, ReadsARedumpSheetWithEveryLineEndAndComment) {
  const std::string sheet =
      "\xEF\xBB\xBFREM GENRE Game\r\n"
      "CATALOG 0000000000000\r\n"
      "TITLE \"Rock & Roll\"\r\n"
      "FILE \"Don't Stop (USA) (Track 1).bin\" BINARY\r\n"
      "  TRACK 01 MODE1/2352\r\n"
      "    INDEX 01 00:00:00\r\n"
      "file 'odd'\tmotorola\n"
      "  track 02 audio\r"
      "    FLAGS DCP\r"
      "    PREGAP 00:01:00\n"
      "    INDEX 00 00:00:00\n"
      "    index 01 00:02:00\n"
      "    INDEX 02 00:03:00\n"
      "    POSTGAP 5\n";
  const CueSheet cue = Parse(sheet);
  ASSERT_EQ(cue.files.size(), 2u);
  EXPECT_EQ(cue.files[0].name, "Don't Stop (USA) (Track 1).bin");
  EXPECT_EQ(cue.files[0].type, "BINARY");
  EXPECT_EQ(cue.files[1].name, "'odd'");
  EXPECT_EQ(cue.files[1].type, "MOTOROLA");
  ASSERT_EQ(cue.tracks.size(), 2u);
  EXPECT_EQ(cue.tracks[0].mode, "MODE1/2352");
  EXPECT_EQ(cue.tracks[0].kind, TrackKind::kData);
  EXPECT_EQ(cue.tracks[0].format.userOffset, 16u);
  EXPECT_FALSE(cue.tracks[0].index0);
  EXPECT_EQ(cue.tracks[0].index1, 0u);
  EXPECT_EQ(cue.tracks[1].number, 2u);
  EXPECT_EQ(cue.tracks[1].kind, TrackKind::kAudio);
  EXPECT_EQ(cue.tracks[1].file, 1u);
  EXPECT_EQ(cue.tracks[1].index0, 0u);
  EXPECT_EQ(cue.tracks[1].index1, 150u);
  EXPECT_EQ(cue.tracks[1].pregap, 75u);
  EXPECT_EQ(cue.tracks[1].postgap, 5u);
  EXPECT_TRUE(LooksLikeCueSheet(sheet));
}

TEST(CueSheetTest, PlacesTheFirstDataTrackInItsFile) {
  // Data after audio in one file: the audio's records are 2352 bytes, the
  // data's 2336, and the data keeps 2 seconds of pregap in front of INDEX 01.
  CueSheet cue = Parse(
      "FILE \"disc.bin\" BINARY\n"
      "TRACK 1 AUDIO\nINDEX 01 00:00:00\n"
      "TRACK 2 MODE2/2336\nPREGAP 00:02:00\nINDEX 00 00:10:00\nINDEX 01 00:12:00\n"
      "TRACK 3 AUDIO\nINDEX 00 00:40:00\nINDEX 01 00:42:00\n");
  Result<CueDataTrack> place = PlaceFirstDataTrack(cue);
  ASSERT_TRUE(place);
  EXPECT_EQ(place->track, 1u);
  EXPECT_EQ(place->start, 750u * 2352 + 150 * 2336);
  EXPECT_EQ(place->records, 28u * 75);

  // The last track of its file runs to the end of the file.
  cue = Parse(
      "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 0\nFILE b.bin BINARY\n"
      "TRACK 02 MODE1/2048\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n");
  place = PlaceFirstDataTrack(cue);
  ASSERT_TRUE(place);
  EXPECT_EQ(place->start, 150u * 2048);
  EXPECT_FALSE(place->records);
}

TEST(CueSheetTest, SheetsThatCannotBeReadSayWhereAndWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"TRACK 01 MODE1/2352\n", "cue sheet, line 1: TRACK before any FILE"},
      {"FILE a BINARY\nTRACK 01 MODE3/2352\n", "cue sheet, line 2: unknown track mode MODE3/2352"},
      {"FILE a BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", "cue sheet, line 3: bad time 00:00:75"},
      {"FILE a BINARY\nTRACK 02 AUDIO\nINDEX 01 0\nTRACK 01 AUDIO\n",
       "cue sheet, line 4: track number 01 out of order"},
      {"FILE a BINARY\nINDEX 01 00:00:00\n", "cue sheet, line 2: INDEX before any TRACK"},
      {"FILE a BINARY\nTRACK 01 MODE1/2048\nINDEX 01 0\nINDEX 01 1\n",
       "cue sheet, line 4: INDEX 01 given twice"},
      {"FILE a BINARY\nTRACK 01 MODE1/2048\nINDEX 00 00:00:00\n", "cue sheet, track 1: no INDEX 01"},
      {"FILE a BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 MODE1/2352\nINDEX 01 00:04:00\n",
       "cue sheet, track 2: starts before the track in front of it"},
      {"FILE a BINARY\nTRACK 01 AUDIO\nINDEX 01 0\n", "cue sheet: no data track, only audio"},
      {"FILE a BINARY\nTRACK 01 MODE2/2324\nINDEX 01 0\n",
       "cue sheet, track 1: MODE2/2324 sectors hold no 2048-byte user data"},
      {"FILE a.wav WAVE\nTRACK 01 MODE1/2352\nINDEX 01 0\n",
       "cue sheet, track 1: a data track in a WAVE file"},
      {"FILE\n", "cue sheet, line 1: FILE without a name"},
  };
  for (const auto& [text, message] : cases) {
    Result<CueSheet> sheet = ParseCueSheet(text);
    const std::string failure = !sheet                        ? sheet.Failure().text
                                : PlaceFirstDataTrack(*sheet) ? ""
                                                              : PlaceFirstDataTrack(*sheet).Failure().text;
    EXPECT_EQ(failure, message) << text;
  }
  EXPECT_FALSE(LooksLikeCueSheet("TRACK 01 AUDIO\nINDEX 01 0\n"));
  EXPECT_FALSE(LooksLikeCueSheet(std::string("FILE \"a\" BINARY\n\0", 18)));
}

// A cue sheet and a CHD share the data modes' spellings, but neither takes
// the names only the other uses.
TEST(TrackModeTest, EachNamingTakesItsOwnNamesOnly) {
  const auto cueRaw = FindTrackMode("MODE1/2352", TrackNaming::kCueSheet);
  const auto chdRaw = FindTrackMode("MODE1/2352", TrackNaming::kChd);
  ASSERT_TRUE(cueRaw && chdRaw);
  EXPECT_EQ(cueRaw->format.userOffset, 16u);
  EXPECT_EQ(chdRaw->format.userOffset, 16u);
  EXPECT_EQ(FindTrackMode("MODE1_RAW", TrackNaming::kChd)->format.recordSize, 2352u);
  EXPECT_FALSE(FindTrackMode("MODE1_RAW", TrackNaming::kCueSheet));
  EXPECT_FALSE(FindTrackMode("MODE2_FORM1", TrackNaming::kCueSheet));
  EXPECT_EQ(FindTrackMode("CDG", TrackNaming::kCueSheet)->format.recordSize, 2448u);
  EXPECT_FALSE(FindTrackMode("CDG", TrackNaming::kChd));
  EXPECT_EQ(FindTrackMode("MODE2/2324", TrackNaming::kChd)->kind, TrackKind::kForm2);
  EXPECT_EQ(FindTrackMode("MODE2_FORM2", TrackNaming::kChd)->kind, TrackKind::kForm2);
  EXPECT_FALSE(FindTrackMode("mode1/2048", TrackNaming::kCueSheet));  // callers give upper case
}

TEST(CueFileTest, TrackFilesAreFoundBesideTheSheetAndNamedWhenMissingOrShort) {
  testkit::TempFolder temp;
  std::filesystem::create_directories(temp / "set/bins");
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "set/bins/data.bin", testkit::Mode1Sectors(image));
  const std::string sheet = "FILE \"bins/data.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n";
  testkit::WriteText(temp / "set/game.cue", sheet);
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, "set/game.cue"));
  EXPECT_EQ(source.Container(), "cue sheet, track 1 (MODE1/2352) in bins/data.bin");

  testkit::WriteText(temp / "absolute.cue", "FILE \"" + (temp / "set/bins/data.bin") +
                                                "\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
  ImageSource absolute;
  EXPECT_TRUE(OpenImageFile(absolute, temp / "absolute.cue"));

  testkit::WriteText(temp / "missing.cue",
                     "FILE \"Game (Track 1).bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 0\n");
  ImageSource missing;
  OpenStatus opened = OpenImageFile(missing, temp / "missing.cue");
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Failure().failure, OpenFailure::kContainer);
  EXPECT_EQ(opened.Failure().text,
            "track file Game (Track 1).bin: cannot be opened (No such file or directory)");

  // A track that the next one in the same file bounds needs all its sectors.
  testkit::WriteBytes(temp / "short.bin", Bytes(10 * 2352, 0));
  testkit::WriteText(temp / "short.cue",
                     "FILE short.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 0\n"
                     "TRACK 02 AUDIO\nINDEX 01 00:00:20\n");
  ImageSource cut;
  opened = OpenImageFile(cut, temp / "short.cue");
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Failure().text,
            "track file short.bin: too short for track 1 (23520 bytes; its MODE1/2352 sectors start at "
            "byte 0 and take 47040 bytes)");
  testkit::WriteText(temp / "empty.cue", "FILE short.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:10\n");
  opened = OpenImageFile(cut, temp / "empty.cue");
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Failure().text,
            "track file short.bin: too short for track 1 (23520 bytes; its MODE1/2352 sectors start at byte "
            "23520)");
}

}  // namespace
}  // namespace zanthrel
