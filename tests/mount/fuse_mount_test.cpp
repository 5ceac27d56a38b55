// The mount through the kernel: the program mounts an image, and a plain copy
// out of the mount point gives what decompile writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "testkit/cd_sectors.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::RunZanthrel;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool IsMounted(const std::string& path) { return Shell("mountpoint -q '" + path + "'"); }

// Leaves the mount at every exit of a test, a failed one included.
class Unmount {
 public:
  explicit Unmount(std::string path) : path_(std::move(path)) {}
  ~Unmount() {
    if (IsMounted(path_)) Shell("fusermount3 -u -z '" + path_ + "'");
  }
  Unmount(const Unmount&) = delete;
  Unmount& operator=(const Unmount&) = delete;

 private:
  std::string path_;
};

class FuseMountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/dev/fuse")) GTEST_SKIP() << "no /dev/fuse: FUSE mounts cannot be made here";
    if (!Shell("command -v fusermount3 >/dev/null")) GTEST_SKIP() << "fusermount3 is not installed";
    fs::create_directory(mountPoint_);
  }

  // Mounts, copies the tree out with cp, and compares it with a decompile.
  void ExpectCopyMatchesDecompile(const std::string& image) {
    ASSERT_EQ(RunZanthrel("decompile -q -o out " + image).status, 0);
    const testkit::ProcessOutcome mounted = RunZanthrel("mount " + image + " " + mountPoint_);
    ASSERT_EQ(mounted.status, 0) << mounted.err;
    Unmount unmount(mountPoint_);
    ASSERT_TRUE(Shell("cp -r '" + mountPoint_ + "/.' copy"));
    const std::string base = fs::path(image).stem().string();
    EXPECT_EQ(testkit::TreeOf(folder_ / "copy"), testkit::TreeOf(folder_ / ("out/PARCE_" + base)));
    EXPECT_FALSE(testkit::TreeOf(folder_ / "copy").empty());
    EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
    EXPECT_FALSE(IsMounted(mountPoint_));
  }

  // The mount point's line of /proc/self/mountinfo, its fields split on spaces.
  std::vector<std::string> MountInfoFields() const {
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
      std::istringstream words(line);
      std::vector<std::string> fields;
      for (std::string field; words >> field;) fields.push_back(field);
      if (fields.size() > 4 && Unescaped(fields[4]) == mountPoint_) return fields;
    }
    return {};
  }

  // mountinfo writes space, tab, newline and backslash as \040 \011 \012 \134.
  static std::string Unescaped(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
      if (field[i] == '\\' && i + 3 < field.size()) {
        text += char(std::stoi(field.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        text += field[i];
      }
    }
    return text;
  }

  testkit::TempFolder folder_;
  const std::string mountPoint_ = folder_ / "mnt";
};

TEST_F(FuseMountTest, CopyingTheMountGivesTheDecompiledTree) {
  testkit::WriteBytes("sample.iso", testkit::MakeSampleDisc().image);
  ExpectCopyMatchesDecompile("sample.iso");
}

TEST_F(FuseMountTest, ACompiledTreeComesBackWhole) {
  fs::create_directories("tree/Игры/deep/er");
  testkit::WriteBytes("tree/big.bin", testkit::Pattern(300000, 7));
  testkit::WriteText("tree/Игры/a!3Ab", "escaped");
  testkit::WriteText("tree/Игры/deep/er/note.txt", "deep");
  testkit::WriteBytes("tree/empty", {});
  ASSERT_EQ(RunZanthrel("compile -q tree built.iso").status, 0);
  ExpectCopyMatchesDecompile("built.iso");
}

