// Runs the zanthrel program itself, as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif
#include <nlohmann/json.hpp>

#include "testkit/cd_sectors.h"
#include "support/cp1251.h"
#include "testkit/chd_builder.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::RunZanthrel;

TEST(CommandLineTest, DecompileWritesBesideTheChosenFolder) {
  testkit::TempFolder temp;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteGzip(temp / "game.iso.gz", disc.image);
  testkit::ProcessOutcome run = RunZanthrel("decompile --info --disc-label -o out game.iso.gz");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("decompiled into"), std::string::npos);
  EXPECT_EQ(testkit::ReadBytes(temp / "out/PARCE_game/LaunchMe"), disc.launchMe);
  EXPECT_EQ(testkit::ReadBytes(temp / "out/PARCE_game/Игры/a!3Ab"), disc.gamesAB);
  EXPECT_EQ(fs::file_size(temp / "out/PARCE_game/Disc label"), 132u);
  EXPECT_TRUE(fs::exists(temp / "out/game.spy"));
  EXPECT_TRUE(fs::exists(temp / "out/game.log"));

  run = RunZanthrel("decompile -q game.iso.gz");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_TRUE(fs::exists(temp / "PARCE_game/LaunchMe"));
  EXPECT_FALSE(fs::exists(temp / "PARCE_game/Disc label"));
  EXPECT_FALSE(fs::exists(temp / "game.spy"));
}

// The log and the block map in UTF-8 say what the Windows-1251 ones say,
// byte for byte once converted; the default stays Windows-1251.
TEST(CommandLineTest, DecompileWritesTheLogAndTheMapInUtf8WhenAsked) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  ASSERT_EQ(RunZanthrel("decompile --info -q game.iso").status, 0);
  const std::string log = testkit::ReadText(temp / "game.log");
  const std::string map = testkit::ReadText(temp / "game.spy");
  ASSERT_NE(map.find(Utf8ToCp1251("Игры")), std::string::npos) << "the map holds no Windows-1251 to convert";
  testkit::ProcessOutcome run = RunZanthrel("decompile --info -q -f --log-encoding utf-8 game.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testkit::ReadText(temp / "game.log"), Cp1251ToUtf8(log));
  EXPECT_EQ(testkit::ReadText(temp / "game.spy"), Cp1251ToUtf8(map));
  EXPECT_NE(testkit::ReadText(temp / "game.log").find("Информация"), std::string::npos);
  // The run's own words do not change with the log's encoding.
  run = RunZanthrel("decompile -f --log-encoding cp1251 game.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testkit::ReadText(temp / "game.log"), log);

  run = RunZanthrel("decompile -f --log-encoding koi8-r game.iso");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("koi8-r"), std::string::npos) << run.err;
}

// Two images whose names differ past their first dot get a folder and a log each.
TEST(CommandLineTest, ImagesWithDotsInTheirNamesDecompileApart) {
  testkit::TempFolder temp;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp / "Game (v1.0).iso", disc.image);
  testkit::WriteGzip(temp / "Game (v1.1).iso.gz", disc.image);
  for (const char* image : {"Game (v1.0).iso", "Game (v1.1).iso.gz"}) {
    const testkit::ProcessOutcome run = RunZanthrel(std::string("decompile -q '") + image + "'");
    EXPECT_EQ(run.status, 0) << run.err;
  }
  for (const char* base : {"Game (v1.0)", "Game (v1.1)"}) {
    EXPECT_EQ(testkit::ReadBytes(temp / (std::string("PARCE_") + base + "/LaunchMe")), disc.launchMe) << base;
    EXPECT_TRUE(fs::is_regular_file(temp / (std::string(base) + ".log"))) << base;
  }
}

