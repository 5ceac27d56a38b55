#include "support/host.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "support/text.h"
#include "testkit/faulty_host.h"
#ifndef _WIN32
#include "testkit/fifo_guard.h"
#endif
#include "testkit/files.h"
#include "testkit/scratch_folder.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::FaultyHost;
using testkit::HostCall;
using testkit::TempFolder;

TEST(HostFileTest, BinaryDataAtOffsetsSizesAndTruncation) {
  TempFolder temp;
  Host& host = SystemHost();
  testkit::WriteText(temp / "f", "old contents");
  {
    Result<HostFile> file = host.CreateFile(temp / "f");
    ASSERT_TRUE(file) << file.Failure().text;
    EXPECT_EQ(file->Info()->size, 0u);  // an existing file is emptied
    const char data[] = "a\r\nb\0c\x1A" "d";
    ASSERT_TRUE(file->WriteAt(0, data, 8));
    ASSERT_TRUE(file->WriteAt(10, "z", 1));  // past the end: a gap of zeros
    EXPECT_EQ(file->Info()->size, 11u);
    char back[16] = {};
    Result<size_t> read = file->ReadAt(1, back, sizeof back);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(back, *read), std::string("\r\nb\0c\x1A" "d\0\0z", 10));
    EXPECT_EQ(*file->ReadAt(11, back, 4), 0u);
    ASSERT_TRUE(file->Truncate(3));
    EXPECT_EQ(file->Info()->size, 3u);
  }
  EXPECT_EQ(testkit::ReadText(temp / "f"), "a\r\n");

  Result<HostFile> opened = host.OpenFile(temp / "f");
  ASSERT_TRUE(opened);
  HostFile moved = std::move(*opened);
  EXPECT_FALSE(opened->IsOpen());
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(moved.WriteAt(0, "x", 1));  // opened for reading only
  char byte = 0;
  EXPECT_FALSE(opened->ReadAt(0, &byte, 1));
}

TEST(HostFileTest, FailuresNameThePathAndTheHostsReason) {
  TempFolder temp;
  Host& host = SystemHost();
  Result<HostFile> missing = host.OpenFile(temp / "missing");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Failure().code, ENOENT);
  EXPECT_EQ(missing.Failure().text, (temp / "missing") + ": " + ErrorText(ENOENT));

  testkit::WriteText(temp / "there", "x");
  Result<HostFile> again = host.CreateNewFile(temp / "there");
  ASSERT_FALSE(again);
  EXPECT_EQ(again.Failure().code, EEXIST);
  EXPECT_EQ(testkit::ReadText(temp / "there"), "x");
}