// Many readers at once, each through its own opens and in its own order,
// with reads that start inside blocks and cross them: every byte is what
// decompile writes, a second time from the kernel's cache too.
TEST_F(FuseMountTest, ManyThreadsReadingAtOnceGetWhatDecompileWrites) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "d" + std::to_string(i % 4) + "/f" + std::to_string(i);
    fs::create_directories("tree/d" + std::to_string(i % 4));
    // Sizes up to past 1 MiB, the largest read.
    testkit::WriteBytes("tree/" + name, testkit::Pattern(size_t(i) * 37001 % 1200000, uint32_t(i)));
    names.push_back(name);
  }
  ASSERT_EQ(RunZanthrel("compile -q tree many.iso").status, 0);
  ASSERT_EQ(RunZanthrel("decompile -q -o out many.iso").status, 0);
  // Raw sectors, whose source keeps the sector it has read: the readers
  // must not share it unguarded.
  testkit::WriteBytes("many.bin", testkit::RawFraming(testkit::ReadBytes("many.iso")));
  const testkit::ProcessOutcome mounted = RunZanthrel("mount many.bin " + mountPoint_);
  ASSERT_EQ(mounted.status, 0) << mounted.err;
  Unmount unmount(mountPoint_);
  std::map<std::string, std::string> decompiled;
  for (const std::string& name : names) decompiled[name] = testkit::ReadText("out/PARCE_many/" + name);
  const auto readAll = [&](size_t first, size_t piece) {
    std::vector<std::string> wrong;
    for (size_t k = 0; k < names.size(); ++k) {
      const std::string& name = names[(first + k * 7) % names.size()];
      std::ifstream file(mountPoint_ + "/" + name, std::ios::binary);
      std::string bytes;
      std::vector<char> buffer(piece);
      while (file.read(buffer.data(), std::streamsize(piece)) || file.gcount() > 0) {
        bytes.append(buffer.data(), size_t(file.gcount()));
      }
      if (bytes != decompiled.at(name)) wrong.push_back(name);
    }
    return wrong;
  };
  for (int round = 0; round < 2; ++round) {
    std::vector<std::future<std::vector<std::string>>> readers;
    for (size_t t = 0; t < 8; ++t) {
      readers.push_back(std::async(std::launch::async, readAll, t * 11, size_t(4096) + t * 12345));
    }
    for (auto& reader : readers) EXPECT_EQ(reader.get(), std::vector<std::string>{}) << "round " << round;
  }
  EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
}

// Listing a folder puts its small files into the kernel's cache ahead of
// their reads; a file whose block cannot be read is not put there as
// anything, and its read fails while its neighbours read whole.
TEST_F(FuseMountTest, AFileThatCannotBeReadFailsAfterItsFolderIsListed) {
  fs::create_directories("tree/small");
  for (int i = 0; i < 20; ++i) {
    testkit::WriteBytes("tree/small/f" + std::to_string(i), testkit::Pattern(3000 + size_t(i) * 100, uint32_t(i)));
  }
  ASSERT_EQ(RunZanthrel("compile -q tree small.iso").status, 0);
  ASSERT_EQ(RunZanthrel("decompile -q -o out small.iso").status, 0);
  // The block of f7: a sector that neither its EDC nor its ECC can mend.
  const testkit::Bytes image = testkit::ReadBytes("small.iso");
  const testkit::Bytes f7 = testkit::ReadBytes("tree/small/f7");
  const auto found = std::search(image.begin(), image.end(), f7.begin(), f7.begin() + 64);
  ASSERT_NE(found, image.end());
  const size_t block = size_t(found - image.begin()) / 2048;
  testkit::Bytes raw = testkit::Mode1Sectors(image);
  for (size_t i = 0; i < 1500; ++i) raw[block * 2352 + 16 + i] ^= uint8_t(0x5A + i);
  testkit::WriteBytes("small.bin", raw);
  const testkit::ProcessOutcome mounted = RunZanthrel("mount small.bin " + mountPoint_);
  ASSERT_EQ(mounted.status, 0) << mounted.err;
  Unmount unmount(mountPoint_);
  ASSERT_TRUE(Shell("ls -l '" + mountPoint_ + "/small' >/dev/null"));
  // Time for the listing's files to be put into the cache.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < 20; ++i) {
    const std::string name = "small/f" + std::to_string(i);
    if (i != 7) {
      EXPECT_EQ(testkit::ReadText(mountPoint_ + "/" + name), testkit::ReadText("out/PARCE_small/" + name));
    }
  }
  EXPECT_FALSE(Shell("cat '" + mountPoint_ + "/small/f7' >/dev/null 2>&1"));
  EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
}