// Decompiling again over an edited folder: refused before anything is
// written, the log included, unless -f; an empty folder is used as it is.
TEST(CommandLineTest, DecompileRefusesAFolderThatHoldsFilesUnlessForced) {
  testkit::TempFolder temp;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp / "game.iso", disc.image);
  ASSERT_EQ(RunZanthrel("decompile -q game.iso").status, 0);
  testkit::WriteText(temp / "PARCE_game/LaunchMe", "edited");
  testkit::WriteText(temp / "PARCE_game/mine.txt", "mine");
  testkit::WriteText(temp / "game.log", "old log");
  testkit::WriteText(temp / "game.spy", "old map");

  for (const char* arguments : {"decompile game.iso", "decompile --info -q game.iso"}) {
    const testkit::ProcessOutcome run = RunZanthrel(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("zanthrel: ")) << run.err;
    EXPECT_TRUE(run.err.ends_with(testkit::HostPath("/PARCE_game") +
                                  ": the folder exists and is not empty; decompiling game.iso into it "
                                  "would write over its files (-f writes over them)\n"))
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_EQ(testkit::ReadText(temp / "PARCE_game/LaunchMe"), "edited");
    EXPECT_EQ(testkit::ReadText(temp / "game.log"), "old log");
    EXPECT_EQ(testkit::ReadText(temp / "game.spy"), "old map");
  }
  // A drive's folder too, before the drive is even opened.
  fs::create_directories(temp.Path() / "out/PARCE_CD-ROM/sub");
  testkit::ProcessOutcome run = RunZanthrel("decompile -o out --drive " + (temp / "no-such-drive"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("PARCE_CD-ROM: the folder exists and is not empty"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(temp.Path() / "out/cd-rom.log"));

  // -f writes over the disc's files and the map, and leaves the others.
  run = RunZanthrel("decompile -f --info -q game.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testkit::ReadBytes(temp / "PARCE_game/LaunchMe"), disc.launchMe);
  EXPECT_EQ(testkit::ReadText(temp / "PARCE_game/mine.txt"), "mine");
  EXPECT_NE(testkit::ReadText(temp / "game.log"), "old log");
  EXPECT_NE(testkit::ReadText(temp / "game.spy"), "old map");

  // An empty folder holds nothing to lose.
  fs::remove_all(temp.Path() / "PARCE_game");
  fs::create_directories(temp.Path() / "PARCE_game");
  EXPECT_EQ(RunZanthrel("decompile --force -q game.iso").status, 0);
  fs::remove_all(temp.Path() / "PARCE_game");
  fs::create_directories(temp.Path() / "PARCE_game");
  EXPECT_EQ(RunZanthrel("decompile -q game.iso").status, 0);
  EXPECT_EQ(testkit::ReadBytes(temp / "PARCE_game/LaunchMe"), disc.launchMe);
}

// Entries that meet on the host are warned, one line each, and the run ends
// well; -q folds the warnings into one line that counts them.
TEST(CommandLineTest, DecompileWarnsOfEachNumberedName) {
  testkit::TempFolder temp;
  testkit::ImageBuilder builder(5);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("x", 3, 1), testkit::DirEntry("x", 2), testkit::FileEntry("x", 4, 1)});
  builder.Directory(2, {});
  testkit::WriteBytes(temp / "meet.iso", builder.Image());
  testkit::ProcessOutcome run = RunZanthrel("decompile meet.iso");
  EXPECT_EQ(run.status, 0);
  const std::string root = testkit::HostPath(fs::canonical(temp.Path()).string() + "/PARCE_meet/");
  EXPECT_EQ(run.err, "zanthrel: warning: " + root + "x: written as \"x~1\" (an earlier entry of the folder has the name)\n"
                     "zanthrel: warning: " + root + "x: written as \"x~2\" (an earlier entry of the folder has the name)\n");
  EXPECT_TRUE(fs::is_directory(temp.Path() / "PARCE_meet/x~1"));
  EXPECT_TRUE(fs::is_regular_file(temp.Path() / "PARCE_meet/x~2"));

  run = RunZanthrel("decompile -q -f meet.iso");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "zanthrel: warning: 2 warnings not shown (-q); run without -q to see each\n");

  // Compile folds its own the same way, one warning in the singular.
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/中.txt", "x");  // stored as "?.txt": no Windows-1251 form
  run = RunZanthrel("compile -q --no-boot-area src back.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "zanthrel: warning: 1 warning not shown (-q); run without -q to see each\n");
}

