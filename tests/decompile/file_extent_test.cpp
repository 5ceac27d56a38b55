// Files whose extent tests the arithmetic of extraction: blocks smaller than
// the volume's, and a file one byte short of 4 GiB.
#include <gtest/gtest.h>

#include <filesystem>

#include "decompile/decompile_run.h"
#include "source/image_source.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;

DecompileResult Decompile(const std::string& image, const std::string& output, Host& host) {
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, image, host));
  DecompileOptions options;
  options.host = &host;
  return DecompileImage(source, output, output + ".log", options);
}

TEST(FileExtentTest, BlocksOf1024BytesComeFromTheirRecordsInEveryCopy) {
  testkit::TempFolder temp;
  const Bytes data = testkit::Pattern(5 * 1024, 3);
  testkit::ImageBuilder image(12);
  image.Label({});
  testkit::EntryFields whole = testkit::FileEntry("whole", 3, 4500, 1024);
  // Copy 0 lies at the image's end: its record 4 is past it, so that record
  // comes from copy 1, which holds the same data.
  testkit::EntryFields switched = testkit::FileEntry("switched", 10, 4500, 1024);
  switched.copies = {10, 3};
  image.Directory(1, {whole, switched, testkit::LabelEntry()});
  image.Data(3, data);
  image.Data(6, testkit::Pattern(4 * 2048, 4));  // other bytes where a wrong seek would land
  Bytes bytes = image.Image();
  std::copy(data.begin(), data.begin() + 4096, bytes.begin() + 10 * 2048);
  testkit::WriteBytes(temp / "small.iso", bytes);

  const DecompileResult result = Decompile(temp / "small.iso", temp / "out", SystemHost());
  ASSERT_TRUE(result.Succeeded());
  const Bytes expected(data.begin(), data.begin() + 4500);
  EXPECT_EQ(testkit::ReadBytes(temp / "out/whole"), expected);
  EXPECT_EQ(testkit::ReadBytes(temp / "out/switched"), expected);
}

TEST(FileExtentTest, FileOneByteShortOf4GiBComesBackThatLong) {
#ifdef _WIN32
  GTEST_SKIP() << "without a copy inside the system, 4 GiB through a buffer take too long";
#endif
  // Holes read fast from memory; on a disk they cost seconds.
  std::error_code error;
  testkit::TempFolder temp(fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm")
                                                              : fs::temp_directory_path());
  testkit::ImageBuilder image(2);
  image.Label({});
  testkit::EntryFields huge = testkit::FileEntry("huge", 2, 0xFFFFFFFF, 1 << 20);
  huge.blockCount = 4096;
  image.Directory(1, {huge, testkit::LabelEntry()});
  testkit::WriteBytes(temp / "huge.iso", image.Image());
  fs::resize_file(temp.Path() / "huge.iso", 2 * 2048 + (4ull << 30));  // sparse
  // The 4 GiB go nowhere; the host tells how far they reached.
  testkit::FaultyHost host;
  host.DiscardWrites("out/huge");
  ASSERT_TRUE(Decompile(temp / "huge.iso", temp / "out", host).Succeeded());
  EXPECT_EQ(host.WrittenEnd(fs::canonical(temp.Path()).string() + "/out/huge"), 0xFFFFFFFFull);
}

}  // namespace
}  // namespace zanthrel
