// Every container the image source reads gives the same volume as the plain
// image: the same listing, the same decompiled tree, and `convert` gives the
// plain image back byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "decompile/decompile_run.h"
#include "source/disc_image.h"
#include "source/image_source.h"
#include "source/sector_check.h"
#include "testkit/cd_sectors.h"
#include "testkit/chd_builder.h"
#include "testkit/container_disc.h"
#include "testkit/image_builder.h"
#include "testkit/nrg_builder.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"
#include "volume/listing.h"
#include "workflow/convert_job.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::Concat;
using testkit::FileEntry;

// Writes a container of `image` into the folder and gives the path to open;
// empty when the tool it needs is missing.
using Writer = std::function<std::string(const std::string& folder, const Bytes& image)>;

struct Variant {
  const char* name;
  Writer write;
  const char* container;  // the start of what the source says it read
};

std::string Put(const std::string& path, const Bytes& bytes) {
  testkit::WriteBytes(path, bytes);
  return path;
}

std::string Cue(const std::string& folder, const std::string& text) {
  testkit::WriteText(folder + "/game.cue", text);
  return folder + "/game.cue";
}

Writer CueSet(bool filePerTrack) {
  return [=](const std::string& folder, const Bytes& image) {
    return testkit::WriteCueSet(folder, "Game (Europe)", image, filePerTrack);
  };
}

Writer OneTrackCue(const std::string& mode, std::function<Bytes(const Bytes&)> records) {
  return [=](const std::string& folder, const Bytes& image) {
    Put(folder + "/it's data.bin", records(image));
    const std::string head = "\xEF\xBB\xBFREM made by hand\r\nFILE \"it's data.bin\" BINARY\r\n";
    return Cue(folder, head + "  TRACK 01 " + mode + "\r\n    PREGAP 00:02:00\r\n    INDEX 01 00:00:00\r\n");
  };
}

// An audio track and the data track after it in one file, with records of
// two sizes and a pregap stored in 2048-byte records.
std::string AudioThenCookedData(const std::string& folder, const Bytes& image) {
  Put(folder + "/disc.img", Concat(Concat(testkit::AudioFrames(100, 9), Bytes(2 * 2048, 0)), image));
  return Cue(folder,
             "file disc.img binary\rtrack 01 audio\rindex 01 00:00:00\rtrack 02 mode1/2048\r"
             "index 00 00:01:25\rindex 01 00:01:27\r");
}

Bytes Cooked(const Bytes& image) { return testkit::Padded(image); }
Bytes Mode1(const Bytes& image) { return testkit::Mode1Sectors(image); }
Bytes Mode2(const Bytes& image) { return testkit::Mode2Form1Sectors(image); }
Bytes Mode2Records(const Bytes& image) { return testkit::WithoutSyncAndHeader(Mode2(image)); }

// 96 bytes of subcode after every raw sector.
Bytes WithSubcode(const Bytes& raw) {
  Bytes out;
  for (size_t at = 0; at < raw.size(); at += 2352) {
    out.insert(out.end(), raw.begin() + long(at), raw.begin() + long(at + 2352));
    out.insert(out.end(), 96, 0x5A);
  }
  return out;
}

Writer Nrg(int version, bool trackAtOnce, uint8_t mode, uint16_t size,
           std::function<Bytes(const Bytes&)> records, bool audioFirst = false) {
  return [=](const std::string& folder, const Bytes& image) {
    std::vector<testkit::NrgTrackData> tracks;
    const testkit::NrgTrackData audio{0x07, 2352, testkit::AudioFrames(150, 4), testkit::AudioFrames(80, 5)};
    if (audioFirst) tracks.push_back(audio);
    tracks.push_back({mode, size, audioFirst ? Bytes() : records(Bytes(150 * 2048, 0)), records(image)});
    if (!audioFirst) tracks.push_back(audio);
    return Put(folder + "/game.nrg", testkit::BuildNrg(tracks, {version, trackAtOnce}));
  };
}

// chdman's CHD of what `cueSet` writes, a Redump set by default.
Writer Chdman(const std::string& options, Writer cueSet = CueSet(true)) {
  return [=](const std::string& folder, const Bytes& image) -> std::string {
    if (!testkit::ProgramAvailable("chdman")) return "";
    const std::string cue = cueSet(folder, image);
    const testkit::ProcessOutcome made =
        testkit::RunProgram("chdman", "createcd -i '" + cue + "' -o '" + folder + "/game.chd' " + options);
    EXPECT_EQ(made.status, 0) << made.out << made.err;
    return folder + "/game.chd";
  };
}

