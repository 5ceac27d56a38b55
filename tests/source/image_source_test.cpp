#include "source/image_source.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#ifndef _WIN32
#include "testkit/fifo_guard.h"
#endif
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::Slice;
using testkit::TempFolder;

// A small volume: label in block 0, patterned data in blocks 1..6.
Bytes SampleVolume() {
  testkit::ImageBuilder image(7);
  image.Label({});
  image.Data(1, testkit::Pattern(6 * 2048, 7));
  return image.Image();
}

Bytes ReadBlock(ImageSource& source, uint32_t block) {
  Bytes buffer(2048);
  EXPECT_TRUE(Seek(source, block, 2048, 0));
  EXPECT_TRUE(ReadRecords(source, buffer.data(), 2048, 1));
  return buffer;
}

struct Framing {
  const char* name;
  bool raw;
  bool gzip;
};

// What GoogleTest and CTest show of a case, instead of the record's bytes.
void PrintTo(const Framing& framing, std::ostream* out) {
  *out << (framing.raw ? "2352-byte sectors" : "2048-byte blocks") << (framing.gzip ? ", gzip" : "");
}

class FramingTest : public ::testing::TestWithParam<Framing> {};

TEST_P(FramingTest, OpensAndReadsTheSameBlocks) {
  TempFolder temp;
  Bytes volume = SampleVolume();
  Bytes image = GetParam().raw ? testkit::RawFraming(volume) : volume;
  std::string path = temp / "image";
  GetParam().gzip ? testkit::WriteGzip(path, image) : testkit::WriteBytes(path, image);

  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, path);
  ASSERT_TRUE(opened) << opened.Failure().text;
  EXPECT_TRUE(source.IsOpen());
  EXPECT_EQ(source.RawSectors(), GetParam().raw);
  EXPECT_EQ(source.LabelOffset(), 0u);
  EXPECT_EQ(source.BlockSize(), 2048u);
  EXPECT_EQ(source.Name(), path);

  // Backward and forward, in any order.
  for (uint32_t block : {5u, 1u, 3u, 2u, 4u, 1u}) {
    EXPECT_EQ(ReadBlock(source, block), Slice(volume, block * 2048, 2048)) << block;
  }
  // Records that cross sector boundaries.
  Bytes records(3 * 1000);
  ASSERT_TRUE(Seek(source, 1, 1000, 1));
  ASSERT_TRUE(ReadRecords(source, records.data(), 1000, 3));
  EXPECT_EQ(records, Slice(volume, 2048 + 1000, 3000));
  EXPECT_EQ(source.CurrentBlock(), 1u);
  EXPECT_EQ(source.CurrentRecord(), 4u);
  // Reading past the end of the image fails like a short read.
  Bytes block(2048);
  EXPECT_FALSE(Seek(source, 7, 2048, 0) && ReadRecords(source, block.data(), 2048, 1));
}

INSTANTIATE_TEST_SUITE_P(AllFramings, FramingTest,
                         ::testing::Values(Framing{"plain2048", false, false},
                                           Framing{"gzip2048", false, true},
                                           Framing{"plainRaw", true, false},
                                           Framing{"gzipRaw", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpenImageFileTest, LabelBehindJunkIsFoundAtItsAlignedOffset) {
  TempFolder temp;
  Bytes volume = SampleVolume();
  for (bool gzip : {false, true}) {
    for (size_t k : {1u, 3u}) {
      Bytes image = testkit::Pattern(k * 2048, 3);
      image[0] = 0;  // not a gzip magic by chance
      image = testkit::Concat(image, volume);
      std::string path = temp / "junk";
      gzip ? testkit::WriteGzip(path, image) : testkit::WriteBytes(path, image);
      ImageSource source;
      ASSERT_TRUE(OpenImageFile(source, path));
      EXPECT_EQ(source.LabelOffset(), k * 2048);
      EXPECT_EQ(ReadBlock(source, 2), Slice(volume, 2 * 2048, 2048));
    }
  }
}

TEST(OpenImageFileTest, MisalignedHeadIsPassedOver) {
  TempFolder temp;
  Bytes volume = SampleVolume();
  Bytes image(4096, 0);
  const uint8_t head[] = {1, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 1, 0};
  std::copy(std::begin(head), std::end(head), image.begin() + 1000);  // multiple of 4, not 2048
  image = testkit::Concat(image, volume);
  testkit::WriteBytes(temp / "img", image);
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "img"));
  EXPECT_EQ(source.LabelOffset(), 4096u);
}

