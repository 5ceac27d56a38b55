// `zanthrel diff`: equal images whatever their containers, every kind of
// difference in text and JSON, a rebuild of a compiled folder, what cannot be
// read, and the usage.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/json_schema.h"
#include "testkit/changed_disc.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using nlohmann::json;
using testkit::RunZanthrel;

const std::string kEqual =
    "0 label fields, 0 added, 0 removed, 0 changed, 0 moved, 0 unreadable: the images are equal\n";

// Every line of a --json run, each held to the schema.
std::vector<json> SchemaLines(const testkit::ProcessOutcome& run, const std::string& what) {
  const std::vector<json> lines = testkit::JsonLines(run.out);
  for (const json& line : lines) {
    for (const std::string& violation : testkit::SchemaViolations(line)) ADD_FAILURE() << what << ": " << violation;
  }
  return lines;
}

TEST(DiffCommandTest, AnImageEqualsItselfAndItsConversions) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  ASSERT_EQ(RunZanthrel("convert -q game.iso game.chd").status, 0);
  ASSERT_EQ(RunZanthrel("convert -q game.iso game.cue").status, 0);
  for (const char* other : {"game.iso", "game.chd", "game.cue"}) {
    const std::string arguments = std::string("diff game.iso ") + other;
    const testkit::ProcessOutcome run = RunZanthrel(arguments);
    EXPECT_EQ(run.status, 0) << arguments << ": " << run.err;
    EXPECT_EQ(run.out, kEqual) << arguments;
    const testkit::ProcessOutcome json = RunZanthrel("diff --json game.iso " + std::string(other));
    EXPECT_EQ(json.status, 0) << arguments;
    EXPECT_EQ(json.err, run.err) << arguments;
    const std::vector<nlohmann::json> lines = SchemaLines(json, arguments);
    ASSERT_EQ(lines.size(), 1u) << json.out;
    EXPECT_EQ(lines[0]["record"], "comparison");
    EXPECT_EQ(lines[0]["equal"], true);
    EXPECT_EQ(lines[0]["entries"], json::array({4, 4}));
    EXPECT_EQ(lines[0]["images"], json::array({"game.iso", other}));
  }
}

TEST(DiffCommandTest, EveryDifferenceIsOneLineInPathOrderInTextAndJson) {
  testkit::TempFolder temp;
  const testkit::ChangedDiscs discs = testkit::MakeChangedDiscs();
  testkit::WriteBytes(temp / "before.iso", discs.before);
  testkit::WriteBytes(temp / "after.iso", discs.after);
  const testkit::ProcessOutcome run = RunZanthrel("diff before.iso after.iso");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "label\ttext\t\"CD-ROM\" -> \"GAME\"\n"
            "label\tvolumeId\t0x11111111 -> 0x12345678\n"
            "label\tblocks\t20 -> 24\n"
            "changed\tData/a.bin\ttype \"    \" -> \"*zap\", id 0x33333333 -> 0x44444444\n"
            "added\tData/new.txt\tfile, 20 bytes, at block 13\n"
            "changed\tLaunchMe\tcontent differs from byte 4500 (5000 -> 5000 bytes)\n"
            "moved\tkeep.txt\tfrom block 6 to block 12\n"
            "removed\told.txt\tfile, 50 bytes, at block 7\n"
            "3 label fields, 1 added, 1 removed, 2 changed, 1 moved, 0 unreadable: the images differ\n");

  const testkit::ProcessOutcome jsonRun = RunZanthrel("diff --json before.iso after.iso");
  EXPECT_EQ(jsonRun.status, 1);
  const std::vector<json> lines = SchemaLines(jsonRun, "diff --json");
  ASSERT_EQ(lines.size(), 9u) << jsonRun.out;
  std::vector<std::string> kinds;
  for (size_t i = 0; i + 1 < lines.size(); ++i) kinds.push_back(lines[i]["kind"]);
  EXPECT_EQ(kinds, (std::vector<std::string>{"label", "label", "label", "fields", "added", "content", "moved",
                                             "removed"}));
  EXPECT_EQ(lines[0]["fields"], json::parse(R"([{"name":"text","first":"CD-ROM","second":"GAME"}])"));
  EXPECT_EQ(lines[3]["fields"][1], json::parse(R"({"name":"id","first":858993459,"second":1145324612})"));
  EXPECT_EQ(lines[4]["entry"]["path"], "Data/new.txt");
  EXPECT_EQ(lines[5]["firstDifferentByte"], 4500);
  EXPECT_EQ(lines[6]["copies"], json::parse("[[6],[12]]"));
  const json& comparison = lines.back();
  EXPECT_EQ(comparison["equal"], false);
  EXPECT_EQ(comparison["exitStatus"], 1);
  EXPECT_EQ(comparison["differences"],
            json::parse(R"({"label":3,"added":1,"removed":1,"content":1,"fields":1,"moved":1,"unreadable":0})"));
}

