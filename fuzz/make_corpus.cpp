// Writes the seed inputs of the fuzzers: small images built record by record,
// record blocks and names, cue sheets, NRG images and CHDs of a small image.
//   make_corpus FOLDER
#include <filesystem>
#include <string>

#include "testkit/cd_sectors.h"
#include "testkit/chd_builder.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/mastered_disc.h"
#include "testkit/nrg_builder.h"
#include "volume/layout_file.h"
#include "volume/layout_scan.h"

namespace {

namespace fs = std::filesystem;
using zanthrel::testkit::Bytes;
using zanthrel::testkit::ImageBuilder;

Bytes Example() {
  ImageBuilder image(8);
  image.Label({});
  image.Directory(1, {zanthrel::testkit::FileEntry("X", 3, 5000), zanthrel::testkit::DirEntry("Y", 2),
                      zanthrel::testkit::LabelEntry()});
  image.Directory(2, {zanthrel::testkit::FileEntry("a:b?", 6, 10)});
  image.Data(3, zanthrel::testkit::Pattern(4 * 2048, 1));
  return image.Image();
}

Bytes MultiBlock() {
  ImageBuilder image(6);
  zanthrel::testkit::LabelFields label;
  label.rootBlockCount = 2;
  label.rootCopies = {1, 3};
  image.Label(label);
  image.Directory(1, {zanthrel::testkit::FileEntry("one", 5, 3)}, zanthrel::testkit::Links(1, 0xFFFFFFFF));
  zanthrel::testkit::EntryFields copies = zanthrel::testkit::FileEntry("two", 5, 3);
  copies.copies = {4, 5, 5};
  image.Directory(2, {copies}, zanthrel::testkit::Links(0xFFFFFFFF, 0));
  image.Directory(3, {zanthrel::testkit::DirEntry("..", 1)});
  return image.Image();
}

void Write(const fs::path& folder, const std::string& name, uint8_t prefix, const Bytes& bytes) {
  Bytes seed(1, prefix);
  seed.insert(seed.end(), bytes.begin(), bytes.end());
  zanthrel::testkit::WriteBytes((folder / name).string(), seed);
}

void WriteContainers(const fs::path& root, const Bytes& image) {
  using namespace zanthrel::testkit;
  WriteText((root / "cue/redump").string(),
            "FILE \"Game (Track 1).bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n"
            "FILE \"Game (Track 2).bin\" BINARY\r\n  TRACK 02 AUDIO\r\n    INDEX 00 00:00:00\r\n"
            "    INDEX 01 00:02:00\r\n");
  WriteText((root / "cue/one-file").string(),
            "\xEF\xBB\xBFREM x\rFILE disc.bin BINARY\rTRACK 1 AUDIO\rINDEX 01 0\rTRACK 2 MODE2/2336\r"
            "PREGAP 00:02:00\rINDEX 00 00:10:00\rINDEX 01 00:12:00\rPOSTGAP 1\r");
  const NrgTrackData audio{0x07, 2352, AudioFrames(2, 1), AudioFrames(3, 2)};
  WriteBytes((root / "nrg/v2-dao").string(),
             BuildNrg({{0x06, 2352, Bytes(2 * 2352, 0), Mode2Form1Sectors(image)}, audio}, {2, false}));
  WriteBytes((root / "nrg/v1-dao").string(), BuildNrg({audio, {0x05, 2352, {}, Mode1Sectors(image)}}, {1, false}));
  WriteBytes((root / "nrg/v2-tao").string(), BuildNrg({{0x00, 2048, {}, Padded(image)}}, {2, true}));
  WriteBytes((root / "nrg/v1-tao").string(), BuildNrg({{0x03, 2336, {}, WithoutSyncAndHeader(Mode2Form1Sectors(image))}}, {1, true}));
  ChdOptions options;
  options.framesPerHunk = 2;
  options.storedHunks = {1};
  const ChdTrackData chdAudio{"AUDIO", 2352, AudioFrames(3, 3)};
  WriteBytes((root / "chd/cdzs").string(), BuildChd({chdAudio, {"MODE1", 2048, Padded(image)}}, options));
  options.codec = "zstd";
  WriteBytes((root / "chd/zstd").string(), BuildChd({{"MODE1_RAW", 2352, Mode1Sectors(image)}, chdAudio}, options));
}

// The layouts of the example and of the mastered disc, read from their images.
bool WriteLayouts(const fs::path& root) {
  const fs::path image = root / "layout.iso";
  const std::pair<const char*, Bytes> discs[] = {{"example", Example()},
                                                 {"mastered", zanthrel::testkit::MakeMasteredDisc().image}};
  for (const auto& [name, bytes] : discs) {
    zanthrel::testkit::WriteBytes(image.string(), bytes);
    zanthrel::ImageSource source;
    if (!zanthrel::OpenImageFile(source, image.string())) return false;
    zanthrel::Result<zanthrel::DiscLayout> layout = zanthrel::ScanLayout(source, {});
    if (!layout) return false;
    layout->blocksFile = "disc.blocks";
    layout->patches = {{0, 1, 0}};
    zanthrel::testkit::WriteText((root / "layout" / name).string(), zanthrel::LayoutText(*layout));
  }
  fs::remove(image);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const fs::path root = argv[1];
  for (const char* target : {"decompile", "describe", "names", "mount", "cue", "nrg", "chd", "layout"}) {
    fs::create_directories(root / target);
  }
  for (uint8_t gzip : {0, 1}) {
    const std::string suffix = gzip ? "-gzip" : "-plain";
    Write(root / "decompile", "example" + suffix, gzip, Example());
    Write(root / "decompile", "multiblock" + suffix, gzip, MultiBlock());
    Write(root / "decompile", "raw" + suffix, gzip, zanthrel::testkit::RawFraming(Example()));
  }
  const Bytes example = Example();
  // A mount seed: the path's length, the path, the image.
  const std::string path = "/Y/a!3Ab!3F";
  Bytes mountSeed(path.begin(), path.end());
  mountSeed.insert(mountSeed.end(), example.begin(), example.end());
  Write(root / "mount", "example", uint8_t(path.size()), mountSeed);
  Write(root / "mount", "multiblock", 0, MultiBlock());
  zanthrel::testkit::WriteBytes((root / "describe/label").string(), Bytes(example.begin(), example.begin() + 132));
  Write(root / "describe", "root-block", 0, Bytes(example.begin() + 2048, example.begin() + 4096));
  Bytes entryAt = {0, 20};
  entryAt.insert(entryAt.end(), example.begin() + 2048, example.begin() + 4096);
  zanthrel::testkit::WriteBytes((root / "describe/entry").string(), entryAt);
  int number = 0;
  for (const char* name : {"Disc label", "a:b?", "..", "wall w/ light", "x!41y", "\xC0\xFF\x98"}) {
    zanthrel::testkit::WriteText((root / "names" / std::to_string(++number)).string(), name);
  }
  WriteContainers(root, Example());
  return WriteLayouts(root) ? 0 : 1;
}
