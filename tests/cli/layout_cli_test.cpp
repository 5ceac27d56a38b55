// decompile --layout and compile --layout from the command line: every kind
// of source image comes back as its data track's 2048-byte form, and a change
// is told line by line and touches no more of the disc than it must.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/mastered_disc.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::RunZanthrel;

// The blocks of two images of 2048-byte blocks that differ, the longer's
// tail counted whole.
size_t DifferingBlocks(const Bytes& a, const Bytes& b) {
  size_t count = 0;
  for (size_t at = 0; at < std::max(a.size(), b.size()); at += 2048) {
    if (at + 2048 > a.size() || at + 2048 > b.size() ||
        !std::equal(a.begin() + long(at), a.begin() + long(at + 2048), b.begin() + long(at))) {
      ++count;
    }
  }
  return count;
}

class LayoutCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories("src/docs/deep");
    testkit::WriteBytes("src/LaunchMe", testkit::Pattern(100000, 1));
    testkit::WriteBytes("src/docs/manual.txt", testkit::TextBytes(9000, 2));
    testkit::WriteBytes("src/docs/deep/art.cel", testkit::Pattern(30000, 3));
    ASSERT_EQ(RunZanthrel("compile -q src disc.iso").status, 0);
    original_ = testkit::ReadBytes("disc.iso");
  }

  // decompile --layout into `out`, then compile --layout from it into `rebuilt`.
  testkit::ProcessOutcome RoundTrip(const std::string& source, const std::string& base, const std::string& out,
                                    const std::string& rebuilt) {
    const testkit::ProcessOutcome decompiled = RunZanthrel("decompile -q --layout -o " + out + " '" + source + "'");
    EXPECT_EQ(decompiled.status, 0) << decompiled.err;
    EXPECT_TRUE(fs::exists(out + "/" + base + ".layout.json"));
    return RunZanthrel("compile --layout " + out + "/" + base + ".layout.json " + out + "/PARCE_" + base + " " +
                       rebuilt);
  }

  testkit::TempFolder temp_;
  Bytes original_;
};

TEST_F(LayoutCliTest, EveryKindOfSourceGivesItsDataTrackBackByteForByte) {
  testkit::WriteGzip("packed.iso.gz", original_);
  testkit::WriteBytes("raw.bin", testkit::RawFraming(original_));
  const std::string cue = testkit::WriteCueSet(temp_.Path().string(), "cued", original_, true);
  const struct {
    std::string source;
    std::string base;
  } sources[] = {{"disc.iso", "disc"}, {"packed.iso.gz", "packed"}, {"raw.bin", "raw"}, {cue, "cued"}};
  for (const auto& source : sources) {
    const testkit::ProcessOutcome run = RoundTrip(source.source, source.base, "out-" + source.base, "re-" + source.base + ".iso");
    EXPECT_EQ(run.status, 0) << source.source << ": " << run.err;
    EXPECT_NE(run.err.find("blocks as in the original"), std::string::npos) << run.err;
    EXPECT_TRUE(testkit::ReadBytes("re-" + source.base + ".iso") == original_) << source.source;
  }

  // A disc zanthrel never makes: a file in two copies far apart, unclaimed
  // blocks holding data; and the output written as a container.
  const testkit::ContainerDisc disc = testkit::MakeContainerDisc();
  testkit::WriteBytes("other.iso", disc.image);
  EXPECT_EQ(RoundTrip("other.iso", "other", "out-other", "re-other.cue").status, 0);
  ASSERT_EQ(RunZanthrel("convert -q re-other.cue re-other.iso").status, 0);
  EXPECT_TRUE(testkit::ReadBytes("re-other.iso") == disc.image);

  // A mastered disc, in raw sectors.
  const Bytes mastered = testkit::MakeMasteredDisc().image;
  testkit::WriteBytes("mastered.bin", testkit::RawFraming(mastered));
  EXPECT_EQ(RoundTrip("mastered.bin", "mastered", "out-mastered", "re-mastered.iso").status, 0);
  EXPECT_TRUE(testkit::ReadBytes("re-mastered.iso") == mastered);
}