TEST(OpenImageFileTest, LabelDirectlyBehindAHeadWordIsMissed) {
  TempFolder temp;
  Bytes volume = SampleVolume();
  Bytes image(2048, 0);
  image[2044] = 1;
  image[2045] = image[2046] = image[2047] = 0x5A;
  image = testkit::Concat(image, volume);
  testkit::WriteBytes(temp / "img", image);
  ImageSource source;
  EXPECT_EQ(OpenImageFile(source, temp / "img").Failure().failure, OpenFailure::kNoLabel);
  EXPECT_FALSE(source.IsOpen());
}

TEST(OpenImageFileTest, RefusalsAreToldApart) {
  TempFolder temp;
  ImageSource source;
  EXPECT_EQ(OpenImageFile(source, temp / "missing").Failure().failure, OpenFailure::kCannotOpen);

  Bytes shortImage = Slice(SampleVolume(), 0, 2351);
  testkit::WriteBytes(temp / "short", shortImage);
  EXPECT_EQ(OpenImageFile(source, temp / "short").Failure().failure, OpenFailure::kTooShort);
  testkit::WriteGzip(temp / "short.gz", shortImage);
  EXPECT_EQ(OpenImageFile(source, temp / "short.gz").Failure().failure, OpenFailure::kTooShort);

  testkit::WriteBytes(temp / "zeros", Bytes(100000, 0));
  EXPECT_EQ(OpenImageFile(source, temp / "zeros").Failure().failure, OpenFailure::kNoLabel);

  testkit::ImageBuilder zeroBlocks(2);
  testkit::LabelFields label;
  label.blockSize = 0;
  zeroBlocks.Label(label);
  testkit::WriteBytes(temp / "zero", zeroBlocks.Image());
  EXPECT_EQ(OpenImageFile(source, temp / "zero").Failure().failure, OpenFailure::kBlockSizeZero);
  testkit::WriteBytes(temp / "zero.raw", testkit::RawFraming(zeroBlocks.Image()));
  EXPECT_EQ(OpenImageFile(source, temp / "zero.raw").Failure().failure, OpenFailure::kBlockSizeZero);

  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.Name(), "");  // no refusal takes the name it was asked to open
  // The refused source stays closed: closing it again is harmless, and it reads nothing.
  Close(source);
  uint8_t byte;
  EXPECT_FALSE(Seek(source, 0, 0, 0));
  EXPECT_FALSE(ReadRecords(source, &byte, 1, 1));
}

TEST(OpenImageFileTest, RawHeadElsewhereIsSearchedAsPlainFraming) {
  TempFolder temp;
  Bytes raw = testkit::RawFraming(SampleVolume());
  raw[16] = 0;  // the raw test fails; the label at 2352n + 16 is never 2048-aligned
  testkit::WriteBytes(temp / "img", raw);
  ImageSource source;
  EXPECT_EQ(OpenImageFile(source, temp / "img").Failure().failure, OpenFailure::kNoLabel);
}

