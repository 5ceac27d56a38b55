// Convert and compile write the container the output names: a plain image,
// a CUE/BIN of every track, or what --format asks for. What they write reads
// back as the source did, every file of a set is guarded, and a run that
// fails or is refused leaves no file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "decompile/decompile_run.h"
#include "source/image_source.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/sector_checker.h"
#include "testkit/temp_folder.h"
#include "workflow/compile_job.h"
#include "workflow/convert_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;

// The 2048 bytes of user data of each raw MODE1 sector.
Bytes UserData(const Bytes& sectors) {
  Bytes user;
  for (size_t at = 0; at + 2352 <= sectors.size(); at += 2352) {
    user.insert(user.end(), sectors.begin() + long(at + 16), sectors.begin() + long(at + 2064));
  }
  return user;
}

std::map<std::string, std::string> DecompiledTree(const std::string& image, const std::string& folder) {
  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, image);
  if (!opened) return {{"not opened", opened.Failure().text}};
  if (!DecompileImage(source, folder, folder + ".log").Succeeded()) return {{"not decompiled", image}};
  return testkit::TreeOf(folder);
}

void ExpectWholeDataTrack(const std::string& bin, const Bytes& image) {
  const Bytes sectors = testkit::ReadBytes(bin);
  EXPECT_EQ(testkit::Mode1TrackFault(sectors.data(), sectors.size()), "") << bin;
  EXPECT_TRUE(UserData(sectors) == image) << bin;
}

// A plain image, a raw BIN and a Redump set with an audio track, each to a
// CUE/BIN that decompiles as its source does.
TEST(ConvertToCueBinTest, EverySourceComesOutAsASetThatReadsTheSame) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "plain.iso", image);
  testkit::WriteBytes(temp / "raw.bin", testkit::Mode1Sectors(image));
  fs::create_directory(testkit::PathOf(temp / "redump"));
  const std::string set = testkit::WriteCueSet(temp / "redump", "game", image, true);
  const std::map<std::string, std::string> expected = DecompiledTree(temp / "plain.iso", temp / "expected");

  for (const std::string& source : {temp / "plain.iso", temp / "raw.bin", set}) {
    const ConvertReport report = ConvertImage(source, temp / "out.cue", ReplaceRule::kForced);
    ASSERT_EQ(report.failure, "") << source;
    EXPECT_EQ(report.format, ImageFormat::kCueBin);
    ExpectWholeDataTrack(temp / "out (Track 1).bin", image);
    EXPECT_EQ(DecompiledTree(temp / "out.cue", temp / "again"), expected) << source;
    fs::remove_all(testkit::PathOf(temp / "again"));
  }
  // The Redump set comes out as Redump keeps it: the same sheet, the audio as it was.
  std::string sheet = testkit::ReadText(set);
  for (size_t at; (at = sheet.find("game (")) != std::string::npos;) sheet.replace(at, 4, "out");
  EXPECT_EQ(testkit::ReadText(temp / "out.cue"), sheet);
  EXPECT_TRUE(testkit::ReadBytes(temp / "out (Track 2).bin") ==
              testkit::ReadBytes(temp / "redump/game (Track 2).bin"));
}

TEST(ConvertToCueBinTest, TheExtensionOrTheFormatAskedChoosesTheContainer) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "game.iso", image);

  // Any letter case names a cue sheet; a name of no known container stays a plain image.
  ASSERT_EQ(ConvertImage(temp / "game.iso", temp / "upper.CUE").failure, "");
  ExpectWholeDataTrack(temp / "upper (Track 1).bin", image);
  const ConvertReport plain = ConvertImage(temp / "game.iso", temp / "copy.img");
  ASSERT_EQ(plain.failure, "");
  EXPECT_EQ(plain.format, ImageFormat::kIso);
  EXPECT_TRUE(testkit::ReadBytes(temp / "copy.img") == image);

  const ConvertReport asked =
      ConvertImage(temp / "game.iso", temp / "sheet.img", ReplaceRule::kRefuseExisting, SystemHost(),
                   ImageFormat::kCueBin);
  ASSERT_EQ(asked.failure, "");
  EXPECT_EQ(asked.files, (std::vector<std::string>{temp / "sheet.img", temp / "sheet.img (Track 1).bin"}));
  EXPECT_EQ(testkit::ReadText(temp / "sheet.img").rfind("FILE \"sheet.img (Track 1).bin\" BINARY\r\n", 0), 0u);
  const ConvertReport iso =
      ConvertImage(temp / "game.iso", temp / "plain.cue", ReplaceRule::kRefuseExisting, SystemHost(),
                   ImageFormat::kIso);
  ASSERT_EQ(iso.failure, "");
  EXPECT_TRUE(testkit::ReadBytes(temp / "plain.cue") == image);
}