TEST(HostFileTest, OnlyARegularFileOrADriveIsOpenedForReading) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs, sockets and /dev/zero as POSIX makes them";
#else
  TempFolder temp;
  Host& host = SystemHost();
  ASSERT_EQ(::mkfifo((temp / "pipe").c_str(), 0600), 0);  // no writer: a waiting open would hang
  testkit::FifoGuard guard(temp / "pipe");
  fs::create_symlink("pipe", temp.Path() / "to-pipe");
  fs::create_directories(temp.Path() / "folder");
  const std::pair<std::string, std::string> refused[] = {
      {temp / "pipe", "a FIFO"}, {temp / "to-pipe", "a FIFO"}, {"/dev/zero", "a character device"}};
  const HostFolder folder = host.OpenFolder(temp.Path().string());
  ASSERT_TRUE(folder.handle.IsOpen());
  for (const auto& [path, what] : refused) {
    const std::string text =
        path + ": is " + what + ", not a regular file or a drive; reading it may never end";
    Result<HostFile> opened = host.OpenFile(path);
    ASSERT_FALSE(opened) << path;
    EXPECT_EQ(opened.Failure().text, text);
    EXPECT_EQ(opened.Failure().code, 0);
    EXPECT_EQ(ReasonOf(opened.Failure(), path), text.substr(path.size() + 2));
    if (path.starts_with(temp.Path().string())) {
      EXPECT_EQ(host.OpenFileIn(folder, FileNameOf(path)).Failure().text, text);
    }
  }
  EXPECT_EQ(host.OpenFile(temp / "folder").Failure().text,
            (temp / "folder") + ": is a folder, not a regular file or a drive");
  EXPECT_EQ(host.OpenFileIn(folder, "folder").Failure().text,
            (temp / "folder") + ": is a folder, not a regular file or a drive");
  EXPECT_FALSE(guard.Unblocked());
  // A socket bound to a name: the system itself will not open it.
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = temp / "socket";
  if (socketPath.size() < sizeof address.sun_path) {
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(host.OpenFile(socketPath));
  }
  ::close(listener);

  // A regular file reads as ever, its reads waiting again for their data.
  testkit::WriteText(temp / "file", "contents");
  for (const bool byName : {false, true}) {
    Result<HostFile> file = byName ? host.OpenFileIn(folder, "file") : host.OpenFile(temp / "file");
    ASSERT_TRUE(file) << file.Failure().text;
    EXPECT_EQ(::fcntl(int(file->Handle()), F_GETFL) & O_NONBLOCK, 0);
    char back[16] = {};
    EXPECT_EQ(*file->ReadAt(0, back, sizeof back), 8u);
    EXPECT_EQ(std::string(back), "contents");
  }
  EXPECT_EQ(ReasonOf(host.OpenFile(temp / "missing").Failure(), temp / "missing"), ErrorText(ENOENT));

  // A block device node of its own (a loop device's numbers) where the test
  // may make one: taken, or failing with the system's reason, never refused
  // for its kind, and its reads wait as usual.
  if (::mknod((temp / "drive").c_str(), S_IFBLK | 0600, makedev(7, 200)) == 0) {
    Result<HostFile> drive = host.OpenFile(temp / "drive");
    if (drive) {
      EXPECT_EQ(::fcntl(int(drive->Handle()), F_GETFL) & O_NONBLOCK, 0);
    } else {
      EXPECT_NE(drive.Failure().code, 0) << drive.Failure().text;
    }
  }
#endif
}

TEST(HostFolderTest, MakeListAndIdentify) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and touch(1) are POSIX's; host_win32_test lists and identifies on Windows";
#else
  TempFolder temp;
  Host& host = SystemHost();
  EXPECT_TRUE(host.MakeFolder(temp / "out"));
  EXPECT_TRUE(host.MakeFolder(temp / "out"));  // an existing folder counts as made
  EXPECT_EQ(host.MakeFolder(temp / "missing/child").Failure().code, ENOENT);
  testkit::WriteText(temp / "file", "xyz");
  EXPECT_EQ(host.MakeFolder(temp / "file").Failure().code, ENOTDIR);
  EXPECT_TRUE(MakeFolderPath(host, temp / "a/b/c/"));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a/b/c"));

  fs::create_symlink("file", temp.Path() / "link");
  fs::create_symlink("nowhere", temp.Path() / "dangling");
  Result<std::vector<FolderChild>> children = host.ListFolder(temp.Path().string());
  ASSERT_TRUE(children);
  std::map<std::string, const FolderChild*> byName;
  for (const FolderChild& child : *children) byName[child.name] = &child;
  ASSERT_EQ(byName.size(), 5u);  // no "." or ".."
  EXPECT_EQ(byName["out"]->info->kind, PathKind::kFolder);
  EXPECT_EQ(byName["file"]->info->kind, PathKind::kFile);
  EXPECT_EQ(byName["file"]->info->size, 3u);
  ASSERT_EQ(std::system(("touch -d @1234567890.25 '" + (temp / "file") + "'").c_str()), 0);
  Result<PathInfo> touched = host.InfoOf(temp / "file");
  EXPECT_EQ(touched->modifiedSeconds, 1234567890);
  EXPECT_EQ(touched->modifiedNanoseconds, 250000000u);
  EXPECT_EQ(byName["link"]->info->identity, byName["file"]->info->identity);  // links followed
  EXPECT_NE(byName["out"]->info->identity, byName["file"]->info->identity);
  EXPECT_EQ(byName["dangling"]->info.Failure().code, ENOENT);
  // Which names are links themselves, whatever they lead to.
  EXPECT_TRUE(byName["link"]->link);
  EXPECT_TRUE(byName["dangling"]->link);
  EXPECT_FALSE(byName["file"]->link);
  EXPECT_FALSE(byName["out"]->link);
  EXPECT_EQ(host.ListFolder(temp / "nope").Failure().code, ENOENT);

  EXPECT_EQ(*host.RealPath(temp / "out/../link"), fs::canonical(temp.Path() / "file").string());
  EXPECT_TRUE(host.RemoveFile(temp / "file"));
  EXPECT_FALSE(fs::exists(temp.Path() / "file"));
