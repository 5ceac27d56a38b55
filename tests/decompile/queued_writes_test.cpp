// Host files are written on a thread of their own while the walk goes on:
// with write failures and copy fallbacks on the way, the log, the tree and
// the block map must come out exactly as a walk that writes each file in
// turn leaves them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decompile/decompile_run.h"
#include "decompile/write_queue.h"
#include "source/image_source.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::FaultyHost;
using testkit::HostCall;
using testkit::Win;

constexpr uint32_t kFolders = 10;
constexpr uint32_t kFilesPerFolder = 25;
constexpr uint32_t kFileBytes = 5000;  // three blocks
constexpr uint32_t kFirstData = 20;
constexpr uint32_t kPastTheEnd = 60000;
// A file large enough to be copied straight from the image, between the
// small ones of its folder, after the queue has written them.
constexpr uint32_t kBigFolder = 4;
constexpr uint32_t kBigBytes = 200000;

// Names built by appending: a "d" + string draws the compiler's false overlap warning.
std::string FolderName(uint32_t folder) {
  std::string name = "d";
  name += std::to_string(folder);
  return name;
}
// Names unique on the disc, so that each names one entry of the log.
std::string FileName(uint32_t folder, uint32_t file) {
  std::string name = FolderName(folder);
  name += file < 10 ? "f0" : "f";
  name += std::to_string(file);
  return name;
}
uint32_t DataBlock(uint32_t folder, uint32_t file) { return kFirstData + 3 * (folder * kFilesPerFolder + file); }

uint32_t BigBlock() { return DataBlock(kFolders, 0); }
Bytes BigData() { return testkit::Pattern(kBigBytes, 7777); }

// 250 small files in ten folders, and a large one, under a root of two
// copies. Copy 0 fails only after every file is out (its last folder holds a
// file past the end of the image), so copy 1 writes every file again under
// the same paths. One file's first copy lies past the end, so its second
// copy is read.
Bytes Disc() {
  const uint32_t blocks = BigBlock() + kBigBytes / 2048 + 1;
  testkit::ImageBuilder builder(blocks);
  testkit::LabelFields label;
  label.rootCopies = {1, 2};
  builder.Label(label);
  std::vector<testkit::EntryFields> folders;
  for (uint32_t folder = 0; folder < kFolders; ++folder) {
    folders.push_back(testkit::DirEntry(FolderName(folder), 3 + folder));
    std::vector<testkit::EntryFields> files;
    for (uint32_t file = 0; file < kFilesPerFolder; ++file) {
      testkit::EntryFields entry = testkit::FileEntry(FileName(folder, file), DataBlock(folder, file), kFileBytes);
      if (folder == 5 && file == 10) entry.copies = {kPastTheEnd, DataBlock(folder, file)};
      files.push_back(entry);
      builder.Data(DataBlock(folder, file), testkit::Pattern(kFileBytes, folder * 100 + file));
      if (folder == kBigFolder && file == kFilesPerFolder / 2) {
        files.push_back(testkit::FileEntry(FolderName(folder) + "big", BigBlock(), kBigBytes));
      }
    }
    builder.Directory(3 + folder, files);
  }
  builder.Data(BigBlock(), BigData());
  builder.Directory(2, folders);
  std::vector<testkit::EntryFields> withBroken = folders;
  withBroken.push_back(testkit::DirEntry("broken", 15));
  builder.Directory(1, withBroken);
  builder.Directory(15, {testkit::FileEntry("lost", kPastTheEnd, 10)});
  return builder.Image();
}

class QueuedWritesTest : public ::testing::Test {
 protected:
  void SetUp() override { testkit::WriteBytes(temp_ / "disc.iso", Disc()); }

  // Decompiles with the block map into `out`, through `host`.
  DecompileResult Run(Host& host, const std::string& out) {
    ImageSource source;
    EXPECT_TRUE(OpenImageFile(source, temp_ / "disc.iso", host));
    DecompileOptions options;
    options.host = &host;
    options.additionalInfo = true;
    return DecompileImage(source, temp_ / out, temp_ / (out + ".log"), options);
  }
  std::string Root(const std::string& out) const { return testkit::Utf8Of(fs::canonical(temp_ / out)); }
  void ExpectTheOutputOfAWriteInTurn(FaultyHost& faulty);

  testkit::TempFolder temp_;
};