TEST(ConvertToCueBinTest, APlainImageCountsTheAudioTracksLeftOut) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const std::string set = testkit::WriteCueSet(temp.Path().string(), "game", image, true);
  const ConvertReport report = ConvertImage(set, temp / "out.iso");
  ASSERT_EQ(report.failure, "");
  EXPECT_EQ(report.audioTracksLeftOut, 1u);
  EXPECT_TRUE(testkit::ReadBytes(temp / "out.iso") == image);
  testkit::WriteBytes(temp / "plain.iso", image);
  EXPECT_EQ(ConvertImage(temp / "plain.iso", temp / "again.iso").audioTracksLeftOut, 0u);
}

// Every file of the set is guarded as the one named is: one that exists is
// refused before anything is written unless forced, and a file being read
// never, however the names meet.
TEST(ConvertToCueBinTest, EveryFileOfTheSetIsGuarded) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const std::string set = testkit::WriteCueSet(temp.Path().string(), "game", image, true);
  testkit::WriteText(temp / "out (Track 2).bin", "mine");

  const ConvertReport refused = ConvertImage(set, temp / "out.cue", ReplaceRule::kRefuseExisting);
  EXPECT_TRUE(refused.refused);
  EXPECT_NE(refused.failure.find("out (Track 2).bin: exists already"), std::string::npos) << refused.failure;
  EXPECT_FALSE(fs::exists(testkit::PathOf(temp / "out.cue")));
  EXPECT_FALSE(fs::exists(testkit::PathOf(temp / "out (Track 1).bin")));
  EXPECT_EQ(testkit::ReadText(temp / "out (Track 2).bin"), "mine");

  ASSERT_EQ(ConvertImage(set, temp / "out.cue", ReplaceRule::kForced).failure, "");
  EXPECT_EQ(fs::file_size(testkit::PathOf(temp / "out (Track 2).bin")), 300u * 2352);

  // "game.CUE" is a new name where names keep their case, but its tracks'
  // files are the ones being read; where case is folded it is the sheet itself.
  const Bytes source = testkit::ReadBytes(temp / "game (Track 1).bin");
  const ConvertReport input = ConvertImage(set, temp / "game.CUE", ReplaceRule::kForced);
  EXPECT_TRUE(input.refused);
  EXPECT_NE(input.failure.find("it is never written over"), std::string::npos) << input.failure;
  EXPECT_TRUE(testkit::ReadBytes(temp / "game (Track 1).bin") == source);
}

void WriteFolder(const std::string& folder) {
  fs::create_directories(testkit::PathOf(folder + "/sub"));
  testkit::WriteBytes(folder + "/sub/noise.bin", testkit::Pattern(150000, 3));
  testkit::WriteText(folder + "/readme.txt", "hello");
}