// A folder whose listing costs more than the mount's whole cache lists
// through the kernel, in several answers, and its files read.
TEST_F(FuseMountTest, AFolderOfSeventyThousandEntriesListsThroughTheMount) {
  const size_t count = 70000;
  testkit::WriteNumberedFiles("tree/big", count, 9999);
  ASSERT_EQ(RunZanthrel("compile -q tree big.iso").status, 0);
  const testkit::ProcessOutcome mounted = RunZanthrel("mount big.iso " + mountPoint_);
  ASSERT_EQ(mounted.status, 0) << mounted.err;
  Unmount unmount(mountPoint_);
  std::vector<std::string> listed;
  for (const auto& entry : fs::directory_iterator(mountPoint_ + "/big")) {
    listed.push_back(entry.path().filename().string());
  }
  std::sort(listed.begin(), listed.end());
  ASSERT_EQ(listed.size(), count);
  for (size_t i = 0; i < count; ++i) {
    if (listed[i] != testkit::NumberedFileName(i)) {
      ADD_FAILURE() << "place " << i << ": " << listed[i];
      break;
    }
  }
  for (size_t i = 0; i < count; i += 9999) {
    const std::string name = testkit::NumberedFileName(i);
    EXPECT_EQ(testkit::ReadText(mountPoint_ + "/big/" + name), name);
  }
  EXPECT_EQ(fs::file_size(mountPoint_ + "/big/" + testkit::NumberedFileName(count - 1)), 0u);
  EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
}

