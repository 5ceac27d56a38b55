// The CHD hunk cache that decodes ahead on worker threads: over a CHD that
// chdman made with several codecs and an audio track, it gives the bytes that
// a plain decode gives in any order of reading, keeps a damaged hunk to
// itself, decodes ahead only for reads in order, and stops cleanly mid-way.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <vector>

#include "source/chd/chd_file.h"
#include "source/chd/chd_hunk_cache.h"
#include "source/image_source.h"
#include "testkit/container_disc.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::HostCall;

#define REQUIRE_CHDMAN()                                                   \
  if (!testkit::ProgramAvailable("chdman")) {                              \
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed"; \
  }

// The container disc and its audio track as chdman's default codecs keep
// them (cdlz, cdzl, cdfl), in hunks of two frames so that there are many.
std::string MakeChd(const testkit::TempFolder& temp, const Bytes& image) {
  const std::string cue = testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  const testkit::ProcessOutcome made =
      testkit::RunProgram("chdman", "createcd -hs 4896 -i '" + cue + "' -o '" + (temp / "game.chd") + "'");
  EXPECT_EQ(made.status, 0) << made.out << made.err;
  return temp / "game.chd";
}

std::unique_ptr<ChdFile> OpenChd(Host& host, const std::string& path) {
  Result<HostFile> file = host.OpenFile(path);
  EXPECT_TRUE(file);
  if (!file) return nullptr;
  Result<std::unique_ptr<ChdFile>> chd = ChdFile::Open(std::move(*file), testkit::ReadBytes(path).size());
  EXPECT_TRUE(chd) << chd.Failure().text;
  return chd ? std::move(*chd) : nullptr;
}

struct Decoded {
  HunkCondition condition;
  Bytes bytes;
};

// Every hunk decoded one at a time on this thread, as the file alone does it.
std::vector<Decoded> DecodeEachHunk(const ChdFile& chd) {
  ChdCodecs codecs = chd.MakeCodecs();
  std::vector<Decoded> hunks(chd.Map().size());
  for (uint64_t n = 0; n < hunks.size(); ++n) {
    hunks[n].bytes.resize(chd.Header().hunkBytes);
    hunks[n].condition = chd.Decode(codecs, n, hunks[n].bytes.data());
  }
  return hunks;
}

// Reads the hunks in `order` through `cache`, each as often as a reader of
// its frames would, and checks each against the plain decode.
void ExpectSameHunks(ChdHunkCache& cache, const std::vector<Decoded>& plain, const std::vector<uint64_t>& order,
                     const std::string& name) {
  for (uint64_t n : order) {
    for (int frame = 0; frame < 2; ++frame) {
      const ChdHunkCache::Hunk hunk = cache.Read(n);
      ASSERT_EQ(hunk.condition, plain[n].condition) << name << ", hunk " << n;
      ASSERT_NE(hunk.bytes, nullptr) << name << ", hunk " << n;
      ASSERT_TRUE(std::equal(plain[n].bytes.begin(), plain[n].bytes.end(), hunk.bytes)) << name << ", hunk " << n;
    }
  }
}

std::vector<uint64_t> InOrder(uint64_t count) {
  std::vector<uint64_t> order(count);
  for (uint64_t n = 0; n < count; ++n) order[n] = n;
  return order;
}

// Each hunk once, never two in a row: steps of 37 around a count that 37
// does not divide.
std::vector<uint64_t> Scattered(uint64_t count) {
  std::vector<uint64_t> order;
  for (uint64_t k = 0; k < count; ++k) order.push_back(k * 37 % count);
  return order;
}

TEST(ChdHunkCacheTest, GivesThePlainDecodesBytesInEveryOrderOfReading) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const std::string path = MakeChd(temp, testkit::MakeContainerDisc().image);
  std::unique_ptr<ChdFile> chd = OpenChd(SystemHost(), path);
  ASSERT_TRUE(chd);
  std::set<uint8_t> codecs;
  for (const ChdHunk& hunk : chd->Map()) {
    if (hunk.kind == ChdHunk::kCodec) codecs.insert(hunk.codec);
  }
  ASSERT_GE(codecs.size(), 2u) << "the CHD should take its hunks through several codecs";
  const std::vector<Decoded> plain = DecodeEachHunk(*chd);
  const uint64_t count = plain.size();
  ASSERT_GT(count, 200u);
  ASSERT_NE(count % 37, 0u);

  std::vector<uint64_t> backward = InOrder(count);
  std::reverse(backward.begin(), backward.end());
  // Runs in order broken by jumps both ways, into hunks that were decoded
  // ahead and into hunks that were dropped from the cache.
  std::vector<uint64_t> jumps;
  for (uint64_t start : {0u, 100u, 40u, 41u, 150u, 3u, 120u}) {
    for (uint64_t n = start; n < start + 30 && n < count; ++n) jumps.push_back(n);
  }
  for (size_t workers : {size_t(0), size_t(1), size_t(3)}) {
    ChdHunkCache cache(*chd, workers);
    const std::string name = std::to_string(workers) + " workers";
    ExpectSameHunks(cache, plain, InOrder(count), name + ", in order");
    ExpectSameHunks(cache, plain, backward, name + ", backward");
    ExpectSameHunks(cache, plain, Scattered(count), name + ", scattered");
    ExpectSameHunks(cache, plain, jumps, name + ", in runs");
  }
  EXPECT_EQ(ChdHunkCache(*chd, 2).Read(count).bytes, nullptr);
}

