// The gzip side of the image stream: members, damage and the spool.
#include "source/image_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "source/image_source.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/scratch_folder.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::Slice;
using testkit::TempFolder;

Bytes Gzip(const Bytes& data) {
  Bytes out(compressBound(uLong(data.size())) + 64);
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  stream.next_in = const_cast<uint8_t*>(data.data());
  stream.avail_in = uInt(data.size());
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Everything the stream gives, read in steps of an odd size.
Bytes ReadAll(ImageStream& stream) {
  Bytes all;
  uint8_t chunk[70001];
  for (int64_t n; (n = stream.Read(chunk, sizeof chunk)) > 0;) all.insert(all.end(), chunk, chunk + n);
  return all;
}

std::unique_ptr<ImageStream> OpenStream(Host& host, const std::string& path) {
  Result<std::unique_ptr<ImageStream>> stream = ImageStream::Open(host, path);
  EXPECT_TRUE(stream) << (stream ? "" : stream.Failure().text);
  return stream ? std::move(*stream) : nullptr;
}

TEST(GzipStreamTest, MembersFollowOneAnotherAndTrailingBytesEndTheData) {
  TempFolder temp;
  const Bytes first = testkit::Pattern(300000, 1), second = testkit::Pattern(5, 2);
  testkit::WriteBytes(temp / "two.gz", testkit::Concat(Gzip(first), Gzip(second)));
  std::unique_ptr<ImageStream> two = OpenStream(SystemHost(), temp / "two.gz");
  ASSERT_TRUE(two);
  EXPECT_EQ(ReadAll(*two), testkit::Concat(first, second));

  const Bytes garbage = {0x1F, 0x00, 'x', 'y'};
  testkit::WriteBytes(temp / "trailing.gz", testkit::Concat(Gzip(first), garbage));
  std::unique_ptr<ImageStream> trailing = OpenStream(SystemHost(), temp / "trailing.gz");
  ASSERT_TRUE(trailing);
  EXPECT_EQ(ReadAll(*trailing), first);
}

TEST(GzipStreamTest, DamageEndsTheDataWhereItStandsAndBackwardReadsComeFromTheSpool) {
  TempFolder temp;
  const Bytes data = testkit::Pattern(1 << 20, 3);
  Bytes packed = Gzip(data);
  packed.resize(packed.size() / 2);  // cut short
  testkit::WriteBytes(temp / "cut.gz", packed);
  std::unique_ptr<ImageStream> cut = OpenStream(SystemHost(), temp / "cut.gz");
  ASSERT_TRUE(cut);
  const Bytes got = ReadAll(*cut);
  ASSERT_GT(got.size(), 100000u);
  ASSERT_LT(got.size(), data.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));

  // Backward, after the data has ended: the spool still has every byte.
  cut->Seek(12345);
  uint8_t back[100];
  ASSERT_EQ(cut->Read(back, sizeof back), 100);
  EXPECT_TRUE(std::equal(back, back + 100, data.begin() + 12345));
}

TEST(GzipStreamTest, SpoolThatCannotBeMadeIsTheHostsFailure) {
  TempFolder temp;
  testkit::WriteBytes(temp / "image.gz", Gzip(testkit::Pattern(10000, 4)));
  testkit::FaultyHost host;
  host.Add({testkit::HostCall::kCreateScratchFile, "", ENOSPC});
  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, temp / "image.gz", host);
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Failure().failure, OpenFailure::kCannotOpen);
  EXPECT_EQ(opened.Failure().text, "cannot be opened (" + ErrorText(ENOSPC) + ")");
}

TEST(GzipStreamTest, NothingBeforeTheLabelIsSpooled) {
  TempFolder temp;
  std::filesystem::create_directory(temp.Path() / "scratch");
  const std::string scratch = temp / "scratch";
  testkit::ScratchFolderOverride scratchFolder(scratch);
  testkit::ImageBuilder volume(4);
  volume.Label({});
  volume.Data(1, testkit::Pattern(3 * 2048, 6));
  const Bytes zeros(16 << 20, 0);
  // 16 MiB of nothing before the label, then the volume; and the same without a volume.
  testkit::WriteBytes(temp / "late.gz", Gzip(testkit::Concat(zeros, volume.Image())));
  testkit::WriteBytes(temp / "nothing.gz", Gzip(zeros));
  testkit::FaultyHost host;
  uint64_t searched = 0, compressed = 0;
  ImageSource late;
  const OpenStatus opened = OpenImageFile(late, temp / "late.gz", host,
                                          [&](uint64_t done, uint64_t total) { searched = done, compressed = total; });
  ASSERT_TRUE(opened) << opened.Failure().text;
  EXPECT_EQ(late.LabelOffset(), zeros.size());
  Bytes block(2048);
  ASSERT_TRUE(Seek(late, 3, 2048, 0));
  ASSERT_TRUE(ReadRecords(late, block.data(), 2048, 1));
  EXPECT_EQ(block, Slice(volume.Image(), 3 * 2048, 2048));
  EXPECT_LE(host.WrittenEnd(scratch), volume.Image().size());  // the volume, not the zeros
  EXPECT_GT(searched, 0u);
  EXPECT_EQ(compressed, std::filesystem::file_size(temp.Path() / "late.gz"));

  ImageSource nothing;
  EXPECT_EQ(OpenImageFile(nothing, temp / "nothing.gz", host).Failure().failure, OpenFailure::kNoLabel);
}

}  // namespace
}  // namespace zanthrel
