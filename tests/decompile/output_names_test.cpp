// Where a decompile puts what it writes: the disc's files alone in the output
// folder, each entry under a host name of its own, the map beside the log.
#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageBuilder;
using testkit::Win;

class OutputNamesTest : public testkit::DecompileFixture {};

// Disc files named like the map and a hole file keep their bytes, and the
// output folder holds the disc's files and nothing else.
TEST_F(OutputNamesTest, BlockMapAndHoleFilesLieBesideTheLog) {
  ImageBuilder builder(5);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("disc.spy", 2, 5), testkit::FileEntry("disc 0x00000003.spy", 4, 7)});
  builder.Data(2, Bytes(5, 'a'));
  builder.Data(3, Bytes(2048, 'h'));
  builder.Data(4, Bytes(7, 'b'));
  const auto run = Run(builder.Image(), false, true);
  ASSERT_TRUE(run.ok) << run.log;
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "PARCE_disc"),
            (std::vector<std::string>{"disc 0x00000003.spy", "disc.spy"}));
  EXPECT_EQ(testkit::ReadBytes(Out("disc.spy")), Bytes(5, 'a'));
  EXPECT_EQ(testkit::ReadBytes(Out("disc 0x00000003.spy")), Bytes(7, 'b'));
  // The map names the disc's files by their paths in the output folder.
  const std::string map = testkit::ReadText(Beside("disc.spy"));
  EXPECT_NE(map.find("0x00000002 - 0x00000003\t0x00000001\t0x00000005\t" + Out("disc.spy") + "\n"),
            std::string::npos)
      << map;
  // Blocks 0 and 3 belong to no entry: their dumps are beside the log too.
  EXPECT_EQ(testkit::ReadBytes(Beside("disc 0x00000003.spy")), Bytes(2048, 'h'));
  EXPECT_EQ(fs::file_size(testkit::PathOf(Beside("disc 0x00000000.spy"))), 2048u);
}

}  // namespace
}  // namespace zanthrel
