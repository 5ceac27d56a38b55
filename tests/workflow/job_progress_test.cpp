// What each long job tells its progress callback: bytes, never more than the
// total of the stretch they belong to, the label search of a gzip image first
// against the compressed file, then the job's own work against the volume or
// the track.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "testkit/files.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/convert_job.h"
#include "workflow/decompile_job.h"
#include "workflow/inspect_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

// Every report, in order.
struct Reports {
  std::vector<std::pair<uint64_t, uint64_t>> seen;
  Progress Callback() {
    return [this](uint64_t done, uint64_t total) { seen.emplace_back(done, total); };
  }
  // The totals of the stretches, in order; each stretch's count only grows
  // and stays within its total.
  std::vector<uint64_t> Stretches() const {
    std::vector<uint64_t> totals;
    uint64_t last = 0;
    for (const auto& [done, total] : seen) {
      if (totals.empty() || totals.back() != total) {
        totals.push_back(total);
        last = 0;
      }
      EXPECT_GE(done, last);
      EXPECT_LE(done, total);
      last = done;
    }
    return totals;
  }
};

TEST(JobProgressTest, EachJobCountsBytesAgainstWhatItReads) {
  testkit::TempFolder temp;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp / "plain.iso", disc.image);
  testkit::WriteGzip(temp / "packed.iso.gz", disc.image);
  const uint64_t volume = 8 * 2048;
  const uint64_t packed = fs::file_size(temp.Path() / "packed.iso.gz");

  for (const char* image : {"plain.iso", "packed.iso.gz"}) {
    SCOPED_TRACE(image);
    const bool gzip = fs::path(image).extension() == ".gz";
    const std::vector<uint64_t> search = gzip ? std::vector<uint64_t>{packed} : std::vector<uint64_t>{};

    Reports decompiled;
    DecompileRequest request;
    request.imagePath = temp / image;
    request.outputDir = temp.Path().string();
    request.progress = decompiled.Callback();
    ASSERT_TRUE(DecompileImageFile(request).Succeeded());
    std::vector<uint64_t> expected = search;
    expected.push_back(volume);
    EXPECT_EQ(decompiled.Stretches(), expected);
    // LaunchMe's 3 blocks and a:b's 1, in bytes.
    EXPECT_EQ(decompiled.seen.back().first, 4u * 2048);

    Reports verified;
    EXPECT_FALSE(VerifyImageFile(temp / image, SystemHost(), verified.Callback()).verify.Damaged());
    EXPECT_EQ(verified.Stretches(), expected);
    // Verify reads "Disc label" too, which decompile leaves out unless asked.
    EXPECT_EQ(verified.seen.back().first, 5u * 2048);

    // Convert reads the whole track: a gzip file is measured by what is inflated of it.
    Reports converted;
    const ConvertReport report =
        ConvertImage(temp / image, temp / "converted.iso", ReplaceRule::kForced, SystemHost(), std::nullopt,
                     converted.Callback());
    ASSERT_EQ(report.failure, "");
    ASSERT_FALSE(converted.seen.empty());
    EXPECT_EQ(converted.seen.back(), gzip ? std::pair(packed, packed) : std::pair(volume, volume));

    Reports searched;
    EXPECT_TRUE(SummarizeImageFile(temp / image, SystemHost(), searched.Callback()).summary);
    EXPECT_EQ(searched.Stretches(), search);
  }
}

}  // namespace
}  // namespace zanthrel