// The label asked for on the command line, and the one a decompiled
// "Disc label" brings back, which says so in one line and is no file.
TEST(CommandLineTest, CompileWritesTheLabelAskedForOrTheOneOfTheDiscLabelFile) {
  testkit::TempFolder temp;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/a.txt", "a");
  testkit::ProcessOutcome run = RunZanthrel(
      "compile --no-boot-area --volume-label 'Игра' --volume-comment 'v2' --volume-id 0xDEADBEEF --root-id 42 "
      "src first.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  run = RunZanthrel("info first.iso");
  EXPECT_NE(run.out.find("Volume id:    0xDEADBEEF\nLabel text:   Игра\nComment:      v2\n"), std::string::npos)
      << run.out;

  ASSERT_EQ(RunZanthrel("decompile -q --disc-label first.iso").status, 0);
  run = RunZanthrel("compile --no-boot-area PARCE_first second.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "zanthrel: " + testkit::HostPath((fs::canonical(temp.Path() / "PARCE_first") / "Disc label").string()) +
                         ": taken as the volume label, not stored as a file\n");
  EXPECT_EQ(testkit::ReadBytes(temp / "second.iso"), testkit::ReadBytes(temp / "first.iso"));
  run = RunZanthrel("compile -q --no-boot-area PARCE_first third.iso");
  EXPECT_EQ(run.out + run.err, "");
}

TEST(CommandLineTest, EveryFailureGivesOneLineAndItsStatus) {
  testkit::TempFolder temp;
  testkit::ProcessOutcome run = RunZanthrel("decompile missing.iso");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: missing.iso: cannot be opened (No such file or directory)\n");

  testkit::WriteBytes(temp / "junk.iso", Bytes(10000, 7));
  run = RunZanthrel("decompile junk.iso");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: junk.iso: no Opera volume label found\n");

  testkit::ImageBuilder dead(2);
  testkit::LabelFields label;
  label.rootCopies = {40};
  dead.Label(label);
  testkit::WriteBytes(temp / "dead.iso", dead.Image());
  run = RunZanthrel("decompile dead.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("dead.iso: unreadable, every copy of the root directory failed; see "),
            std::string::npos);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);

  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
#ifndef _WIN32  // /dev/full, a file whose writes fail, is POSIX's
  fs::create_directories(temp / "PARCE_game");
  fs::create_symlink("/dev/full", temp / "PARCE_game/LaunchMe");
  run = RunZanthrel("decompile -f game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("write failure"), std::string::npos);
#endif

  testkit::WriteText(temp / "blocker", "x");
  run = RunZanthrel("decompile -o blocker/out game.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("blocker/out: output folder cannot be made"), std::string::npos);

  run = RunZanthrel("decompile -o out --drive " + (temp / "no-such-drive"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: " + (temp / "no-such-drive") +
                         ": cannot be opened (No such file or directory)\n");
#ifndef _WIN32  // on Windows an image file may play a drive
  run = RunZanthrel("decompile -o out --drive " + (temp / "game.iso"));  // not a block device
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: " + (temp / "game.iso") + ": not a drive (an image file is read without --drive)\n");
#endif
  EXPECT_EQ(RunZanthrel("decompile --drive /dev/sr0").status, 2);  // no -o
  EXPECT_EQ(RunZanthrel("decompile -o x --drive /dev/sr0 game.iso").status, 2);
  EXPECT_EQ(RunZanthrel("drives").status, 0);
  EXPECT_EQ(RunZanthrel("decompile").status, 2);
  EXPECT_EQ(RunZanthrel("frobnicate x").status, 2);
  EXPECT_EQ(RunZanthrel("info missing.iso").status, 2);
  EXPECT_EQ(RunZanthrel("list junk.iso").status, 2);
  EXPECT_EQ(RunZanthrel("list dead.iso").status, 1);
  EXPECT_EQ(RunZanthrel("info dead.iso").status, 1);
  EXPECT_EQ(RunZanthrel("verify dead.iso").status, 1);
}

#ifndef _WIN32  // FIFOs, /dev/null and symbolic links as POSIX makes them
TEST(CommandLineTest, CompileAndConvertWriteOnlyToARegularFileOrANewName) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  fs::create_directories(temp / "source");
  testkit::WriteText(temp / "source/readme.txt", "hello");
  testkit::WriteText(temp / "target.iso", "old");
  fs::create_symlink("target.iso", temp / "link.iso");
  fs::create_symlink("nowhere.iso", temp / "dangling.iso");
  ASSERT_EQ(::mkfifo((temp / "pipe.iso").c_str(), 0666), 0);
  fs::create_directories(temp / "folder.iso");
  std::vector<std::pair<std::string, std::string>> refused = {{"/dev/null", "a character device"},
                                                              {"pipe.iso", "a FIFO"},
                                                              {"folder.iso", "a folder"},
                                                              {"link.iso", "a symbolic link"},
                                                              {"dangling.iso", "a symbolic link"}};
  // A socket bound to a name, kept open while the commands run.
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = temp / "socket.iso";
  if (socketPath.size() < sizeof address.sun_path) {
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    refused.push_back({"socket.iso", "a socket"});
  }
  // A block device node of its own (a loop device's numbers) where the test may make one.
  if (::mknod((temp / "drive.iso").c_str(), S_IFBLK | 0600, makedev(7, 200)) == 0) {
    refused.push_back({"drive.iso", "a block device"});
  }
  for (const auto& [path, what] : refused) {
    for (const std::string& command : {"compile source " + path, "convert game.iso " + path}) {
      const testkit::ProcessOutcome run = RunZanthrel(command);
      EXPECT_EQ(run.status, 2) << command;
      EXPECT_EQ(run.err, "zanthrel: " + path + ": not a regular file (" + what +
                             "); the image is written only to a regular file or a new name\n")
          << command;
      EXPECT_EQ(run.out, "") << command;
    }
  }
  // Refused before anything was opened for writing: each stands as it was,
  // and no temporary file is left beside any of them.
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_fifo(temp / "pipe.iso"));
  EXPECT_TRUE(fs::is_empty(temp / "folder.iso"));
  EXPECT_TRUE(fs::is_symlink(temp / "link.iso"));
  EXPECT_TRUE(fs::is_symlink(temp / "dangling.iso"));
  EXPECT_FALSE(fs::exists(temp / "nowhere.iso"));
  EXPECT_EQ(testkit::ReadText(temp / "target.iso"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()),
            ptrdiff_t(2 + refused.size()));
  ::close(listener);

  // A regular file (when forced) and a new name still take the image.
  EXPECT_EQ(RunZanthrel("compile -q -f source target.iso").status, 0);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(temp / "target.iso")));
  EXPECT_GT(fs::file_size(temp / "target.iso"), 3u);
  EXPECT_EQ(RunZanthrel("convert -q game.iso new.iso").status, 0);
  EXPECT_EQ(testkit::ReadBytes(temp / "new.iso"), testkit::MakeSampleDisc().image);
}
#endif

TEST(CommandLineTest, AnOutputThatExistsIsReplacedOnlyWithForce) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteBytes(temp / "back.iso", image);
  fs::create_directories(temp / "source");
  testkit::WriteText(temp / "source/readme.txt", "hello");
  testkit::WriteText(temp / "victim.chd", "the user's CHD");
  // convert with its arguments swapped, and a compile onto the same name.
  for (const char* command : {"convert back.iso victim.chd", "convert -q back.iso victim.chd",
                              "compile source victim.chd", "compile -q --no-boot-area source victim.chd"}) {
    const testkit::ProcessOutcome run = RunZanthrel(command);
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.err, "zanthrel: victim.chd: exists already; use -f or --force to replace it\n") << command;
    EXPECT_EQ(run.out, "") << command;
  }
  EXPECT_EQ(testkit::ReadText(temp / "victim.chd"), "the user's CHD");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 3);

  // A plain image under the CHD's name, as --format asks.
  testkit::ProcessOutcome run = RunZanthrel("convert -f --format iso back.iso victim.chd");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testkit::ReadBytes(temp / "victim.chd"), image);
  run = RunZanthrel("compile --force -q --no-boot-area --format iso source victim.chd");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(fs::file_size(temp / "victim.chd"), 3u * 2048);  // label, readme.txt, root
  // A new name needs no force.
  EXPECT_EQ(RunZanthrel("convert -q back.iso new.iso").status, 0);
  EXPECT_EQ(RunZanthrel("compile -q source new2.iso").status, 0);
}

TEST(CommandLineTest, AnOutputThatIsReadIsRefusedEvenWithForce) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "back.iso", image);
  fs::create_directories(temp / "source/sub");
  testkit::WriteText(temp / "source/readme.txt", "hello");
  const std::string sourcePath = fs::canonical(temp.Path() / "source").string();
  std::vector<std::string> inside = {"source/readme.txt", "source/new.iso", "source/sub/new.iso",
                                     "source/../source/new.iso"};