TEST_F(LayoutCliTest, OneChangedFileIsToldAndChangesFewBlocks) {
  ASSERT_EQ(RoundTrip("disc.iso", "disc", "out", "same.iso").status, 0);
  // Grown past its blocks: moved to the end, its old blocks left empty.
  testkit::WriteBytes("out/PARCE_disc/docs/manual.txt", testkit::TextBytes(12000, 5));
  testkit::ProcessOutcome run =
      RunZanthrel("compile -q --layout out/disc.layout.json out/PARCE_disc grown.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("zanthrel: moved docs/manual.txt"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("differ from the original, 6 added at its end"), std::string::npos) << run.err;
  const Bytes grown = testkit::ReadBytes("grown.iso");
  // Its five old blocks, the directory that names it, the label's block count, and the six added.
  EXPECT_LE(DifferingBlocks(original_, grown), 5u + 1u + 1u + 6u);
  run = RunZanthrel("verify grown.iso");
  EXPECT_EQ(run.status, 0) << run.out << run.err;

  // The same size: written in place, nothing moves.
  testkit::WriteBytes("out/PARCE_disc/docs/manual.txt", testkit::TextBytes(9000, 6));
  run = RunZanthrel("compile -q --layout out/disc.layout.json out/PARCE_disc inplace.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("moved"), std::string::npos) << run.err;
  EXPECT_LE(DifferingBlocks(original_, testkit::ReadBytes("inplace.iso")), 5u);
  ASSERT_EQ(RunZanthrel("decompile -q -o again inplace.iso").status, 0);
  EXPECT_EQ(testkit::TreeOf("again/PARCE_inplace"), testkit::TreeOf("out/PARCE_disc"));
}

TEST_F(LayoutCliTest, UnreadableBlockIsKeptAsZerosAndNamed) {
  // A sector of the boot area that neither its EDC nor its ECC can mend.
  Bytes raw = testkit::Mode1Sectors(original_);
  for (size_t i = 0; i < 1500; ++i) raw[100 * 2352 + 16 + i] ^= uint8_t(0x5A + i);
  testkit::WriteBytes("damaged.bin", raw);
  const testkit::ProcessOutcome run = RoundTrip("damaged.bin", "damaged", "out", "rebuilt.iso");
  ASSERT_EQ(run.status, 0) << run.err;
  const testkit::ProcessOutcome decompiled = RunZanthrel("decompile -f --layout -o out damaged.bin");
  EXPECT_NE(decompiled.err.find("damaged.bin: 1 block cannot be read and is kept as zeros in the layout (block 100)"),
            std::string::npos)
      << decompiled.err;
  Bytes expected = original_;
  std::fill(expected.begin() + 100 * 2048, expected.begin() + 101 * 2048, 0);
  EXPECT_TRUE(testkit::ReadBytes("rebuilt.iso") == expected);
}

TEST_F(LayoutCliTest, BrokenLayoutOrBlocksFileIsRefusedWithTheReason) {
  ASSERT_EQ(RoundTrip("disc.iso", "disc", "out", "same.iso").status, 0);
  std::string text = testkit::ReadText("out/disc.layout.json");
  testkit::WriteText("out/cut.layout.json", text.substr(0, text.size() / 2));
  testkit::ProcessOutcome run = RunZanthrel("compile --layout out/cut.layout.json out/PARCE_disc cut.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("out/cut.layout.json: line"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists("cut.iso"));

  fs::resize_file("out/disc.layout.blocks", 4096);
  run = RunZanthrel("compile --layout out/disc.layout.json out/PARCE_disc short.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("disc.layout.blocks: shorter than the layout says"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists("short.iso"));

  run = RunZanthrel("compile --layout out/missing.layout.json out/PARCE_disc none.iso");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("missing.layout.json: cannot be read"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace zanthrel