#endif
}

// Children of an open folder are reached by name, and everything else behaves
// as with full paths: failures name the full path, a folder that cannot be
// opened still gives its children by path, and a host that fails calls on
// demand sees these calls as the full-path calls they stand for.
TEST(HostFolderTest, ChildrenByNameBehaveAsByFullPath) {
  TempFolder temp;
  Host& host = SystemHost();
  fs::create_directories(temp.Path() / "out");
  const HostFolder out = host.OpenFolder(temp / "out");
  {
    Result<HostFile> made = host.CreateFileIn(out, "made");
    ASSERT_TRUE(made) << made.Failure().text;
    EXPECT_EQ(made->Path(), JoinPath(temp / "out", "made"));
    ASSERT_TRUE(made->WriteAt(0, "bytes", 5));
  }
  Result<HostFile> read = host.OpenFileIn(out, "made");
  ASSERT_TRUE(read);
  char back[8] = {};
  EXPECT_EQ(*read->ReadAt(0, back, sizeof back), 5u);
  EXPECT_EQ(std::string(back), "bytes");
  EXPECT_FALSE(read->WriteAt(0, "x", 1));  // opened for reading only
  testkit::WriteText(temp / "out/old", "old contents");
  EXPECT_EQ(host.CreateFileIn(out, "old")->Info()->size, 0u);  // an existing file is emptied

  Result<HostFile> missing = host.OpenFileIn(out, "missing");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Failure().text, JoinPath(temp / "out", "missing") + ": " + ErrorText(ENOENT));
  const HostFolder gone = host.OpenFolder(temp / "gone");
  EXPECT_FALSE(gone.handle.IsOpen());
  EXPECT_EQ(host.CreateFileIn(gone, "x").Failure().text,
            JoinPath(temp / "gone", "x") + ": " + ErrorText(ENOENT));
  fs::create_directories(temp.Path() / "gone");
  EXPECT_TRUE(host.CreateFileIn(gone, "x"));  // by path, now that it exists

  FaultyHost faulty;
  faulty.Add({HostCall::kCreateFile, "refused", EACCES});
  faulty.Add({HostCall::kOpenFile, "made", EIO});
  const HostFolder seen = faulty.OpenFolder(temp / "out");
  EXPECT_TRUE(faulty.CreateFileIn(seen, "fine"));
  EXPECT_EQ(faulty.CreateFileIn(seen, "refused").Failure().code, EACCES);
  EXPECT_EQ(faulty.OpenFileIn(seen, "made").Failure().code, EIO);
  EXPECT_EQ(faulty.Calls(HostCall::kCreateFile), 2);
}