#ifndef _WIN32  // a link to the folder, as POSIX makes it
  fs::create_directory_symlink("source", temp.Path() / "alias");
  inside.push_back("alias/new.iso");
#endif
  for (const std::string& output : inside) {
    for (const std::string force : {"", "-f "}) {
      const std::string command = "compile " + force + "source " + output;
      const testkit::ProcessOutcome run = RunZanthrel(command);
      EXPECT_EQ(run.status, 2) << command;
      EXPECT_EQ(run.err, "zanthrel: " + output + ": lies inside the folder being compiled (" + sourcePath +
                             "); the image is written outside it, even with --force\n")
          << command;
    }
  }
  EXPECT_EQ(testkit::ReadText(temp / "source/readme.txt"), "hello");
  EXPECT_EQ(testkit::TreeOf(temp / "source").size(), 2u);  // readme.txt and sub, nothing new
  // Beside the folder is outside it, though its name begins the same.
  EXPECT_EQ(RunZanthrel("compile -q source source.iso").status, 0);

  // convert onto its own input, under its name or another name of the same file.
  fs::create_hard_link(temp.Path() / "back.iso", temp.Path() / "same.iso");
  for (const char* output : {"back.iso", "same.iso"}) {
    const std::string command = std::string("convert -f back.iso ") + output;
    const testkit::ProcessOutcome run = RunZanthrel(command);
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.err, "zanthrel: " + std::string(output) +
                           ": is the image being converted; it is never written over, even with --force\n")
        << command;
  }
  EXPECT_EQ(testkit::ReadBytes(temp / "back.iso"), image);

  // A cue sheet's files, the data track's and the audio track's alike.
  testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  const Bytes track1 = testkit::ReadBytes(temp / "Game (Track 1).bin");
  for (const char* output : {"Game (Track 1).bin", "Game (Track 2).bin"}) {
    const std::string command = std::string("convert -f Game.cue '") + output + "'";
    const testkit::ProcessOutcome run = RunZanthrel(command);
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.err, "zanthrel: " + std::string(output) +
                           ": is a file that the cue sheet Game.cue names; it is never written over, even "
                           "with --force\n")
        << command;
  }
  EXPECT_EQ(testkit::ReadBytes(temp / "Game (Track 1).bin"), track1);
  EXPECT_EQ(RunZanthrel("convert -q Game.cue game.iso").status, 0);
  EXPECT_EQ(testkit::ReadBytes(temp / "game.iso"), image);
}

#ifndef _WIN32  // FIFOs as POSIX makes them
TEST(CommandLineTest, InputsThatNeverEndAreRefusedWhoeverNamesThem) {
  testkit::TempFolder temp;
  // No writer ever comes: a command that waited on one of these would be
  // ended after 20 seconds, and fail instead of hanging the suite.
  for (const char* fifo : {"pipe.bin", "pipe.iso", "pipe.nrg"}) {
    ASSERT_EQ(::mkfifo((temp / fifo).c_str(), 0666), 0);
  }
  testkit::WriteText(temp / "game.cue",
                     "FILE \"pipe.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
  const std::string trackRefusal = "zanthrel: game.cue: track file pipe.bin: cannot be opened (is a FIFO, not a "
                                   "regular file or a drive; reading it may never end)\n";
  const std::string imageRefusal =
      ": neither a file nor a block device (a pipe or a character device may never end)\n";
  for (const std::string command : {"info IMAGE", "info --json IMAGE", "list IMAGE", "verify IMAGE",
                                    "convert IMAGE out.iso", "decompile -o out IMAGE"}) {
    for (const std::string image : {"game.cue", "pipe.iso", "pipe.nrg"}) {
      std::string line = command;
      line.replace(line.find("IMAGE"), 5, image);
      const testkit::ProcessOutcome run = testkit::RunZanthrelInterrupted(line, "KILL", 20);
      EXPECT_EQ(run.status, 2) << line;
      EXPECT_EQ(run.err, image == "game.cue" ? trackRefusal : "zanthrel: " + image + imageRefusal) << line;
    }
  }
  EXPECT_FALSE(fs::exists(temp / "out.iso"));
}
#endif

TEST(CommandLineTest, InfoAndListDescribeTheImage) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  testkit::ProcessOutcome info = RunZanthrel("info --log-text game.iso");
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out, testkit::kSampleLabelDescription);

  testkit::ProcessOutcome list = RunZanthrel("list game.iso");
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out,
            "LaunchMe\tfile\t5000\t3\t1\t0x00000003\n"
            "Игры\tdir\t2048\t1\t1\t0x00000002\n"
            "Игры/a:b\tfile\t10\t1\t1\t0x00000006\n"
            "Disc label\tfile\t132\t1\t1\t0x00000000\n");
  EXPECT_EQ(RunZanthrel("--version").out, "zanthrel 0.1\n");
}

TEST(CommandLineTest, ConvertWritesThePlainImageAndInfoAndListNameTheContainer) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "plain.iso", image);
  testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  const std::string read = "Game.cue: cue sheet, track 1 (MODE1/2352) in Game (Track 1).bin\n";

  testkit::ProcessOutcome run = RunZanthrel("convert Game.cue out.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "out.iso: plain image written, 589824 bytes from cue sheet, track 1 (MODE1/2352) in "
                     "Game (Track 1).bin\n");
  EXPECT_TRUE(testkit::ReadBytes(temp / "out.iso") == image);

  for (const char* command : {"info --log-text", "list"}) {
    const testkit::ProcessOutcome plain = RunZanthrel(std::string(command) + " plain.iso");
    run = RunZanthrel(std::string(command) + " Game.cue");
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.out, plain.out) << command;
    EXPECT_EQ(plain.err, "") << command;
    EXPECT_EQ(run.err, read) << command;
  }
  run = RunZanthrel("verify Game.cue");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.ends_with("clean\n")) << run.out;
  EXPECT_EQ(run.err, read);
  run = RunZanthrel("info Game.cue");
  EXPECT_NE(run.out.find("Container:    cue sheet, track 1 (MODE1/2352) in Game (Track 1).bin\n"),
            std::string::npos)
      << run.out;
}