Writer BuiltChd(const std::string& codec, const std::string& type, uint32_t frameBytes,
                std::function<Bytes(const Bytes&)> frames, testkit::ChdOptions options) {
  options.codec = codec;
  return [=](const std::string& folder, const Bytes& image) {
    const std::vector<testkit::ChdTrackData> tracks = {{"AUDIO", 2352, testkit::AudioFrames(14, 8)},
                                                       {type, frameBytes, frames(image)}};
    return Put(folder + "/game.chd", testkit::BuildChd(tracks, options));
  };
}

testkit::ChdOptions Options(uint32_t framesPerHunk, std::vector<size_t> stored) {
  testkit::ChdOptions options;
  options.framesPerHunk = framesPerHunk;
  options.storedHunks = std::move(stored);
  return options;
}

const Variant kVariants[] = {
    {"CueOneFilePerTrack", CueSet(true), "cue sheet, track 1 (MODE1/2352) in Game (Europe) (Track 1).bin"},
    {"CueOneFileForAllTracks", CueSet(false), "cue sheet, track 1 (MODE1/2352) in Game (Europe).bin"},
    {"CueMode1Cooked", OneTrackCue("MODE1/2048", Cooked), "cue sheet, track 1 (MODE1/2048)"},
    {"CueMode2Cooked", OneTrackCue("mode2/2048", Cooked), "cue sheet, track 1 (MODE2/2048)"},
    {"CueMode2Raw", OneTrackCue("MODE2/2352", Mode2), "cue sheet, track 1 (MODE2/2352)"},
    {"CueMode2Records", OneTrackCue("MODE2/2336", Mode2Records), "cue sheet, track 1 (MODE2/2336)"},
    {"CueCdiRaw", OneTrackCue("CDI/2352", Mode2), "cue sheet, track 1 (CDI/2352)"},
    {"CueCdiRecords", OneTrackCue("CDI/2336", Mode2Records), "cue sheet, track 1 (CDI/2336)"},
    {"CueAudioThenData", AudioThenCookedData, "cue sheet, track 2 (MODE1/2048) in disc.img"},
    {"RawMode1", [](const std::string& f, const Bytes& i) { return Put(f + "/game.bin", Mode1(i)); },
     "raw 2352"},
    {"RawMode2", [](const std::string& f, const Bytes& i) { return Put(f + "/game.bin", Mode2(i)); },
     "raw 2352, MODE2"},
    {"RawMode2Records",
     [](const std::string& f, const Bytes& i) { return Put(f + "/game.bin", Mode2Records(i)); },
     "raw 2336, MODE2"},
    {"NrgV2Cooked", Nrg(2, false, 0x00, 2048, Cooked), "NRG v2 (DAO), track 1, mode 0x00 (2048-byte"},
    {"NrgV2Mode2Raw", Nrg(2, false, 0x06, 2352, Mode2), "NRG v2 (DAO), track 1, mode 0x06 (2352-byte"},
    {"NrgV2Mode2Records", Nrg(2, false, 0x03, 2336, Mode2Records), "NRG v2 (DAO), track 1, mode 0x03"},
    {"NrgV2Mode2Subcode", Nrg(2, false, 0x11, 2448, [](const Bytes& i) { return WithSubcode(Mode2(i)); }),
     "NRG v2 (DAO), track 1, mode 0x11 (2448-byte"},
    {"NrgV2AudioFirst", Nrg(2, false, 0x05, 2352, Mode1, true), "NRG v2 (DAO), track 2, mode 0x05"},
    {"NrgV2TrackAtOnce", Nrg(2, true, 0x06, 2352, Mode2), "NRG v2 (TAO), track 1, mode 0x06"},
    {"NrgV1Mode1Raw", Nrg(1, false, 0x05, 2352, Mode1), "NRG v1 (DAO), track 1, mode 0x05"},
    {"NrgV1Mode1Subcode", Nrg(1, false, 0x0F, 2448, [](const Bytes& i) { return WithSubcode(Mode1(i)); }),
     "NRG v1 (DAO), track 1, mode 0x0F"},
    {"NrgV1TrackAtOnce", Nrg(1, true, 0x00, 2048, Cooked), "NRG v1 (TAO), track 1, mode 0x00"},
    {"ChdmanDefault", Chdman(""), "CHD v5 (cdlz, cdzl, cdfl), track 1 of 2 (MODE1_RAW)"},
    {"ChdmanCdzl", Chdman("-c cdzl"), "CHD v5 (cdzl), track 1 of 2"},
    {"ChdmanCdlz", Chdman("-c cdlz"), "CHD v5 (cdlz), track 1 of 2"},
    {"ChdmanCdfl", Chdman("-c cdfl"), "CHD v5 (cdfl), track 1 of 2"},
    {"ChdmanUncompressed", Chdman("-c none"), "CHD v5 (uncompressed), track 1 of 2"},
    {"ChdmanSmallHunks", Chdman("-hs 4896"), "CHD v5 (cdlz, cdzl, cdfl), track 1 of 2"},
    {"ChdmanLargeHunks", Chdman("-hs 78336"), "CHD v5 (cdlz, cdzl, cdfl), track 1 of 2"},
    {"ChdmanGenericCodecs", Chdman("-c zlib,lzma,huff,flac"), "CHD v5 (zlib, lzma, huff, flac)"},
    {"ChdmanHuffman", Chdman("-c huff"), "CHD v5 (huff)"},
    {"ChdmanFlac", Chdman("-c flac"), "CHD v5 (flac)"},
    {"ChdmanMode2Raw", Chdman("", OneTrackCue("MODE2/2352", Mode2)),
     "CHD v5 (cdlz, cdzl, cdfl), track 1 of 1 (MODE2_RAW)"},
    {"ChdCdzsWithCopies", BuiltChd("cdzs", "MODE1", 2048, Cooked, Options(8, {})),
     "CHD v5 (cdzs), track 2 of 2 (MODE1)"},
    {"ChdZstdStoredHunks", BuiltChd("zstd", "MODE1_RAW", 2352, Mode1, Options(4, {3, 4, 9})),
     "CHD v5 (zstd), track 2 of 2 (MODE1_RAW)"},
    {"ChdCdzsMode2Raw", BuiltChd("cdzs", "MODE2_RAW", 2352, Mode2, Options(2, {})),
     "CHD v5 (cdzs), track 2 of 2 (MODE2_RAW)"},
};