// Children of an output folder never lead out of it: a link where a folder
// or a file is to be made is refused and left as it is, and what it leads to
// is neither written nor emptied; a file or folder in the other's place is
// refused too.
TEST(HostFolderTest, LinksAmongChildrenAreNeverFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need rights that a test cannot count on here";
#else
  TempFolder temp;
  Host& host = SystemHost();
  fs::create_directories(temp.Path() / "out");
  fs::create_directories(temp.Path() / "outside");
  testkit::WriteText(temp / "outside/victim", "keep me");
  fs::create_directory_symlink(temp.Path() / "outside", temp.Path() / "out/folder");
  fs::create_symlink(temp.Path() / "outside/victim", temp.Path() / "out/file");
  fs::create_symlink(temp.Path() / "outside/new", temp.Path() / "out/dangling");
  testkit::WriteText(temp / "out/plain", "a file");
  const HostFolder out = host.OpenFolder(temp / "out");
  ASSERT_TRUE(out.handle.IsOpen());

  const std::string linkRefused = ": a symbolic link stands there, and links in the output are not followed";
  for (const char* name : {"folder", "file", "dangling"}) {
    SCOPED_TRACE(name);
    Result<HostFolder> made = host.MakeFolderIn(out, name);
    ASSERT_FALSE(made);
    EXPECT_EQ(made.Failure().code, ELOOP);
    EXPECT_EQ(made.Failure().text, JoinPath(temp / "out", name) + linkRefused);
    EXPECT_EQ(host.OpenFolderIn(out, name).Failure().code, ELOOP);
    Result<HostFile> created = host.CreateFileIn(out, name);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.Failure().text, JoinPath(temp / "out", name) + linkRefused);
  }
  EXPECT_EQ(host.MakeFolderIn(out, "plain").Failure().code, ENOTDIR);
  EXPECT_EQ(testkit::ReadText(temp / "outside/victim"), "keep me");
  EXPECT_FALSE(fs::exists(temp.Path() / "outside/new"));
  EXPECT_EQ(testkit::NamesBelow(temp.Path() / "outside"), std::vector<std::string>{"victim"});
  // Removing a link removes the link alone.
  ASSERT_TRUE(host.RemoveFileIn(out, "file"));
  EXPECT_FALSE(fs::is_symlink(temp.Path() / "out/file"));
  EXPECT_EQ(testkit::ReadText(temp / "outside/victim"), "keep me");

  // A folder made is opened, and made again is the same folder.
  Result<HostFolder> sub = host.MakeFolderIn(out, "sub");
  ASSERT_TRUE(sub) << sub.Failure().text;
  EXPECT_EQ(sub->path, JoinPath(temp / "out", "sub"));
  ASSERT_TRUE(host.CreateFileIn(*sub, "inside"));
  ASSERT_TRUE(host.MakeFolderIn(out, "sub"));
  EXPECT_TRUE(fs::is_regular_file(temp.Path() / "out/sub/inside"));
  EXPECT_EQ(host.CreateFileIn(out, "sub").Failure().code, EISDIR);

  // A FIFO in a file's place is refused without waiting for a reader.
  ASSERT_EQ(::mkfifo((temp.Path() / "out/pipe").c_str(), 0600), 0);
  EXPECT_EQ(host.CreateFileIn(out, "pipe").Failure().text, JoinPath(temp / "out", "pipe") + ": not a regular file");
#endif
}

// A path deeper than the host can name is opened one folder at a time below
// an open folder, and a link on the way stops it.
TEST(HostFolderTest, FoldersBelowAnOpenFolderAtAnyDepth) {
  TempFolder temp;
  Host& host = SystemHost();
  fs::create_directories(temp.Path() / "out");
  const HostFolder out = host.OpenFolder(temp / "out");
  const std::string name(60, 'd');
  std::string relative;
  std::optional<HostFolder> at;
#ifdef _WIN32
  // Windows names 32,767 characters; past MAX_PATH is what matters there, and
  // wine, which runs these tests, names no more than its own host's 4,096 bytes.
  constexpr int kLevels = 30;
  constexpr size_t kPastTheLimit = 260;  // MAX_PATH
#else
  constexpr int kLevels = 80;
  constexpr size_t kPastTheLimit = 4096;
#endif
  for (int level = 0; level < kLevels; ++level) {
    Result<HostFolder> made = host.MakeFolderIn(at ? *at : out, name);
    ASSERT_TRUE(made) << level << ": " << made.Failure().text;
    at = std::move(*made);
    relative = relative.empty() ? name : JoinPath(relative, name);
  }
  ASSERT_GT(at->path.size(), kPastTheLimit);
  ASSERT_TRUE(host.CreateFileIn(*at, "bottom"));
  Result<HostFolder> reopened = OpenFolderBelow(host, out, relative);
  ASSERT_TRUE(reopened) << reopened.Failure().text;
  EXPECT_EQ(reopened->path, at->path);
  EXPECT_TRUE(host.OpenFileIn(*reopened, "bottom"));
#ifndef _WIN32
  fs::create_directory_symlink(temp.Path() / "out", temp.Path() / "out/link");
  EXPECT_EQ(OpenFolderBelow(host, out, JoinPath("link", name)).Failure().code, ELOOP);
#endif
}