// The output's extension, or --format, names the container; a plain image
// says what it left out, and a set is refused whole when any file of it exists.
TEST(CommandLineTest, ConvertAndCompileWriteTheContainerTheOutputNames) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "plain.iso", image);
  testkit::WriteCueSet(temp.Path().string(), "Game", image, true);

  testkit::ProcessOutcome run = RunZanthrel("convert -q Game.cue out.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "zanthrel: Game.cue: audio tracks left out of the plain image: 1 (a .cue or .chd keeps them)\n");
  run = RunZanthrel("convert plain.iso out.img");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "out.img: plain image written, 589824 bytes\n");

  run = RunZanthrel("convert Game.cue set.cue");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const size_t bytes = (288 + 300) * 2352 + testkit::ReadText(temp / "set.cue").size();
  EXPECT_EQ(run.out.rfind("set.cue: cue sheet and 2 track files written, " + std::to_string(bytes) + " bytes", 0), 0u)
      << run.out;
  run = RunZanthrel("convert --format cue plain.iso sheet.img");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testkit::ReadText(temp / "sheet.img").rfind("FILE \"sheet.img (Track 1).bin\" BINARY\r\n", 0), 0u);
  EXPECT_EQ(RunZanthrel("convert --format zip plain.iso x.zip").status, 2);

  fs::create_directory(temp.Path() / "source");
  testkit::WriteText(temp / "source/file", "content");
  testkit::WriteText(temp / "new (Track 1).bin", "mine");
  run = RunZanthrel("compile source new.cue");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zanthrel: new (Track 1).bin: exists already; use -f or --force to replace it\n");
  EXPECT_FALSE(fs::exists(temp.Path() / "new.cue"));
  run = RunZanthrel("compile -f source new.cue");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "new.cue: image written, 305 blocks\n");
  EXPECT_EQ(fs::file_size(temp.Path() / "new (Track 1).bin"), 305u * 2352);
}

TEST(CommandLineTest, ConvertKeepsTheOldImageWhenTheTrackCannotBeRead) {
  testkit::TempFolder temp;
  testkit::ChdOptions options;
  options.wrongCrcHunks = {20};
  const Bytes image = testkit::MakeContainerDisc().image;
  testkit::WriteBytes(temp / "bad.chd", testkit::BuildChd({{"MODE1", 2048, image}}, options));
  testkit::WriteText(temp / "out.iso", "old");
  testkit::ProcessOutcome run = RunZanthrel("convert -f bad.chd out.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zanthrel: bad.chd: read error in the data track at byte 327680; nothing written\n");
  EXPECT_EQ(testkit::ReadText(temp / "out.iso"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 2);

  testkit::WriteText(temp / "game.cue", "FILE \"Game (Track 1).bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 0\n");
  run = RunZanthrel("convert --force game.cue out.iso");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "zanthrel: game.cue: track file Game (Track 1).bin: cannot be opened (No such file or directory)\n");
  EXPECT_EQ(RunZanthrel("convert -f missing.chd out.iso").status, 2);
  EXPECT_EQ(RunZanthrel("convert bad.chd").status, 2);
  EXPECT_EQ(testkit::ReadText(temp / "out.iso"), "old");
}

TEST(CommandLineTest, InfoInEnglishNamesTheContainerAndCountsTheTree) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteBytes(temp / "game.iso", image);
  testkit::WriteGzip(temp / "game.iso.gz", image);
  testkit::WriteBytes(temp / "game.bin", testkit::RawFraming(image));
  testkit::ProcessOutcome info = RunZanthrel("info game.iso");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "Volume id:    0x11111111\n"
            "Label text:   CD-ROM\n"
            "Comment:      \n"
            "Container:    plain\n"
            "Image size:   16384 bytes\n"
            "Volume size:  16384 bytes, 8 blocks of 2048\n"
            "Root copies:  1 at block 1\n"
            "Folders:      1\n"
            "Files:        3, 5142 bytes\n");
  EXPECT_NE(RunZanthrel("info game.iso.gz").out.find("Container:    gzip\n"), std::string::npos);
  EXPECT_NE(RunZanthrel("info game.bin").out.find("Container:    raw 2352\n"), std::string::npos);

  info = RunZanthrel("info --json game.bin");
  EXPECT_EQ(info.status, 0);
  const nlohmann::json described = nlohmann::json::parse(info.out);
  EXPECT_EQ(described["container"]["description"], "raw 2352");
  EXPECT_EQ(described["container"]["format"], "raw");
  EXPECT_EQ(described["container"]["mode"], "MODE1/2352");
  EXPECT_EQ(described["volume"]["id"], 0x11111111);
  EXPECT_EQ(described["volume"]["rootCopies"], nlohmann::json::array({1}));
  EXPECT_EQ(described["tree"]["fileBytes"], 5142);

  testkit::ProcessOutcome list = RunZanthrel("list --json game.iso");
  EXPECT_EQ(list.status, 0);
  const nlohmann::json tree = nlohmann::json::parse(list.out)["entries"];
  ASSERT_EQ(tree.size(), 4u);
  EXPECT_EQ(tree[1]["path"], "Игры");
  EXPECT_EQ(tree[1]["kind"], "dir");
  EXPECT_EQ(tree[2]["path"], "Игры/a:b");
  EXPECT_EQ(tree[2]["bytes"], 10);
  EXPECT_EQ(tree[2]["copies"], nlohmann::json::array({6}));
}

