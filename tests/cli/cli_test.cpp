// Runs the zanthrel program itself, as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Zanthrel(const testkit::TempFolder& temp, const std::string& arguments) {
  const std::string command = std::string(ZANTHREL_BINARY) + " " + arguments + " >" +
                              (temp / "stdout") + " 2>" + (temp / "stderr") + " </dev/null";
  int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testkit::ReadText(temp / "stdout"),
          testkit::ReadText(temp / "stderr")};
}

Bytes SmallDisc() {
  testkit::ImageBuilder image(6);
  image.Label({});
  image.Directory(1, {testkit::FileEntry("readme.txt", 3, 5), testkit::DirEntry(testkit::Win("Игры"), 2),
                      testkit::LabelEntry()});
  image.Directory(2, {testkit::FileEntry("a:b", 4, 3)});
  image.Data(3, Bytes{'h', 'e', 'l', 'l', 'o'});
  image.Data(4, Bytes{'a', 'b', 'c'});
  return image.Image();
}

TEST(CommandLineTest, DecompileWritesBesideTheChosenFolder) {
  testkit::TempFolder temp;
  testkit::WriteGzip(temp / "game.iso.gz", SmallDisc());
  Outcome run = Zanthrel(temp, "decompile --info --disc-label -o out game.iso.gz");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("decompiled into"), std::string::npos);
  EXPECT_EQ(testkit::ReadText(temp / "out/PARCE_game/readme.txt"), "hello");
  EXPECT_EQ(testkit::ReadText(temp / "out/PARCE_game/Игры/a!3Ab"), "abc");
  EXPECT_EQ(fs::file_size(temp / "out/PARCE_game/Disc label"), 132u);
  EXPECT_TRUE(fs::exists(temp / "out/PARCE_game/game.spy"));
  EXPECT_TRUE(fs::exists(temp / "out/game.log"));

  run = Zanthrel(temp, "decompile -q game.iso.gz");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_TRUE(fs::exists(temp / "PARCE_game/readme.txt"));
  EXPECT_FALSE(fs::exists(temp / "PARCE_game/Disc label"));
  EXPECT_FALSE(fs::exists(temp / "PARCE_game/game.spy"));
}

TEST(CommandLineTest, EveryFailureGivesOneLineAndItsStatus) {
  testkit::TempFolder temp;
  Outcome run = Zanthrel(temp, "decompile missing.iso");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: missing.iso: cannot be opened (No such file or directory)\n");

  testkit::WriteBytes(temp / "junk.iso", Bytes(10000, 7));
  run = Zanthrel(temp, "decompile junk.iso");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: junk.iso: no Opera volume label found\n");

  testkit::ImageBuilder dead(2);
  testkit::LabelFields label;
  label.rootCopies = {40};
  dead.Label(label);
  testkit::WriteBytes(temp / "dead.iso", dead.Image());
  run = Zanthrel(temp, "decompile dead.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("dead.iso: unreadable, every copy of the root directory failed; see "),
            std::string::npos);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);

  testkit::WriteBytes(temp / "game.iso", SmallDisc());
  fs::create_directories(temp / "PARCE_game");
  fs::create_symlink("/dev/full", temp / "PARCE_game/readme.txt");
  run = Zanthrel(temp, "decompile game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("write failure"), std::string::npos);

  testkit::WriteText(temp / "blocker", "x");
  run = Zanthrel(temp, "decompile -o blocker/out game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("blocker/out: output folder cannot be made"), std::string::npos);

  run = Zanthrel(temp, "decompile -o out --drive " + (temp / "no-such-drive"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: " + (temp / "no-such-drive") +
                         ": cannot be opened (No such file or directory)\n");
  run = Zanthrel(temp, "decompile -o out --drive " + (temp / "game.iso"));  // not a block device
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("sectors are not 2048 bytes"), std::string::npos);
  EXPECT_EQ(Zanthrel(temp, "decompile --drive /dev/sr0").status, 2);  // no -o
  EXPECT_EQ(Zanthrel(temp, "decompile -o x --drive /dev/sr0 game.iso").status, 2);
  EXPECT_EQ(Zanthrel(temp, "drives").status, 0);
  EXPECT_EQ(Zanthrel(temp, "decompile").status, 2);
  EXPECT_EQ(Zanthrel(temp, "frobnicate x").status, 2);
  EXPECT_EQ(Zanthrel(temp, "info missing.iso").status, 2);
  EXPECT_EQ(Zanthrel(temp, "list junk.iso").status, 2);
  EXPECT_EQ(Zanthrel(temp, "list dead.iso").status, 1);
}

TEST(CommandLineTest, InfoAndListDescribeTheImage) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", SmallDisc());
  Outcome info = Zanthrel(temp, "info game.iso");
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out.substr(0, info.out.find('\n')), "Информация начального сектора(метки):");
  EXPECT_NE(info.out.find("\tРазмер блока в томе:\t2048\n"), std::string::npos);

  Outcome list = Zanthrel(temp, "list game.iso");
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out,
            "readme.txt\tfile\t5\t1\t1\t0x00000003\n"
            "Игры\tdir\t2048\t1\t1\t0x00000002\n"
            "Игры/a:b\tfile\t3\t1\t1\t0x00000004\n"
            "Disc label\tfile\t132\t1\t1\t0x00000000\n");
  EXPECT_EQ(Zanthrel(temp, "--version").out, "zanthrel 0.1\n");
}

}  // namespace
}  // namespace zanthrel