// A folder becomes a CUE/BIN in one step: the same volume as its plain
// image, and nothing else left beside it, the plain image it was made from
// included.
TEST(CompileToCueBinTest, WritesTheSetAndNothingElse) {
  testkit::TempFolder temp;
  WriteFolder(temp / "src");
  fs::create_directory(testkit::PathOf(temp / "out"));
  CompileRequest request;
  request.folder = temp / "src";
  request.imagePath = temp / "out/game.iso";
  ASSERT_TRUE(CompileFolderToImage(request).written);
  const Bytes image = testkit::ReadBytes(temp / "out/game.iso");
  fs::remove(testkit::PathOf(temp / "out/game.iso"));

  request.imagePath = temp / "out/game.cue";
  const CompileReport report = CompileFolderToImage(request);
  ASSERT_TRUE(report.written) << report.failure;
  EXPECT_EQ(report.blockCount, image.size() / 2048);
  EXPECT_EQ(testkit::NamesBelow(testkit::PathOf(temp / "out")),
            (std::vector<std::string>{"game (Track 1).bin", "game.cue"}));
  ExpectWholeDataTrack(temp / "out/game (Track 1).bin", image);

  // --format over the extension.
  request.imagePath = temp / "out/other.iso";
  request.format = ImageFormat::kCueBin;
  ASSERT_TRUE(CompileFolderToImage(request).written);
  EXPECT_TRUE(testkit::ReadBytes(temp / "out/other.iso (Track 1).bin") ==
              testkit::ReadBytes(temp / "out/game (Track 1).bin"));
}

TEST(CompileToCueBinTest, ARefusalOrAFailureLeavesNoFileBehind) {
  testkit::TempFolder temp;
  WriteFolder(temp / "src");
  fs::create_directory(testkit::PathOf(temp / "out"));
  testkit::WriteText(temp / "out/game (Track 1).bin", "mine");
  CompileRequest request;
  request.folder = temp / "src";
  request.imagePath = temp / "out/game.cue";
  request.replace = ReplaceRule::kRefuseExisting;
  const CompileReport refused = CompileFolderToImage(request);
  EXPECT_TRUE(refused.refused);
  EXPECT_NE(refused.failure.find("game (Track 1).bin: exists already"), std::string::npos) << refused.failure;
  EXPECT_EQ(testkit::NamesBelow(testkit::PathOf(temp / "out")), (std::vector<std::string>{"game (Track 1).bin"}));

  // The window's save dialog asked about the cue sheet alone: the sheet it
  // named may be replaced, a track's file beside it may not.
  testkit::WriteText(temp / "out/game.cue", "older");
  request.replace = ReplaceRule::kAskedByDialog;
  const CompileReport unasked = CompileFolderToImage(request);
  EXPECT_TRUE(unasked.refused);
  EXPECT_NE(unasked.failure.find("game (Track 1).bin: exists already beside the image chosen"), std::string::npos)
      << unasked.failure;
  EXPECT_EQ(testkit::ReadText(temp / "out/game (Track 1).bin"), "mine");
  fs::remove(testkit::PathOf(temp / "out/game (Track 1).bin"));
  const CompileReport asked = CompileFolderToImage(request);
  EXPECT_TRUE(asked.written) << asked.failure;
  EXPECT_NE(testkit::ReadText(temp / "out/game.cue"), "older");
  fs::remove(testkit::PathOf(temp / "out/game.cue"));

  // A folder where the track's file goes is refused even when forced.
  fs::remove(testkit::PathOf(temp / "out/game (Track 1).bin"));
  fs::create_directory(testkit::PathOf(temp / "out/game (Track 1).bin"));
  request.replace = ReplaceRule::kForced;
  const CompileReport failed = CompileFolderToImage(request);
  EXPECT_FALSE(failed.written);
  EXPECT_NE(failed.failure, "");
  EXPECT_EQ(testkit::NamesBelow(testkit::PathOf(temp / "out")), (std::vector<std::string>{"game (Track 1).bin"}));

  // A compile that fails names the image asked for, not the plain image
  // made on the way, and leaves neither behind.
  request.folder = temp / "missing";
  fs::remove(testkit::PathOf(temp / "out/game (Track 1).bin"));
  const CompileReport missing = CompileFolderToImage(request);
  EXPECT_FALSE(missing.written);
  EXPECT_EQ(missing.failure.find(".zanthrel-"), std::string::npos) << missing.failure;
  EXPECT_TRUE(testkit::NamesBelow(testkit::PathOf(temp / "out")).empty());
}

}  // namespace
}  // namespace zanthrel
