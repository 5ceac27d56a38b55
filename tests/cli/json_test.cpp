// The JSON of the reading commands against the schema of docs/json.md, and
// runs on several images at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/json_schema.h"
#include "testkit/cd_sectors.h"
#include "testkit/chd_builder.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/nrg_builder.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testkit::Bytes;
using testkit::RunZanthrel;

// The one line that a run on one image prints, checked against the schema.
json OnlyObject(const testkit::ProcessOutcome& run, const std::string& what) {
  const std::vector<json> lines = testkit::JsonLines(run.out);
  EXPECT_EQ(lines.size(), 1u) << what << ": " << run.out;
  if (lines.size() != 1) return json();
  for (const std::string& violation : testkit::SchemaViolations(lines[0])) ADD_FAILURE() << what << ": " << violation;
  return lines[0];
}

// The sample disc whole and in every kind of trouble a reading command meets.
void WriteTroubledImages(const testkit::TempFolder& folder) {
  const Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteBytes(folder / "game.iso", image);
  Bytes cut = image;
  cut.resize(4 * 2048);
  testkit::WriteBytes(folder / "cut.iso", cut);
  Bytes hole = image;
  std::fill(hole.begin() + 2 * 2048, hole.begin() + 3 * 2048, 0);  // the folder "Игры"
  testkit::WriteBytes(folder / "hole.iso", hole);
  Bytes noRoot = image;
  std::fill(noRoot.begin() + 2048, noRoot.begin() + 2 * 2048, 0xEE);  // the root, its header impossible
  testkit::WriteBytes(folder / "noroot.iso", noRoot);
  testkit::WriteText(folder / "junk.iso", std::string(8192, 'x'));
  fs::create_directory(testkit::PathOf(folder / "folder.iso"));
}

TEST(JsonSchemaTest, EveryCommandGivesOneObjectOfTheSchemaWithTheTextFormsStatus) {
  testkit::TempFolder temp;
  WriteTroubledImages(temp);
  struct Case {
    const char* command;
    const char* image;
    int status;
    const char* error;  // empty: none
  };
  const Case cases[] = {
      {"info", "game.iso", 0, ""},
      {"list", "game.iso", 0, ""},
      {"verify", "game.iso", 0, ""},
      {"info", "hole.iso", 1, "directories-unreadable"},
      {"list", "hole.iso", 1, "directories-unreadable"},
      {"verify", "hole.iso", 1, ""},
      {"info", "noroot.iso", 1, "tree-unreadable"},
      {"list", "noroot.iso", 1, "tree-unreadable"},
      {"verify", "noroot.iso", 1, ""},
      {"verify", "cut.iso", 1, ""},
      {"info", "cut.iso", 0, ""},
      {"info", "missing.iso", 2, "cannot-open"},
      {"list", "missing.iso", 2, "cannot-open"},
      {"verify", "missing.iso", 2, "cannot-open"},
      {"list", "junk.iso", 2, "cannot-open"},
      {"info", "folder.iso", 2, "cannot-open"},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.command) + " " + c.image;
    const testkit::ProcessOutcome text = RunZanthrel(what);
    const testkit::ProcessOutcome run = RunZanthrel(std::string(c.command) + " --json " + c.image);
    EXPECT_EQ(text.status, c.status) << what << ": " << text.err;
    EXPECT_EQ(run.status, c.status) << what;
    // The errors on stderr are the text form's.
    EXPECT_EQ(run.err, text.err) << what;
    const json object = OnlyObject(run, what);
    if (object.is_null()) continue;
    EXPECT_EQ(object["command"], c.command) << what;
    EXPECT_EQ(object["image"], c.image) << what;
    EXPECT_EQ(object["exitStatus"], c.status) << what;
    if (std::string(c.error).empty()) {
      EXPECT_TRUE(object["error"].is_null()) << what << ": " << object["error"];
    } else {
      EXPECT_EQ(object["error"]["code"], c.error) << what;
      EXPECT_FALSE(object["error"]["message"].get<std::string>().empty()) << what;
    }
    if (c.status == 2) {
      // The message of an image that did not open is what stderr says after its name.
      EXPECT_EQ(run.err, "zanthrel: " + std::string(c.image) + ": " + object["error"].value("message", "") + "\n");
    }
  }
  // What list met before the folder that cannot be read is kept, and the folder named.
  const json hole = OnlyObject(RunZanthrel("list --json hole.iso"), "list hole.iso");
  EXPECT_EQ(hole["entries"].size(), 3u);
  EXPECT_EQ(hole["unreadablePaths"], json::array({"Игры"}));
  EXPECT_EQ(OnlyObject(RunZanthrel("verify --json cut.iso"), "verify cut.iso")["damaged"], true);
}