// A disc of several tracks: info lists them after the summary, and says
// which one holds the volume; an image of one track lists none.
TEST(CommandLineTest, InfoListsTheTracksOfADiscAndTheOneItReads) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  testkit::WriteBytes(temp / "game.chd", testkit::BuildChd({{"AUDIO", 2352, testkit::AudioFrames(14, 8)},
                                                            {"MODE1", 2048, image}},
                                                           {}));
  testkit::ProcessOutcome info = RunZanthrel("info Game.cue");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_TRUE(info.out.ends_with("Files:        3, 5142 bytes\n"
                                 "Tracks:       2\n"
                                 "Track 1:      MODE1/2352, 8 frames (00:00:08), pregap 0 frames (00:00:00), "
                                 "holds the volume\n"
                                 "Track 2:      AUDIO, 150 frames (00:02:00), pregap 150 frames (00:02:00)\n"))
      << info.out;
  info = RunZanthrel("info game.chd");
  EXPECT_TRUE(info.out.ends_with("Tracks:       2\n"
                                 "Track 1:      AUDIO, 14 frames (00:00:14), pregap 0 frames (00:00:00)\n"
                                 "Track 2:      MODE1/2352, 8 frames (00:00:08), pregap 0 frames (00:00:00), "
                                 "holds the volume\n"))
      << info.out;

  info = RunZanthrel("info --json game.chd");
  EXPECT_EQ(info.status, 0);
  const nlohmann::json tracks = nlohmann::json::parse(info.out)["tracks"];
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[0]["mode"], "AUDIO");
  EXPECT_EQ(tracks[0]["holdsVolume"], false);
  EXPECT_EQ(tracks[1]["number"], 2);
  EXPECT_EQ(tracks[1]["mode"], "MODE1/2352");
  EXPECT_EQ(tracks[1]["frames"], 8);
  EXPECT_EQ(tracks[1]["pregap"], 0);
  EXPECT_EQ(tracks[1]["holdsVolume"], true);

  testkit::WriteBytes(temp / "game.iso", image);
  EXPECT_EQ(nlohmann::json::parse(RunZanthrel("info --json game.iso").out)["tracks"], nlohmann::json::array());
  EXPECT_EQ(RunZanthrel("info game.iso").out.find("Tracks:"), std::string::npos);
}

// One folder that cannot be read ("Игры", its block zeroed) leaves the rest of
// the tree: list names it on stderr and exits 1, info counts it.
TEST(CommandLineTest, UnreadableFolderIsNamedAndTheRestListedAndCounted) {
  testkit::TempFolder temp;
  Bytes image = testkit::MakeSampleDisc().image;
  std::fill(image.begin() + 2 * 2048, image.begin() + 3 * 2048, 0);
  testkit::WriteBytes(temp / "game.iso", image);
  testkit::ProcessOutcome list = RunZanthrel("list game.iso");
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.out,
            "LaunchMe\tfile\t5000\t3\t1\t0x00000003\n"
            "Игры\tdir\t2048\t1\t1\t0x00000002\n"
            "Disc label\tfile\t132\t1\t1\t0x00000000\n");
  EXPECT_EQ(list.err, "zanthrel: game.iso: Игры: folder cannot be read, no copy of it reads; its "
                      "entries are not listed\n");
  list = RunZanthrel("list --json game.iso");
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(nlohmann::json::parse(list.out)["entries"].size(), 3u);
  EXPECT_NE(list.err.find("Игры: folder cannot be read"), std::string::npos);

  testkit::ProcessOutcome info = RunZanthrel("info game.iso");
  EXPECT_EQ(info.status, 1);
  EXPECT_TRUE(info.out.ends_with("Folders:      1\n"
                                 "Files:        2, 5132 bytes\n"
                                 "Unreadable:   1 folder (its contents are not counted)\n"))
      << info.out;
  info = RunZanthrel("info --json game.iso");
  EXPECT_EQ(info.status, 1);
  const nlohmann::json described = nlohmann::json::parse(info.out);
  EXPECT_EQ(described["tree"]["read"], true);
  EXPECT_EQ(described["tree"]["directories"], 2);
  EXPECT_EQ(described["tree"]["unreadableDirectories"], 1);
  // A whole tree has none.
  testkit::WriteBytes(temp / "whole.iso", testkit::MakeSampleDisc().image);
  EXPECT_EQ(nlohmann::json::parse(RunZanthrel("info --json whole.iso").out)["tree"]["unreadableDirectories"], 0);
}