// `text` with every `from` put as `to`.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  size_t start = 0;
  for (size_t at; (at = text.find(from, start)) != std::string::npos; start = at + from.size()) {
    out.append(text, start, at - start);
    out += to;
  }
  out.append(text, start);
  return out;
}

// The log line that a failed write of `path` puts right behind the file's
// entry, which ends with its one copy; at every extraction of the file.
std::string WithFailureLines(const std::string& log, const std::string& path, const std::string& name) {
  const std::string failure = Win("!!!Не удалось записать файл " + path + "!\n");
  const std::string nameLine = Win("\tИмя:\t" + name + "\n");
  std::string out;
  int inserted = 0;
  size_t start = 0;
  for (size_t at; (at = log.find(nameLine, start)) != std::string::npos; start = at) {
    // The name line is followed by the copy count and one copy line.
    at = log.find('\n', log.find('\n', at + nameLine.size()) + 1) + 1;
    out.append(log, start, at - start);
    out += failure;
    ++inserted;
  }
  out.append(log, start);
  EXPECT_EQ(inserted, 2);  // both root copies write the file
  return out;
}

// A clean run into "clean", then one into "faulty" through `faulty`, whose
// failures strike four files; checks that both leave what a walk that writes
// each file in turn leaves.
void QueuedWritesTest::ExpectTheOutputOfAWriteInTurn(FaultyHost& faulty) {
  FaultyHost clean;
  ASSERT_TRUE(Run(clean, "clean").Succeeded());
  const std::string cleanRoot = Root("clean");

  faulty.Add({HostCall::kWrite, testkit::HostPath("/d3/d3f07"), ENOSPC, 3000});
  faulty.Add({HostCall::kCreateFile, testkit::HostPath("/d7/d7f20"), EACCES});
  faulty.Add({HostCall::kWrite, testkit::HostPath("/d9/d9f24"), EIO});
  faulty.Add({HostCall::kWrite, testkit::HostPath("/d4/d4big"), ENOSPC, 100000});
  const DecompileResult result = Run(faulty, "faulty");
  EXPECT_EQ(result.outcome, DecompileOutcome::kWriteFailures);
  const std::string root = Root("faulty");
  EXPECT_EQ(result.hostFailure, testkit::HostPath(root + "/d3/d3f07") + ": " + ErrorText(ENOSPC));

  // The clean run's log, moved to the other folder, with each failure line
  // where a walk that writes each file in turn logs it.
  std::string expected = ReplaceAll(testkit::ReadText(temp_ / "clean.log"), cleanRoot, root);
  expected = WithFailureLines(expected, testkit::HostPath(root + "/d3/d3f07"), "d3f07");
  expected = WithFailureLines(expected, testkit::HostPath(root + "/d7/d7f20"), "d7f20");
  expected = WithFailureLines(expected, testkit::HostPath(root + "/d9/d9f24"), "d9f24");
  expected = WithFailureLines(expected, testkit::HostPath(root + "/d4/d4big"), "d4big");
  const std::string success = Win("Образ демонтирован успешно. Выход.\n");
  ASSERT_TRUE(expected.ends_with(success));
  expected = expected.substr(0, expected.size() - success.size()) +
             Win("!!!Образ демонтирован с ошибками записи! Выход.\n");
  EXPECT_EQ(testkit::ReadText(temp_ / "faulty.log"), expected);

  // The same files, but those that failed.
  for (uint32_t folder = 0; folder < kFolders; ++folder) {
    for (uint32_t file = 0; file < kFilesPerFolder; ++file) {
      std::string relative = "/";
      relative += FolderName(folder);
      relative += "/";
      relative += FileName(folder, file);
      const Bytes data = testkit::Pattern(kFileBytes, folder * 100 + file);
      if (relative == "/d3/d3f07") {
        EXPECT_EQ(testkit::ReadBytes(root + relative), Bytes(data.begin(), data.begin() + 3000));
      } else if (relative == "/d7/d7f20") {
        EXPECT_FALSE(fs::exists(root + relative));
      } else if (relative == "/d9/d9f24") {
        EXPECT_EQ(fs::file_size(root + relative), 0u);
      } else {
        ASSERT_EQ(testkit::ReadBytes(root + relative), data) << relative;
      }
    }
  }
  const Bytes bigData = BigData();
  const Bytes big = testkit::ReadBytes(root + "/d4/d4big");
  EXPECT_LE(big.size(), 100000u);
  EXPECT_EQ(big, Bytes(bigData.begin(), bigData.begin() + long(big.size())));
  EXPECT_EQ(testkit::ReadBytes(cleanRoot + "/d4/d4big"), bigData);
  EXPECT_TRUE(fs::is_directory(root + "/broken"));

  // The block map names the same ranges, and the hole files hold the same
  // bytes; all of them lie beside the logs.
  const std::string beside = testkit::Utf8Of(fs::canonical(temp_.Path()));
  EXPECT_EQ(testkit::ReadText(beside + "/faulty.spy"),
            ReplaceAll(testkit::ReadText(beside + "/clean.spy"), cleanRoot, root));
  int holes = 0;
  for (const fs::directory_entry& hole : fs::directory_iterator(beside)) {
    const std::string name = testkit::Utf8Of(hole.path().filename());
    if (!name.starts_with("clean 0x")) continue;
    ++holes;
    EXPECT_EQ(testkit::ReadBytes(beside + "/faulty" + name.substr(5)), testkit::ReadBytes(testkit::Utf8Of(hole.path())));
  }
  EXPECT_GT(holes, 0);
}