TEST(JsonSchemaTest, TheContainerIsGivenAsFields) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "plain.iso", image);
  testkit::WriteGzip(temp / "packed.iso.gz", image);
  testkit::WriteBytes(temp / "raw.bin", testkit::RawFraming(image));
  testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  testkit::ChdOptions zstd;
  zstd.codec = "zstd";
  testkit::WriteBytes(temp / "game.chd", testkit::BuildChd({{"MODE1", 2048, testkit::Padded(image)}}, zstd));
  testkit::WriteBytes(temp / "raw.chd", testkit::BuildChd({{"MODE1_RAW", 2352, testkit::RawFraming(image)}}, {}));
  testkit::WriteBytes(temp / "game.nrg",
                      testkit::BuildNrg({{0x00, 2048, Bytes(150 * 2048, 0), testkit::Padded(image)}}, {2, false}));
  struct Case {
    const char* image;
    const char* format;
    json codecs;
    json track;
    const char* mode;
  };
  const Case cases[] = {
      {"plain.iso", "iso", json::array(), nullptr, "MODE1/2048"},
      {"packed.iso.gz", "gzip", json::array(), nullptr, "MODE1/2048"},
      {"raw.bin", "raw", json::array(), nullptr, "MODE1/2352"},
      {"Game.cue", "cue", json::array(), 1, "MODE1/2352"},
      {"game.chd", "chd", json::array({"zstd"}), 1, "MODE1/2048"},
      {"raw.chd", "chd", json::array({"cdzs"}), 1, "MODE1/2352"},
      {"game.nrg", "nrg", json::array(), 1, "MODE1/2048"},
  };
  for (const Case& c : cases) {
    // Every command names it alike, and as info's text does.
    std::string description;
    for (const char* command : {"info", "list", "verify"}) {
      const std::string what = std::string(command) + " " + c.image;
      const testkit::ProcessOutcome run = RunZanthrel(std::string(command) + " --json " + c.image);
      EXPECT_EQ(run.status, 0) << what << ": " << run.err;
      const json container = OnlyObject(run, what)["container"];
      EXPECT_EQ(container["format"], c.format) << what;
      EXPECT_EQ(container["codecs"], c.codecs) << what;
      EXPECT_EQ(container["track"], c.track) << what;
      EXPECT_EQ(container["mode"], c.mode) << what;
      if (description.empty()) description = container.value("description", "");
      EXPECT_EQ(container["description"], description) << what;
    }
    EXPECT_NE(RunZanthrel(std::string("info ") + c.image).out.find("Container:    " + description + "\n"),
              std::string::npos)
        << c.image;
  }
}

TEST(JsonSchemaTest, InfoListAndVerifyCountTheVolumeAndTreeAlike) {
  testkit::TempFolder temp;
  WriteTroubledImages(temp);
  for (const char* image : {"game.iso", "hole.iso"}) {
    const std::string name = image;
    const json info = OnlyObject(RunZanthrel("info --json " + name), name);
    const json list = OnlyObject(RunZanthrel("list --json " + name), name);
    const json verify = OnlyObject(RunZanthrel("verify --json " + name), name);
    EXPECT_EQ(info["volume"]["blocks"], 8) << name;
    EXPECT_EQ(verify["volume"]["blocks"], info["volume"]["blocks"]) << name;
    EXPECT_EQ(list["tree"], info["tree"]) << name;
    // The root is among the directories, and the folder that cannot be read too.
    EXPECT_EQ(info["tree"]["directories"], 2) << name;
    EXPECT_EQ(verify["tree"]["directories"], info["tree"]["directories"]) << name;
    EXPECT_EQ(info["tree"]["files"], name == "game.iso" ? 3 : 2) << name;
    EXPECT_EQ(verify["tree"]["files"], info["tree"]["files"]) << name;
    // The text counts the folders below the root.
    EXPECT_NE(RunZanthrel("info " + name).out.find("Folders:      1\n"), std::string::npos) << name;
  }
}