std::vector<std::string> Listing(ImageSource& source) {
  TreeListing listing;
  EXPECT_TRUE(ListTree(source, listing));
  EXPECT_TRUE(listing.unreadableFolders.empty());
  std::vector<std::string> lines;
  for (const ListedEntry& e : listing.entries) {
    lines.push_back(e.path + " " + std::to_string(e.flags) + " " + std::to_string(e.byteCount) + " " +
                    std::to_string(e.blockCount) + " " + std::to_string(e.copies) + " " +
                    std::to_string(e.firstBlock));
  }
  return lines;
}

// What GoogleTest and CTest show of a case, instead of the record's bytes.
void PrintTo(const Variant& variant, std::ostream* out) { *out << variant.container; }

class ContainerTest : public ::testing::TestWithParam<Variant> {};

TEST_P(ContainerTest, GivesThePlainImagesVolume) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const std::string path = GetParam().write(temp.Path().string(), image);
  if (path.empty()) GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed";

  ImageSource plain, source;
  ASSERT_TRUE(OpenImageFile(plain, Put(temp / "plain.iso", image)));
  const OpenStatus opened = OpenImageFile(source, path);
  ASSERT_TRUE(opened) << opened.Failure().text;
  EXPECT_EQ(source.Container().rfind(GetParam().container, 0), 0u) << source.Container();
  EXPECT_EQ(Listing(source), Listing(plain));

  ASSERT_TRUE(DecompileImage(plain, temp / "plain", temp / "plain.log").Succeeded());
  ASSERT_TRUE(DecompileImage(source, temp / "out", temp / "out.log").Succeeded());
  EXPECT_EQ(testkit::TreeOf(temp / "out"), testkit::TreeOf(temp / "plain"));

  const ConvertReport converted = ConvertImage(path, temp / "converted.iso");
  ASSERT_EQ(converted.failure, "");
  EXPECT_TRUE(testkit::ReadBytes(temp / "converted.iso") == image);
}

