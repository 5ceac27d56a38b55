// Writes the seed inputs of the fuzzers: small images built record by record,
// record blocks and names.
//   make_corpus FOLDER
#include <filesystem>
#include <string>

#include "testkit/files.h"
#include "testkit/image_builder.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const fs::path root = argv[1];
  for (const char* target : {"decompile", "describe", "names", "mount"}) fs::create_directories(root / target);
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
  return 0;
}
