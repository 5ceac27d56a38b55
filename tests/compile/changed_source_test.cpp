// Source files that change between the folder's listing and the end of their
// reading: each is named, and the run ends with problems. A file replaced by
// a FIFO meanwhile is refused, not waited on.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>

#include "compile/compile_run.h"
#include "testkit/faulty_host.h"
#ifndef _WIN32
#include "testkit/fifo_guard.h"
#endif
#include "testkit/files.h"
#include "testkit/image_reader.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::HostCall;
using testkit::ImageEntry;
using testkit::ImageReader;

class ChangedSourceTest : public ::testing::Test {
 protected:
  std::string Source(const std::string& relative) const { return temp_ / ("src/" + relative); }
  Bytes Make(const std::string& relative, size_t size, uint32_t seed) {
    fs::create_directories(fs::path(Source(relative)).parent_path());
    const Bytes content = testkit::Pattern(size, seed);
    testkit::WriteBytes(Source(relative), content);
    return content;
  }
  void Append(const std::string& relative, size_t size) {
    std::ofstream out(Source(relative), std::ios::binary | std::ios::app);
    const Bytes more = testkit::Pattern(size, 99);
    out.write(reinterpret_cast<const char*>(more.data()), std::streamsize(more.size()));
  }
  CompileReport Compile() {
    CompileOptions options;
    options.host = &host_;
    CompileReport report = CompileImage(temp_ / "src", temp_ / "out.iso", false, options);
    EXPECT_TRUE(report.written) << report.failure;
    return report;
  }
  // The bytes stored for a root file, by its entry's byte count.
  Bytes Stored(const std::string& name) {
    ImageReader image{testkit::ReadBytes(temp_ / "out.iso")};
    const ImageEntry entry = image.Find(image.RootBlock(), name);
    return testkit::Slice(image.bytes, size_t(entry.copy) * 2048, entry.byteCount);
  }

  testkit::TempFolder temp_;
  testkit::FaultyHost host_;
};

TEST_F(ChangedSourceTest, AFileThatGrowsWhileItIsReadIsReported) {
  // A small file is read through a buffer, a large one copied inside the
  // system where it can be: both are looked at again after their last byte.
  const Bytes small = Make("small", 1000, 1);
  const Bytes large = Make("large", 1 << 20, 2);
  const Bytes kept = Make("kept", 3000, 3);
  host_.After(HostCall::kRead, "small", [&] { Append("small", 5000); });
  host_.After(HostCall::kRead, "large", [&] { Append("large", 5 << 20); });
  const CompileReport report = Compile();
  EXPECT_EQ(report.problems,
            (std::vector<std::string>{
                Source("large") + ": changed while it was read (1048576 bytes when listed, 6291456 at the "
                                  "end); stored as read",
                Source("small") + ": changed while it was read (1000 bytes when listed, 6000 at the end); "
                                  "stored as read"}));
  EXPECT_EQ(Stored("small"), small);
  EXPECT_EQ(Stored("large"), large);
  EXPECT_EQ(Stored("kept"), kept);
}

TEST_F(ChangedSourceTest, AFileThatShrinksOrIsOnlyTouchedIsReported) {
  Make("shrinks", 8000, 1);
  const Bytes touched = Make("sub/touched", 500, 2);
  const Bytes kept = Make("kept", 700, 3);
  // Cut after the listing: what is left is stored.
  host_.After(HostCall::kListFolder, "src", [&] { fs::resize_file(Source("shrinks"), 3000); });
  // Only its time changes, after its one read.
  host_.After(HostCall::kRead, "touched", [&] {
    const fs::path touchedPath = Source("sub/touched");
    fs::last_write_time(touchedPath, fs::last_write_time(touchedPath) + std::chrono::seconds(5));
  });
  const CompileReport report = Compile();
  EXPECT_EQ(report.problems,
            (std::vector<std::string>{
                Source("shrinks") + ": changed while it was read (8000 bytes when listed, 3000 at the end); "
                                    "stored as read",
                Source("sub/touched") +
                    ": changed while it was read (modified since it was listed); stored as read"}));
  EXPECT_EQ(Stored("shrinks"), testkit::Pattern(3000, 1));
  EXPECT_EQ(Stored("kept"), kept);
  ImageReader image{testkit::ReadBytes(temp_ / "out.iso")};
  const ImageEntry entry = image.Find(image.Find(image.RootBlock(), "sub").copy, "touched");
  EXPECT_EQ(testkit::Slice(image.bytes, size_t(entry.copy) * 2048, entry.byteCount), touched);
}

TEST_F(ChangedSourceTest, AnUnchangedTreeGivesNoWord) {
  Make("a", 300000, 1);
  Make("b/c", 10, 2);
  EXPECT_TRUE(Compile().problems.empty());
}

TEST_F(ChangedSourceTest, AFileReplacedByAFifoAfterTheListingIsRefusedNotWaitedOn) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs (mkfifo) are POSIX's";
#else
  Make("late", 100, 1);
  const Bytes kept = Make("kept", 100, 2);
  // No writer ever comes: an open that waited would hang until the guard lets it go.
  testkit::FifoGuard guard(Source("late"));
  host_.After(HostCall::kListFolder, "src", [&] {
    fs::remove(Source("late"));
    ASSERT_EQ(::mkfifo(Source("late").c_str(), 0600), 0);
  });
  const CompileReport report = Compile();
  EXPECT_FALSE(guard.Unblocked());
  EXPECT_EQ(report.problems,
            (std::vector<std::string>{Source("late") +
                                      ": cannot be opened (is a FIFO, not a regular file or a drive; reading "
                                      "it may never end)"}));
  EXPECT_EQ(Stored("late"), Bytes{});
  EXPECT_EQ(Stored("kept"), kept);
#endif
}

}  // namespace
}  // namespace zanthrel