// The check of the image file's own records: one line of what was checked,
// a line for each damage found, and the exit status by both.
TEST(CommandLineTest, VerifyTellsTheContainerCheck) {
  testkit::TempFolder temp;
  Bytes image = testkit::MakeSampleDisc().image;
  image.resize(100 * 2048);
  testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  testkit::ProcessOutcome run = RunZanthrel("verify Game.cue");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.out.ends_with("raw sectors: 100 checked by EDC/ECC, in 1 data track\nclean\n")) << run.out;

  Bytes bin = testkit::ReadBytes(temp / "Game (Track 1).bin");
  for (size_t k = 0; k < 600; ++k) bin[80 * 2352 + 16 + k] ^= 0x40;
  testkit::WriteBytes(temp / "Game (Track 1).bin", bin);
  run = RunZanthrel("verify Game.cue");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.ends_with("uncorrectable sectors: track 1, sector 80\n"
                                "raw sectors: 100 checked by EDC/ECC, in 1 data track\n"
                                "damage found\n"))
      << run.out;
  run = RunZanthrel("verify --json Game.cue");
  EXPECT_EQ(run.status, 1);
  const nlohmann::json report = nlohmann::json::parse(run.out);
  EXPECT_EQ(report["damaged"], true);
  ASSERT_EQ(report["containerCheck"]["uncorrectableSectors"].size(), 1u);
  EXPECT_EQ(report["containerCheck"]["uncorrectableSectors"][0]["firstSector"], 80);

  testkit::ChdOptions options;
  options.wrongCrcHunks = {3};
  testkit::WriteBytes(temp / "game.chd",
                      testkit::BuildChd({{"MODE1", 2048, testkit::MakeContainerDisc().image}}, options));
  run = RunZanthrel("verify game.chd");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("CHD fails its CRC: hunk 3\n"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("CHD: 36 hunks, CRCs checked\ndamage found\n")) << run.out;

  if (!testkit::ProgramAvailable("chdman")) {
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed";
  }
  testkit::WriteCueSet(temp.Path().string(), "Clean", image, true);
  testkit::RunProgram("chdman", "createcd -i Clean.cue -o chdman.chd");
  run = RunZanthrel("verify chdman.chd");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.out.ends_with(" hunks, CRCs and SHA-1 checked\nclean\n")) << run.out;
  Bytes chd = testkit::ReadBytes(temp / "chdman.chd");
  chd[64] ^= 1;  // the data SHA-1 of the header
  testkit::WriteBytes(temp / "chdman.chd", chd);
  run = RunZanthrel("verify chdman.chd");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("CHD data SHA-1 differs from the header's\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("CHD overall SHA-1"), std::string::npos) << run.out;
}

TEST(CommandLineTest, VerifyExitsByWhatItFindsAndSpeaksJson) {
  testkit::TempFolder temp;
  Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteBytes(temp / "game.iso", image);
  testkit::ProcessOutcome run = RunZanthrel("verify game.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "game.iso: 8 blocks; 2 folders and 3 files, 5 copies read\n"
            "unclaimed: block 7\n"
            "no check: the image's sectors carry none, so damage cannot show in its 3 files with one copy\n"
            "clean\n");

  image.resize(4 * 2048);
  testkit::WriteBytes(temp / "cut.iso", image);
  run = RunZanthrel("verify cut.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("unreadable: /LaunchMe, copy 0: blocks 4-5\n"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("damage found\n"));

  run = RunZanthrel("verify --json cut.iso");
  EXPECT_EQ(run.status, 1);
  const nlohmann::json report = nlohmann::json::parse(run.out);
  EXPECT_EQ(report["damaged"], true);
  EXPECT_EQ(report["volume"]["blocks"], 8);
  ASSERT_EQ(report["unreadable"].size(), 2u);
  EXPECT_EQ(report["unreadable"][1]["path"], "/Игры/a:b");
  EXPECT_EQ(report["unreadable"][1]["firstBlock"], 6);

  EXPECT_EQ(RunZanthrel("verify missing.iso").status, 2);
}

// A decompile that fails before the image opens leaves no trace: the -o
// folder, and any folder above it, is made only once the image has opened.
TEST(CommandLineTest, RefusedImagesLeaveNoOutputFolderBehind) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "junk.iso", Bytes(10000, 7));
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  struct Case {
    std::string arguments;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"decompile -o out missing.iso", 2, "zanthrel: missing.iso: cannot be opened (No such file or directory)\n"},
      {"decompile -o out/deeper/still junk.iso", 2, "zanthrel: junk.iso: no Opera volume label found\n"},
      {"decompile --info -q -o out --drive " + (temp / "no-such-drive"), 2,
       "zanthrel: " + (temp / "no-such-drive") + ": cannot be opened (No such file or directory)\n"},
  };
  for (const Case& c : cases) {
    const testkit::ProcessOutcome run = RunZanthrel(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.err, c.err) << c.arguments;
    EXPECT_FALSE(fs::exists(temp / "out")) << c.arguments;
  }
  // A folder that cannot be made is still told, once the image has opened.
  testkit::WriteText(temp / "blocker", "x");
  const testkit::ProcessOutcome blocked = RunZanthrel("decompile -o blocker/out game.iso");
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err, "zanthrel: blocker/out: output folder cannot be made (Not a directory)\n");
  // An image that opens gets its folders, however deep.
  const testkit::ProcessOutcome made = RunZanthrel("decompile -q -o out/deeper/still game.iso");
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(fs::is_regular_file(temp / "out/deeper/still/PARCE_game/LaunchMe"));
}

// The sizes info gives: the file's own (packed, framed or the whole
// container) and the volume's from its label, each on its line; a count of
// one takes its noun in the singular, in info and verify alike.
TEST(CommandLineTest, InfoTellsTheFileApartFromTheVolumeAndCountsInTheSingular) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeSampleDisc().image;
  testkit::WriteBytes(temp / "game.bin", testkit::RawFraming(image));
  testkit::WriteGzip(temp / "game.iso.gz", image);
  for (const char* name : {"game.bin", "game.iso.gz"}) {
    const testkit::ProcessOutcome info = RunZanthrel(std::string("info ") + name);
    EXPECT_EQ(info.status, 0) << name << info.err;
    EXPECT_NE(info.out.find("Image size:   " + std::to_string(fs::file_size(temp / name)) + " bytes\n" +
                            "Volume size:  16384 bytes, 8 blocks of 2048\n"),
              std::string::npos)
        << name << "\n" << info.out;
  }
  EXPECT_NE(fs::file_size(temp / "game.bin"), 16384u);

  // The label claims one block; one folder, one file of one byte.
  testkit::ImageBuilder builder(2);
  testkit::LabelFields label;
  label.blockCount = 1;
  builder.Label(label);
  builder.Directory(1, {testkit::FileEntry("one", 1, 1)});
  testkit::WriteBytes(temp / "one.iso", builder.Image());
  testkit::ProcessOutcome run = RunZanthrel("info one.iso");
  EXPECT_NE(run.out.find("Image size:   4096 bytes\n"
                         "Volume size:  2048 bytes, 1 block of 2048\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("Folders:      0\n"
                                "Files:        1, 1 byte\n"))
      << run.out;
  run = RunZanthrel("verify one.iso");
  EXPECT_TRUE(run.out.starts_with("one.iso: 1 block; 1 folder and 1 file, ")) << run.out;
}