// The way a translator checks a rebuild: only the file changed is named,
// its path in UTF-8.
TEST(DiffCommandTest, ARebuildAfterOneChangedFileNamesThatFileAlone) {
  testkit::TempFolder temp;
  std::filesystem::create_directories(testkit::PathOf(temp / "tree/Игры"));
  testkit::WriteText(temp / "tree/Игры/текст.txt", "привет, мир");
  testkit::WriteText(temp / "tree/readme.txt", "hello");
  ASSERT_EQ(RunZanthrel("compile -q tree original.iso").status, 0);
  testkit::WriteText(temp / "tree/Игры/текст.txt", "привет, мор");
  ASSERT_EQ(RunZanthrel("compile -q tree rebuilt.iso").status, 0);
  const testkit::ProcessOutcome run = RunZanthrel("diff original.iso rebuilt.iso");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "changed\tИгры/текст.txt\tcontent differs from byte 17 (20 -> 20 bytes)\n"
            "0 label fields, 0 added, 0 removed, 1 changed, 0 moved, 0 unreadable: the images differ\n");
}

TEST(DiffCommandTest, WhatCannotBeReadOrOpenedIsToldAndNeverCalledEqual) {
  testkit::TempFolder temp;
  const testkit::Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteBytes(temp / "game.iso", image);
  testkit::Bytes cut = image;
  cut.resize(5 * 2048);  // the last block of LaunchMe is gone, and that of a:b
  testkit::WriteBytes(temp / "cut.iso", cut);
  testkit::Bytes noRoot = image;
  std::fill(noRoot.begin() + 2048, noRoot.begin() + 2 * 2048, 0xEE);
  testkit::WriteBytes(temp / "noroot.iso", noRoot);

  testkit::ProcessOutcome run = RunZanthrel("diff game.iso cut.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "unreadable\tLaunchMe\tin cut.iso: block 2 of the file, no copy of it reads\n"
            "unreadable\tИгры/a:b\tin cut.iso: block 0 of the file, no copy of it reads\n"
            "0 label fields, 0 added, 0 removed, 0 changed, 0 moved, 2 unreadable: no difference found, but not "
            "all could be compared\n");
  std::vector<json> lines = SchemaLines(RunZanthrel("diff --json game.iso cut.iso"), "cut");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["image"], "cut.iso");
  EXPECT_EQ(lines[0]["block"], 2);
  EXPECT_EQ(lines[2]["equal"], false);

  struct Case {
    const char* arguments;
    int status;
    const char* code;
    const char* path;
    const char* err;
  };
  const Case cases[] = {
      {"game.iso missing.iso", 2, "cannot-open", "missing.iso",
       "zanthrel: missing.iso: cannot be opened (No such file or directory)\n"},
      {"missing.iso gone.iso", 2, "cannot-open", "missing.iso",
       "zanthrel: missing.iso: cannot be opened (No such file or directory)\n"
       "zanthrel: gone.iso: cannot be opened (No such file or directory)\n"},
      {"noroot.iso game.iso", 1, "tree-unreadable", "noroot.iso",
       "zanthrel: noroot.iso: unreadable, every copy of the root directory failed\n"},
  };
  for (const Case& c : cases) {
    run = RunZanthrel(std::string("diff ") + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
    EXPECT_EQ(run.err, c.err) << c.arguments;
    const testkit::ProcessOutcome jsonRun = RunZanthrel(std::string("diff --json ") + c.arguments);
    EXPECT_EQ(jsonRun.err, run.err) << c.arguments;
    lines = SchemaLines(jsonRun, c.arguments);
    ASSERT_EQ(lines.size(), 1u) << c.arguments;
    EXPECT_EQ(lines[0]["exitStatus"], c.status);
    EXPECT_EQ(lines[0]["error"]["code"], c.code) << c.arguments;
    EXPECT_EQ(lines[0]["error"]["path"], c.path) << c.arguments;
  }
}

TEST(DiffCommandTest, UsageErrorsNameTheLineThatWorks) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  const std::pair<const char*, const char*> cases[] = {
      {"diff", "diff: A is missing: zanthrel diff [OPTIONS] A B"},
      {"diff game.iso", "diff: B is missing: zanthrel diff [OPTIONS] A B"},
      {"diff game.iso game.iso game.iso",
       "diff: unexpected argument 'game.iso'; diff takes A B: zanthrel diff [OPTIONS] A B"},
      {"diff --jsn game.iso game.iso", "diff: unknown option '--jsn'; did you mean '--json'?"},
  };
  for (const auto& [arguments, err] : cases) {
    const testkit::ProcessOutcome run = RunZanthrel(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.out, "") << arguments;
    EXPECT_EQ(run.err, "zanthrel: " + std::string(err) + "\n") << arguments;
  }
}

}  // namespace
}  // namespace zanthrel