TEST(ChdHunkCacheTest, DecodesAheadOnOtherThreadsOnlyWhileTheReadsGoInOrder) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const std::string path = MakeChd(temp, testkit::MakeContainerDisc().image);
  testkit::FaultyHost host;
  std::unique_ptr<ChdFile> chd = OpenChd(host, path);
  ASSERT_TRUE(chd);
  const uint64_t count = chd->Map().size();
  const int opening = host.Calls(HostCall::kRead);
  {
    // Scattered reads cost one decode each, on the reader's thread: as many
    // file reads as hunks at most (zeros and copies read nothing).
    ChdHunkCache cache(*chd, 2);
    for (uint64_t n : Scattered(count)) cache.Read(n);
    EXPECT_LE(host.Calls(HostCall::kRead) - opening, int(count));
    EXPECT_EQ(host.Threads(HostCall::kRead), 1);
  }
  {
    ChdHunkCache cache(*chd, 2);
    for (uint64_t n = 0; n < count; ++n) cache.Read(n);
    EXPECT_GE(host.Threads(HostCall::kRead), 2);
  }
}

TEST(ChdHunkCacheTest, ADamagedHunkIsUnreadableOnlyWhereItIsWhileReadingAhead) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const std::string path = MakeChd(temp, image);
  std::unique_ptr<ChdFile> intact = OpenChd(SystemHost(), path);
  ASSERT_TRUE(intact);
  const std::vector<Decoded> plain = DecodeEachHunk(*intact);
  // Hunk 20 holds blocks 40 and 41, text that the codecs shrink.
  constexpr uint64_t kDamaged = 20;
  const ChdHunk hunk = intact->Map()[kDamaged];
  ASSERT_EQ(hunk.kind, ChdHunk::kCodec);
  intact.reset();
  Bytes file = testkit::ReadBytes(path);
  file[hunk.offset + hunk.length / 2] ^= 0x5A;
  testkit::WriteBytes(path, file);

  std::unique_ptr<ChdFile> chd = OpenChd(SystemHost(), path);
  ASSERT_TRUE(chd);
  ChdHunkCache cache(*chd, 2);
  for (int pass = 0; pass < 2; ++pass) {
    for (uint64_t n = 0; n < plain.size(); ++n) {
      const ChdHunkCache::Hunk read = cache.Read(n);
      if (n == kDamaged) {
        EXPECT_NE(read.condition, HunkCondition::kIntact) << "pass " << pass;
        continue;
      }
      ASSERT_EQ(read.condition, plain[n].condition) << "hunk " << n;
      ASSERT_TRUE(std::equal(plain[n].bytes.begin(), plain[n].bytes.end(), read.bytes)) << "hunk " << n;
    }
  }

  // Through the image source, block by block in order as a walk reads.
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, path));
  Bytes block(2048);
  std::vector<uint32_t> unreadable;
  for (uint32_t b = 0; b < image.size() / 2048; ++b) {
    if (!Seek(source, b, 2048, 0) || !ReadRecords(source, block.data(), 2048, 1)) {
      unreadable.push_back(b);
      continue;
    }
    EXPECT_TRUE(std::equal(block.begin(), block.end(), image.begin() + long(b) * 2048)) << "block " << b;
  }
  EXPECT_EQ(unreadable, (std::vector<uint32_t>{40, 41}));
}

TEST(ChdHunkCacheTest, EndsCleanlyWhileWorkersAreDecoding) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const std::string path = MakeChd(temp, testkit::MakeContainerDisc().image);
  testkit::FaultyHost host;
  std::unique_ptr<ChdFile> chd = OpenChd(host, path);
  ASSERT_TRUE(chd);
  const std::vector<Decoded> plain = DecodeEachHunk(*chd);
  // The workers' reads lag, so that they are mid-hunk when the cache goes.
  host.SlowOtherThreads(HostCall::kRead, std::chrono::milliseconds(20));
  for (uint64_t stop : {3u, 4u, 9u, 30u}) {
    ChdHunkCache cache(*chd, 3);
    ExpectSameHunks(cache, plain, InOrder(stop), "stopped after " + std::to_string(stop));
  }
  EXPECT_GE(host.Threads(HostCall::kRead), 2);
}

}  // namespace
}  // namespace zanthrel