TEST(JsonSchemaTest, ListGivesEachEntrysTypeIdFlagsAndEveryCopy) {
  testkit::TempFolder temp;
  testkit::ImageBuilder builder(12);
  builder.Label({});
  testkit::EntryFields twice = testkit::FileEntry("twice", 4, 100);
  twice.copies = {4, 9};
  twice.id = 0x01020304;
  twice.type = "text";
  twice.flags = 0x00000102;
  testkit::EntryFields folder = testkit::DirEntry("folder", 2);
  folder.id = 0x0A0B0C0D;
  testkit::EntryFields shortType = testkit::FileEntry("short", 5, 10);
  shortType.type = std::string("ab\0\0", 4);
  builder.Directory(1, {twice, folder});
  builder.Directory(2, {shortType});
  testkit::WriteBytes(temp / "copies.iso", builder.Image());

  const json list = OnlyObject(RunZanthrel("list --json copies.iso"), "list");
  const json expected = json::parse(R"([
    {"path": "twice", "kind": "file", "type": "text", "id": 16909060, "flags": 258,
     "bytes": 100, "blocks": 1, "copies": [4, 9]},
    {"path": "folder", "kind": "dir", "type": "*dir", "id": 168496141, "flags": 7,
     "bytes": 2048, "blocks": 1, "copies": [2]},
    {"path": "folder/short", "kind": "file", "type": "ab", "id": 858993459, "flags": 2,
     "bytes": 10, "blocks": 1, "copies": [5]}])");
  EXPECT_EQ(list["entries"], expected);
  // The text keeps its columns: the number of copies and the first.
  EXPECT_EQ(RunZanthrel("list copies.iso").out,
            "twice\tfile\t100\t1\t2\t0x00000004\n"
            "folder\tdir\t2048\t1\t1\t0x00000002\n"
            "folder/short\tfile\t10\t1\t1\t0x00000005\n");
}

// info's file size and tracks, verify's check of the file's own records, and
// list's names read as UTF-8: each in the schema, on one image and on several.
TEST(JsonSchemaTest, FileTracksContainerCheckAndNamesKeepTheSchema) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeSampleDisc().image;
  const Bytes tracks =
      testkit::BuildChd({{"AUDIO", 2352, testkit::AudioFrames(14, 8)}, {"MODE1", 2048, image}}, {});
  testkit::WriteBytes(temp / "tracks.chd", tracks);
  testkit::ChdOptions wrongCrc;
  wrongCrc.wrongCrcHunks = {3};
  testkit::WriteBytes(temp / "damaged.chd",
                      testkit::BuildChd({{"MODE1", 2048, testkit::MakeContainerDisc().image}}, wrongCrc));
  testkit::WriteBytes(temp / "game.iso", image);

  const json info = OnlyObject(RunZanthrel("info --json tracks.chd"), "info tracks.chd");
  EXPECT_EQ(info["file"]["bytes"], tracks.size());
  EXPECT_EQ(info["tracks"], json::parse(R"([
    {"number": 1, "mode": "AUDIO", "frames": 14, "pregap": 0, "holdsVolume": false},
    {"number": 2, "mode": "MODE1/2352", "frames": 8, "pregap": 0, "holdsVolume": true}])"));
  const json missing = OnlyObject(RunZanthrel("info --json missing.iso"), "info missing.iso");
  EXPECT_TRUE(missing["file"].is_null());
  EXPECT_TRUE(missing["tracks"].is_null());

  testkit::ProcessOutcome run = RunZanthrel("verify --json damaged.chd");
  EXPECT_EQ(run.status, 1);
  const json damaged = OnlyObject(run, "verify damaged.chd");
  EXPECT_EQ(damaged["damaged"], true);
  EXPECT_TRUE(damaged["error"].is_null());
  EXPECT_EQ(damaged["containerCheck"]["chd"]["wrongCrc"], json::parse(R"([{"firstHunk": 3, "hunkCount": 1}])"));
  const json plain = OnlyObject(RunZanthrel("verify --json game.iso"), "verify game.iso");
  EXPECT_EQ(plain["containerCheck"]["checked"], false);
  EXPECT_TRUE(plain["containerCheck"]["chd"].is_null());
  EXPECT_TRUE(plain["containerCheck"]["failure"].is_null());

  fs::create_directories(testkit::PathOf(temp / "tree/Музыка"));
  testkit::WriteText(temp / "tree/Музыка/日本.txt", "hi");
  ASSERT_EQ(RunZanthrel("compile -q --names utf-8 tree u8.iso").status, 0);
  run = RunZanthrel("list --json --names utf-8 -j 2 u8.iso game.iso u8.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<json> lines = testkit::JsonLines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  for (const size_t i : {0u, 2u}) {
    EXPECT_TRUE(testkit::SchemaViolations(lines[i]).empty()) << lines[i];
    EXPECT_EQ(lines[i]["entries"][1]["path"], "Музыка/日本.txt");
  }
  EXPECT_EQ(lines[1], OnlyObject(RunZanthrel("list --json --names utf-8 game.iso"), "list game.iso"));
}