// Opened as a whole disc, the container says the same as the image source,
// and its volume's track holds the image's sectors whole, every one intact
// as a drive would check it, after the pregap the container stores.
TEST_P(ContainerTest, OpensAsADiscWhoseVolumeTrackHoldsTheImageWhole) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const std::string path = GetParam().write(temp.Path().string(), image);
  if (path.empty()) GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed";

  Result<std::unique_ptr<DiscImage>> opened = OpenDiscImage(SystemHost(), path);
  ASSERT_TRUE(opened) << opened.Failure().text;
  DiscImage& disc = **opened;
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, path));
  EXPECT_EQ(disc.Description(), source.Container());

  const size_t volume = disc.VolumeTrack();
  ASSERT_LT(volume, disc.Tracks().size());
  const DiscTrack& track = disc.Tracks()[volume];
  ASSERT_NE(track.mode, FrameMode::kAudio);
  Bytes frames(track.frames * 2352);
  Result<size_t> read = disc.ReadFrames(volume, 0, size_t(track.frames), frames.data());
  ASSERT_TRUE(read) << read.Failure().text;
  ASSERT_EQ(*read, track.frames);
  const int mode = track.mode == FrameMode::kMode1 ? 1 : 2;
  Bytes user;
  for (uint64_t f = track.storedPregap; f < track.frames; ++f) {
    uint8_t* frame = frames.data() + f * 2352;
    ASSERT_EQ(frame[15], mode) << f;
    ASSERT_EQ(CheckRawSector(frame, mode), SectorCondition::kIntact) << f;
    user.insert(user.end(), frame + (mode == 1 ? 16 : 24), frame + (mode == 1 ? 16 : 24) + 2048);
  }
  EXPECT_TRUE(user == testkit::Padded(image));
}

INSTANTIATE_TEST_SUITE_P(EveryContainer, ContainerTest, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertTest, APlainImageComesOutWholeFromItsFirstByte) {
  testkit::TempFolder temp;
  const Bytes image = Concat(testkit::Pattern(3 * 2048, 1), testkit::MakeContainerDisc().image);
  testkit::WriteBytes(temp / "behind.iso", image);
  testkit::WriteGzip(temp / "behind.iso.gz", image);
  for (const char* name : {"behind.iso", "behind.iso.gz"}) {
    const ConvertReport converted = ConvertImage(temp / name, temp / "out.iso");
    ASSERT_EQ(converted.failure, "") << name;
    EXPECT_EQ(converted.container, "") << name;
    EXPECT_TRUE(testkit::ReadBytes(temp / "out.iso") == image) << name;
  }
}

// Read once from the first byte, a gzip image longer than what is kept of
// it before the label is known still comes out whole, plain and raw alike.
TEST(ConvertTest, AGzipImageOfMegabytesComesOutWholeAsDecompileReadsIt) {
  testkit::TempFolder temp;
  const Bytes big = testkit::Pattern(3000000, 7);
  testkit::ImageBuilder builder(2 + uint32_t(big.size() + 2047) / 2048);
  builder.Label({});
  builder.Directory(1, {FileEntry("big.bin", 2, uint32_t(big.size())), testkit::LabelEntry()});
  builder.Data(2, big);
  const Bytes& image = builder.Image();
  testkit::WriteGzip(temp / "plain.iso.gz", image);
  testkit::WriteGzip(temp / "raw.bin.gz", testkit::Mode1Sectors(image));
  for (const char* name : {"plain.iso.gz", "raw.bin.gz"}) {
    const ConvertReport converted = ConvertImage(temp / name, temp / "out.iso");
    ASSERT_EQ(converted.failure, "") << name;
    EXPECT_EQ(converted.bytes, image.size()) << name;
    EXPECT_TRUE(testkit::ReadBytes(temp / "out.iso") == image) << name;

    ImageSource source;
    ASSERT_TRUE(OpenImageFile(source, temp / name)) << name;
    ASSERT_TRUE(DecompileImage(source, temp / "tree", temp / "tree.log").Succeeded()) << name;
    EXPECT_TRUE(testkit::ReadBytes(temp / "tree/big.bin") == big) << name;
    std::filesystem::remove_all(testkit::PathOf(temp / "tree"));
  }
}

}  // namespace
}  // namespace zanthrel