TEST(CommandLineTest, DrivesSaysSoWhenThereIsNone) {
  testkit::TempFolder temp;
  const testkit::ProcessOutcome run = RunZanthrel("drives");
  EXPECT_EQ(run.status, 0);
  // Whether this host has a drive is not the test's to choose: either it is
  // listed, or its absence is said on stderr, never neither.
  if (run.out.empty()) {
    EXPECT_EQ(run.err, "zanthrel: no CD-ROM or removable drive found\n");
  } else {
    EXPECT_EQ(run.err, "");
  }
}

// A disc whose names are UTF-8: compiled so, listed and decompiled so, the
// tree comes back whole; read as Windows-1251 (the default) it does not.
TEST(CommandLineTest, NamesReadAndWrittenAsUtf8ComeBackWhole) {
  testkit::TempFolder temp;
  fs::create_directories(testkit::PathOf(temp / "tree/Музыка/日本"));
  testkit::WriteText(temp / "tree/Музыка/日本/ファイル.txt", "hi");
  testkit::WriteText(temp / "tree/плохо.txt", "x");
  testkit::ProcessOutcome run = RunZanthrel("compile -q --no-boot-area --names utf-8 tree u8.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  run = RunZanthrel("list --names utf-8 u8.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* line : {"Музыка\tdir\t", "Музыка/日本/ファイル.txt\tfile\t2\t", "плохо.txt\tfile\t1\t"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  }
  run = RunZanthrel("list --json --names utf-8 u8.iso");
  EXPECT_EQ(nlohmann::json::parse(run.out)["entries"][1]["path"], "Музыка/日本");
  EXPECT_EQ(RunZanthrel("list u8.iso").out.find("Музыка"), std::string::npos);

  run = RunZanthrel("decompile -q --names utf-8 -o out u8.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testkit::TreeOf(temp / "out/PARCE_u8"), testkit::TreeOf(temp / "tree"));
  // Read as Windows-1251, the same disc gives other names, none lost.
  run = RunZanthrel("decompile -q -o cp u8.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(testkit::TreeOf(temp / "cp/PARCE_u8"), testkit::TreeOf(temp / "tree"));
  EXPECT_EQ(testkit::TreeOf(temp / "cp/PARCE_u8").size(), 4u);

  // Stored as Windows-1251 (the default), the Japanese name has no form there.
  run = RunZanthrel("compile tree cp.iso");
  EXPECT_NE(run.err.find("characters without a Windows-1251 form"), std::string::npos) << run.err;
  EXPECT_EQ(RunZanthrel("list --names koi8-r u8.iso").status, 2);
}

TEST(CommandLineTest, TextOutputEscapesControlCharactersOfDiscNames) {
  testkit::TempFolder temp;
  testkit::ImageBuilder builder(2);
  testkit::LabelFields label;
  label.labelText = "CD\x1B]0;owned\x07";
  builder.Label(label);
  // Every file lies past the image's end, so that verify names each one.
  builder.Directory(1, {testkit::FileEntry("fake\nline", 40, 10), testkit::FileEntry("a\tb", 41, 10),
                        testkit::FileEntry("\x1B[2J", 42, 10), testkit::FileEntry("back\\slash", 43, 10)});
  testkit::WriteBytes(temp / "names.iso", builder.Image());

  testkit::ProcessOutcome run = RunZanthrel("list names.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "fake\\nline\tfile\t10\t1\t1\t0x00000028\n"
            "a\\tb\tfile\t10\t1\t1\t0x00000029\n"
            "\\x1B[2J\tfile\t10\t1\t1\t0x0000002A\n"
            "back\\\\slash\tfile\t10\t1\t1\t0x0000002B\n");

  run = RunZanthrel("list --json names.iso");
  EXPECT_EQ(run.status, 0) << run.err;
  const nlohmann::json list = nlohmann::json::parse(run.out)["entries"];
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0]["path"], "fake\nline");
  EXPECT_EQ(list[1]["path"], "a\tb");
  EXPECT_EQ(list[2]["path"], "\x1B[2J");
  EXPECT_EQ(list[3]["path"], "back\\slash");

  run = RunZanthrel("verify names.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "names.iso: 2 blocks; 1 folder and 4 files, 5 copies read\n"
            "unreadable: /fake\\nline, copy 0: block 40\n"
            "unreadable: /a\\tb, copy 0: block 41\n"
            "unreadable: /\\x1B[2J, copy 0: block 42\n"
            "unreadable: /back\\\\slash, copy 0: block 43\n"
            "no check: the image's sectors carry none, so damage cannot show in its 4 files with one copy\n"
            "damage found\n");

  run = RunZanthrel("info names.iso");
  EXPECT_NE(run.out.find("Label text:   CD\\x1B]0;owned\\x07\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
}

}  // namespace
}  // namespace zanthrel