TEST(SeekTest, NormalisingCarriesWholeBlocksOnly) {
  TempFolder temp;
  testkit::ImageBuilder image(16);
  image.Label({});
  testkit::WriteBytes(temp / "img", image.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "img"));
  ASSERT_TRUE(Seek(source, 7, 2048, 3));
  EXPECT_EQ(source.CurrentBlock(), 10u);
  EXPECT_EQ(source.CurrentRecord(), 0u);
  ASSERT_TRUE(Seek(source, 0, 132, 16));
  EXPECT_EQ(source.CurrentBlock(), 0u);
  EXPECT_EQ(source.CurrentRecord(), 16u);
  // A 132-byte read from block 0 leaves (0, 1); a block seek repositions.
  uint8_t label[132];
  ASSERT_TRUE(Seek(source, 0, 0, 0));
  ASSERT_TRUE(ReadRecords(source, label, 132, 1));
  EXPECT_EQ(source.CurrentBlock(), 0u);
  EXPECT_EQ(source.CurrentRecord(), 1u);
  Bytes block(2048);
  ASSERT_TRUE(Seek(source, 0, 2048, 0));
  ASSERT_TRUE(ReadRecords(source, block.data(), 2048, 1));
  EXPECT_EQ(Slice(block, 0, 132), Bytes(label, label + 132));
  EXPECT_EQ(source.CurrentBlock(), 1u);
  EXPECT_EQ(source.CurrentRecord(), 0u);
}

TEST(SeekTest, RawImageIsReadToItsLastByte) {
  TempFolder temp;
  Bytes volume = SampleVolume();
  testkit::WriteBytes(temp / "img", testkit::RawFraming(volume));
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "img"));
  // The last block reads whole; only a read past it fails.
  EXPECT_EQ(ReadBlock(source, 6), Slice(volume, 6 * 2048, 2048));
  uint8_t byte;
  EXPECT_FALSE(ReadRecords(source, &byte, 1, 1));
  // A read that ends at a sector's end does not load the next sector before it is wanted.
  Bytes two(4096);
  ASSERT_TRUE(Seek(source, 1, 2048, 0));
  ASSERT_TRUE(ReadRecords(source, two.data(), 2048, 2));
  EXPECT_EQ(two, Slice(volume, 2048, 4096));
}

TEST(OpenImageFileTest, InputsThatNeverEndAreRefusedAtOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs (mkfifo) and /dev/zero are POSIX's";
#else
  TempFolder temp;
  ASSERT_EQ(mkfifo((temp / "pipe").c_str(), 0600), 0);  // no writer: opening it would wait forever
  std::filesystem::create_directory(temp.Path() / "folder");
  for (const std::string& path : {temp / "pipe", std::string("/dev/zero"), temp / "folder"}) {
    ImageSource source;
    const OpenStatus opened = OpenImageFile(source, path);
    ASSERT_FALSE(opened) << path;
    EXPECT_EQ(opened.Failure().failure, OpenFailure::kNotAFile) << path;
  }
  ImageSource source;
  EXPECT_EQ(OpenImageFile(source, temp / "folder").Failure().text, "is a folder");
#endif
}

TEST(OpenImageFileTest, ACueSheetsTrackFileIsCheckedLikeTheImage) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs (mkfifo) and /dev/zero are POSIX's";
#else
  TempFolder temp;
  ASSERT_EQ(mkfifo((temp / "pipe.bin").c_str(), 0600), 0);  // no writer: a waiting open would hang
  testkit::FifoGuard guard(temp / "pipe.bin");
  std::filesystem::create_directory(temp.Path() / "folder.bin");
  const std::pair<std::string, std::string> tracks[] = {
      {"pipe.bin", "is a FIFO, not a regular file or a drive; reading it may never end"},
      {"/dev/zero", "is a character device, not a regular file or a drive; reading it may never end"},
      {"folder.bin", "is a folder, not a regular file or a drive"}};
  for (const auto& [name, reason] : tracks) {
    testkit::WriteText(temp / "game.cue",
                       "FILE \"" + name + "\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
    ImageSource source;
    const OpenStatus opened = OpenImageFile(source, temp / "game.cue");
    ASSERT_FALSE(opened) << name;
    EXPECT_EQ(opened.Failure().failure, OpenFailure::kContainer) << name;
    EXPECT_EQ(opened.Failure().text, "track file " + name + ": cannot be opened (" + reason + ")");
  }
  EXPECT_FALSE(guard.Unblocked());
#endif
}

}  // namespace
}  // namespace zanthrel