TEST(HostFolderTest, CurrentDirectoryOfAnyLength) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX path forms; host_win32_test checks long paths on Windows";
#else
  TempFolder temp;
  std::string expected = fs::canonical(temp.Path()).string();
  for (int i = 0; i < 12; ++i) expected += "/" + std::string(40, char('a' + i));
  fs::create_directories(expected);
  fs::current_path(expected);
  EXPECT_GT(expected.size(), 255u);
  EXPECT_EQ(*SystemHost().CurrentDirectory(), expected);
  EXPECT_EQ(*AbsolutePath(SystemHost(), "x"), expected + "/x");
  EXPECT_EQ(*AbsolutePath(SystemHost(), "/y"), "/y");
  // Messages show the current directory without a "/." on its end.
  EXPECT_EQ(*AbsolutePath(SystemHost(), "."), expected);
  EXPECT_EQ(*AbsolutePath(SystemHost(), "./x"), expected + "/x");
  EXPECT_EQ(*AbsolutePath(SystemHost(), "././x/./y"), expected + "/x/./y");
#endif
}

#ifdef _WIN32
constexpr bool kUnnamedFilesHere = false;
#else
constexpr bool kUnnamedFilesHere = true;
#endif

size_t EntriesIn(const fs::path& folder) {
  return size_t(std::distance(fs::directory_iterator(folder), {}));
}

TEST(TemporaryFileTest, CommitReplacesTheTargetAndDiscardLeavesNothing) {
  TempFolder temp;
  const std::string target = temp / "image.iso";
  testkit::WriteText(target, "old");
  FaultyHost unnamedRefused;  // as on a file system without unnamed files
  unnamedRefused.Add({HostCall::kCreateUnnamedFile, "", ENOTSUP});
  for (Host* host : {&SystemHost(), static_cast<Host*>(&unnamedRefused)}) {
    {
      Result<TemporaryFile> discarded = TemporaryFile::CreateBeside(*host, target);
      ASSERT_TRUE(discarded);
      // Unnamed where the file system allows (not on Windows); otherwise named after the target.
      EXPECT_EQ(discarded->Path().empty(), host == &SystemHost() && kUnnamedFilesHere);
      if (host != &SystemHost()) {
        EXPECT_TRUE(IsTemporaryFileName(FileNameOf(discarded->Path())));
      }
      ASSERT_TRUE(discarded->File().WriteAt(0, "new", 3));
    }
    EXPECT_EQ(testkit::ReadText(target), "old");
    EXPECT_EQ(EntriesIn(temp.Path()), 1u);

    Result<TemporaryFile> kept = TemporaryFile::CreateBeside(*host, target);
    ASSERT_TRUE(kept);
    ASSERT_TRUE(kept->File().WriteAt(0, "new", 3));
    ASSERT_TRUE(kept->Commit());
    EXPECT_EQ(testkit::ReadText(target), "new");
    EXPECT_EQ(EntriesIn(temp.Path()), 1u);
    testkit::WriteText(target, "old");
  }

  FaultyHost renameRefused;
  renameRefused.Add({HostCall::kRename, "image.iso", EIO});
  {
    Result<TemporaryFile> refused = TemporaryFile::CreateBeside(renameRefused, target);
    ASSERT_TRUE(refused);
    ASSERT_TRUE(refused->File().WriteAt(0, "newer", 5));
    Status committed = refused->Commit();
    ASSERT_FALSE(committed);
    EXPECT_EQ(committed.Failure().code, EIO);
  }
  EXPECT_EQ(testkit::ReadText(target), "old");
  EXPECT_EQ(EntriesIn(temp.Path()), 1u);
}

TEST(TemporaryFileTest, NamesOfTemporaryFilesAreKnownAgain) {
  EXPECT_TRUE(IsTemporaryFileName("game.iso.zanthrel-4242-0"));
  EXPECT_TRUE(IsTemporaryFileName(".zanthrel-1-17"));
  EXPECT_FALSE(IsTemporaryFileName("game.iso.zanthrel-4242-"));
  EXPECT_FALSE(IsTemporaryFileName("game.iso.zanthrel-x-1"));
  EXPECT_FALSE(IsTemporaryFileName("game.zanthrel"));
}