TEST_F(QueuedWritesTest, FailuresAndFallbacksLeaveTheLogTreeAndMapOfAWriteInTurn) {
  FaultyHost faulty;
  ExpectTheOutputOfAWriteInTurn(faulty);
}

// When the writing thread falls behind, the walk makes small files itself;
// whichever thread makes a file, its outcome takes its place in the log.
TEST_F(QueuedWritesTest, FilesTheWalkMakesItselfKeepTheirPlaces) {
  FaultyHost faulty;
  faulty.SlowOtherThreads(HostCall::kCreateFile, std::chrono::milliseconds(1));
  ExpectTheOutputOfAWriteInTurn(faulty);
  EXPECT_EQ(faulty.Threads(HostCall::kCreateFile), 2);
}

// The queue itself: whichever thread makes a file, the outcomes come back
// complete and in the order the steps were given, so that the first failure
// reported is the first in the walk.
TEST(WriteQueueTest, OutcomesComeBackInTheOrderGivenWhoeverMakesTheFile) {
  testkit::TempFolder temp;
  const std::string folder = testkit::Utf8Of(temp.Path());
  FaultyHost host;
  host.SlowOtherThreads(HostCall::kCreateFile, std::chrono::milliseconds(1));
  host.Add({HostCall::kCreateFile, "7.bin", EACCES});  // every tenth file fails
  constexpr uint64_t kFiles = 400;
  auto nameOf = [](uint64_t i) {
    std::string name = std::to_string(i);
    name += ".bin";
    return name;
  };
  std::vector<WriteOutcome> outcomes;
  const HostFolder root = host.OpenFolder(folder);
  {
    WriteQueue queue(host, 64 * 1024);
    for (uint64_t i = 0; i < kFiles; ++i) {
      WriteStep step;
      step.root = &root;
      step.folder = folder;
      step.name = nameOf(i);
      step.create = step.close = true;
      step.bytes = queue.Buffer(100);
      std::fill_n(step.bytes.data.get(), 100, uint8_t(i));
      step.bytes.size = 100;
      step.createPlace = 2 * i + 1;
      step.writePlace = 2 * i + 2;
      queue.Add(std::move(step));
      for (WriteOutcome& outcome : queue.TakeOutcomes()) outcomes.push_back(std::move(outcome));
    }
    queue.Drain();
    for (WriteOutcome& outcome : queue.TakeOutcomes()) outcomes.push_back(std::move(outcome));
  }
  EXPECT_EQ(host.Threads(HostCall::kCreateFile), 2);
  ASSERT_EQ(outcomes.size(), kFiles);
  for (uint64_t i = 0; i < kFiles; ++i) {
    ASSERT_EQ(outcomes[i].createPlace, 2 * i + 1);
    const bool fails = i % 10 == 7;
    EXPECT_EQ(outcomes[i].failure.has_value(), fails) << i;
    if (!fails) {
      EXPECT_EQ(testkit::ReadBytes(temp / nameOf(i)), Bytes(100, uint8_t(i))) << i;
    }
  }
}

}  // namespace
}  // namespace zanthrel