TEST_F(FuseMountTest, InTheForegroundTheCommandEndsWhenTheMountIsLeft) {
  testkit::WriteBytes("sample.iso", testkit::MakeSampleDisc().image);
  Unmount unmount(mountPoint_);
  auto run = std::async(std::launch::async,
                        [&] { return RunZanthrel("mount -f sample.iso " + mountPoint_); });
  for (int i = 0; i < 100 && !IsMounted(mountPoint_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(IsMounted(mountPoint_));
  EXPECT_EQ(testkit::ReadBytes(mountPoint_ + "/LaunchMe"), testkit::MakeSampleDisc().launchMe);
  EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
  ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(run.get().status, 0);
}

// Ctrl-C in the foreground leaves the mount, as fusermount3 -u would, and
// ends well; a relative mount point still names the mount after the
// daemon has left for "/", so nothing is left behind disconnected.
TEST_F(FuseMountTest, CtrlCLeavesAMountOnARelativeMountPointAndEndsWell) {
  testkit::WriteBytes("sample.iso", testkit::MakeSampleDisc().image);
  Unmount unmount(mountPoint_);
  for (const int signal : {SIGINT, SIGTERM}) {
    // The signal goes once the mount stands, however slow a loaded machine
    // is to make it; sooner, it would end a program not yet listening.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = testkit::ZanthrelProgram();
    const char* arguments[] = {program.c_str(), "mount", "-f", "sample.iso", "mnt", nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, const_cast<char**>(arguments), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 400 && !IsMounted(mountPoint_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(IsMounted(mountPoint_)) << signal << ": not mounted before the signal";
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << signal << ": ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << signal << ": " << testkit::ReadText(folder_ / "stderr.txt");
    EXPECT_EQ(testkit::ReadText(folder_ / "stderr.txt"), "") << signal;
    EXPECT_FALSE(IsMounted(mountPoint_)) << signal;
    std::error_code error;
    EXPECT_TRUE(fs::is_directory(mountPoint_, error)) << signal << ": " << error.message();
  }
}

// A mount point that is not an empty folder is refused before the image is
// read: the mount would hide what the folder holds. --nonempty mounts all
// the same, and the folder's own files come back when it is left.
TEST_F(FuseMountTest, AMountPointThatIsNotAnEmptyFolderIsRefusedUnlessAsked) {
  testkit::WriteBytes("sample.iso", testkit::MakeSampleDisc().image);
  fs::create_directory("full");
  testkit::WriteText("full/mine.txt", "mine");
  const std::pair<std::string, std::string> refusals[] = {
      {"full", "zanthrel: full: the folder is not empty; the mount would hide its files until it is left "
               "(--nonempty mounts over them)\n"},
      {"absent", "zanthrel: absent: no such folder (No such file or directory)\n"},
      {"sample.iso", "zanthrel: sample.iso: not a folder\n"},
  };
  for (const auto& [point, err] : refusals) {
    const testkit::ProcessOutcome run = RunZanthrel("mount sample.iso " + point);
    EXPECT_EQ(run.status, 2) << point;
    EXPECT_EQ(run.err, err) << point;
    EXPECT_FALSE(IsMounted(folder_ / point)) << point;
  }
  const std::string full = folder_ / "full";
  const testkit::ProcessOutcome run = RunZanthrel("mount --nonempty sample.iso full");
  ASSERT_EQ(run.status, 0) << run.err;
  Unmount unmount(full);
  EXPECT_EQ(testkit::ReadBytes(full + "/LaunchMe"), testkit::MakeSampleDisc().launchMe);
  EXPECT_TRUE(Shell("fusermount3 -u '" + full + "'"));
  EXPECT_EQ(testkit::ReadText(full + "/mine.txt"), "mine");
}

// Names read as UTF-8 show in the mount as decompile writes them.
TEST_F(FuseMountTest, NamesReadAsUtf8ShowAsTheyWereWritten) {
  fs::create_directories("tree/Музыка/日本");
  testkit::WriteText("tree/Музыка/日本/ファイル.txt", "hi");
  ASSERT_EQ(RunZanthrel("compile -q --names utf-8 tree u8.iso").status, 0);
  const testkit::ProcessOutcome mounted = RunZanthrel("mount --names utf-8 u8.iso " + mountPoint_);
  ASSERT_EQ(mounted.status, 0) << mounted.err;
  Unmount unmount(mountPoint_);
  EXPECT_EQ(testkit::TreeOf(mountPoint_), testkit::TreeOf(folder_ / "tree"));
  EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
}

// The image path becomes the mount's source name through a comma-separated
// option list; commas and backslashes in it must stay text of that name.
TEST_F(FuseMountTest, NoTextOfTheImagePathBecomesAMountOption) {
  for (const std::string image : {"s,allow_other", "b\\q,allow_other", "c d\\,allow_other.iso"}) {
    SCOPED_TRACE(image);
    testkit::WriteBytes(image, testkit::MakeSampleDisc().image);
    const testkit::ProcessOutcome mounted = RunZanthrel("mount '" + image + "' " + mountPoint_);
    ASSERT_EQ(mounted.status, 0) << mounted.err;
    Unmount unmount(mountPoint_);
    EXPECT_FALSE(testkit::TreeOf(mountPoint_).empty());
    EXPECT_EQ(testkit::ReadBytes(mountPoint_ + "/LaunchMe"), testkit::MakeSampleDisc().launchMe);
    const std::vector<std::string> fields = MountInfoFields();
    const auto separator = std::find(fields.begin(), fields.end(), "-");
    ASSERT_GE(fields.end() - separator, 4) << "no mountinfo line for the mount";
    EXPECT_EQ(Unescaped(separator[2]), image);
    EXPECT_EQ(fields[5].find("allow_other"), std::string::npos) << fields[5];
    EXPECT_EQ(separator[3].find("allow_other"), std::string::npos) << separator[3];
    EXPECT_TRUE(Shell("fusermount3 -u '" + mountPoint_ + "'"));
  }
}

TEST_F(FuseMountTest, AnImageThatCannotBeReadIsNotMounted) {
  testkit::WriteText("junk.iso", std::string(4096, 'x'));
  const testkit::ProcessOutcome run = RunZanthrel("mount junk.iso " + mountPoint_);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("junk.iso"), std::string::npos) << run.err;
  EXPECT_FALSE(IsMounted(mountPoint_));
}

TEST_F(FuseMountTest, AnInputThatNeverEndsIsNotMounted) {
  // No writer ever comes: a mount that waited on the FIFO would be ended
  // after 20 seconds, and fail instead of hanging the suite.
  ASSERT_EQ(::mkfifo("pipe.bin", 0666), 0);
  ASSERT_EQ(::mkfifo("pipe.iso", 0666), 0);
  testkit::WriteText("game.cue", "FILE \"pipe.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
  const std::pair<std::string, std::string> refusals[] = {
      {"game.cue", "track file pipe.bin: cannot be opened (is a FIFO, not a regular file or a drive; reading it "
                   "may never end)"},
      {"pipe.iso", "neither a file nor a block device (a pipe or a character device may never end)"}};
  for (const auto& [image, reason] : refusals) {
    const testkit::ProcessOutcome run =
        testkit::RunZanthrelInterrupted("mount " + image + " " + mountPoint_, "KILL", 20);
    EXPECT_EQ(run.status, 1) << image;
    EXPECT_EQ(run.err, "zanthrel: " + image + ": " + reason + "\n");
    EXPECT_FALSE(IsMounted(mountPoint_));
  }
}

}  // namespace
}  // namespace zanthrel