TEST(TemporaryFileTest, InterruptRemovesANamedOne) {
#ifdef _WIN32
  GTEST_SKIP() << "fork(2) and SIGINT are POSIX's";
#else
  TempFolder temp;
  const std::string path = temp / "left.iso.zanthrel-1-0";
  testkit::WriteText(path, "partial");
  testkit::WriteText(temp / "kept", "kept");
  const pid_t child = fork();
  if (child == 0) {
    SystemHost().RemoveOnInterrupt(temp / "kept");
    SystemHost().KeepOnInterrupt(temp / "kept");
    SystemHost().RemoveOnInterrupt(path);
    raise(SIGINT);
    _exit(0);  // not reached: SIGINT ends the process
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(fs::exists(temp.Path() / "kept"));
#endif
}

TEST(TemporaryFileTest, FirstInterruptOnlyAsksToStopAndTheSecondStillRemovesFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "fork(2) and SIGINT are POSIX's";
#else
  TempFolder temp;
  const std::string path = temp / "left.iso.zanthrel-1-0";
  testkit::WriteText(path, "partial");
  const pid_t child = fork();
  if (child == 0) {
    std::atomic<bool> stop{false};
    SystemHost().CancelOnInterrupt(&stop);
    SystemHost().RemoveOnInterrupt(path);
    raise(SIGINT);
    if (!stop || !fs::exists(path)) _exit(3);
    raise(SIGINT);
    _exit(4);  // not reached: the second SIGINT ends the process
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_FALSE(fs::exists(path));
#endif
}

TEST(CopyFileRangeTest, InsideTheKernelOrThroughABufferAndShortAtFailures) {
  TempFolder temp;
  const testkit::Bytes data = testkit::Pattern(700000, 3);
  testkit::WriteBytes(temp / "from", data);
  for (bool buffered : {false, true}) {
    FaultyHost host;
    // A fault that never strikes still sends the copy through a buffer.
    if (buffered) host.Add({HostCall::kWrite, "to", EIO, UINT64_MAX});
    Result<HostFile> from = host.OpenFile(temp / "from");
    Result<HostFile> to = host.CreateFile(temp / "to");
    ASSERT_TRUE(from && to);
    ASSERT_TRUE(to->WriteAt(0, "head", 4));
    CopyOutcome copied = CopyFileRange(*from, 100, *to, 4, 1000000);
    EXPECT_FALSE(copied.failure);
    EXPECT_EQ(copied.copied, data.size() - 100);  // short at the end of the source
    testkit::Bytes expected(data.begin() + 100, data.end());
    expected.insert(expected.begin(), {'h', 'e', 'a', 'd'});
    EXPECT_EQ(testkit::ReadBytes(temp / "to"), expected) << buffered;
  }

  FaultyHost full;
  full.Add({HostCall::kWrite, "full", ENOSPC, 300000});
  Result<HostFile> from = full.OpenFile(temp / "from");
  Result<HostFile> to = full.CreateFile(temp / "full");
  CopyOutcome copied = CopyFileRange(*from, 0, *to, 0, data.size());
  ASSERT_TRUE(copied.failure);
  EXPECT_EQ(copied.failure->code, ENOSPC);
  EXPECT_NE(copied.failure->text.find("full"), std::string::npos);
  EXPECT_LE(copied.copied, 300000u);
  EXPECT_LE(fs::file_size(temp.Path() / "full"), 300000u);
}

TEST(ScratchFileTest, HoldsDataAndLeavesNoName) {
  TempFolder temp;
  const std::string folder = temp.Path().string();
  {
    Result<HostFile> scratch = [&] {
      testkit::ScratchFolderOverride override(folder);
      return SystemHost().CreateScratchFile();
    }();
    ASSERT_TRUE(scratch);
    ASSERT_TRUE(scratch->WriteAt(5, "spool", 5));
    char back[5];
    EXPECT_EQ(*scratch->ReadAt(5, back, 5), 5u);
    EXPECT_EQ(std::string(back, 5), "spool");
    // Windows names the file until it is closed.
    if (kUnnamedFilesHere) {
      EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), {}), 0);
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), {}), 0);
}

}  // namespace
}  // namespace zanthrel