TEST(SeveralImagesTest, TextReportsComeInTheOrderGivenAndEndWithASummary) {
  testkit::TempFolder temp;
  WriteTroubledImages(temp);
  const std::string game = RunZanthrel("info game.iso").out;
  const std::string hole = RunZanthrel("info hole.iso").out;
  testkit::ProcessOutcome run = RunZanthrel("info -j 2 game.iso missing.iso hole.iso game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "==> game.iso <==\n" + game + "\n==> missing.iso <==\n\n==> hole.iso <==\n" + hole +
                         "\n==> game.iso <==\n" + game + "\n4 images: 2 read, 1 failed, 1 not opened\n");
  EXPECT_EQ(run.err, "zanthrel: missing.iso: cannot be opened (No such file or directory)\n");

  const std::string clean = RunZanthrel("verify game.iso").out;
  const std::string cut = RunZanthrel("verify cut.iso").out;
  run = RunZanthrel("verify --jobs 2 cut.iso game.iso game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, cut + "\n" + clean + "\n" + clean + "\n3 images: 2 clean, 1 damaged\n");
  run = RunZanthrel("verify game.iso game.iso");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.ends_with("\n2 images: 2 clean\n")) << run.out;

  run = RunZanthrel("list -j 1 hole.iso game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "==> hole.iso <==\n" + RunZanthrel("list hole.iso").out + "\n==> game.iso <==\n" +
                         RunZanthrel("list game.iso").out + "\n2 images: 1 read, 1 failed\n");
  EXPECT_EQ(run.err, RunZanthrel("list hole.iso").err);
  EXPECT_EQ(RunZanthrel("verify -j 0 game.iso").status, 2);
}

TEST(SeveralImagesTest, JsonGivesALinePerImageInOrderAndASummaryLine) {
  testkit::TempFolder temp;
  WriteTroubledImages(temp);
  // The label 32 MiB into a gzip image: found only after inflating them all,
  // so that the images behind it are done first and wait their turn.
  Bytes slow(32 << 20, 0);
  const Bytes image = testkit::MakeSampleDisc().image;
  slow.insert(slow.end(), image.begin(), image.end());
  testkit::WriteGzip(temp / "slow.iso.gz", slow);
  const std::vector<std::string> images = {"slow.iso.gz", "cut.iso", "game.iso", "missing.iso", "hole.iso"};
  std::string arguments;
  for (const std::string& image : images) arguments += " " + image;
  for (const char* command : {"info", "list", "verify"}) {
    const testkit::ProcessOutcome run = RunZanthrel(std::string(command) + " --json -j 2" + arguments);
    EXPECT_EQ(run.status, 1) << command;
    const std::vector<json> lines = testkit::JsonLines(run.out);
    ASSERT_EQ(lines.size(), images.size() + 1) << command << ": " << run.out;
    int failed = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      for (const std::string& violation : testkit::SchemaViolations(lines[i])) {
        ADD_FAILURE() << command << " line " << i << ": " << violation;
      }
      if (i == images.size()) break;
      EXPECT_EQ(lines[i]["image"], images[i]) << command;
      // Each line is the one a run on its image alone prints.
      EXPECT_EQ(lines[i], OnlyObject(RunZanthrel(std::string(command) + " --json " + images[i]), images[i]));
      if (lines[i]["exitStatus"] == 1) ++failed;
    }
    const json& summary = lines.back();
    EXPECT_EQ(summary["record"], "summary") << command;
    EXPECT_EQ(summary["command"], command);
    EXPECT_EQ(summary["images"], 5);
    EXPECT_EQ(summary["unopened"], 1);
    EXPECT_EQ(summary["failed"], failed);
    EXPECT_EQ(summary["succeeded"], 4 - failed);
    EXPECT_GE(failed, 1) << command;
    EXPECT_EQ(summary["exitStatus"], 1);
  }
}

}  // namespace
}  // namespace zanthrel
