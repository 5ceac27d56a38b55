// The check of raw sectors: the table EDC against the bit-by-bit one, the
// ECC's correction of real Mode 1 and Mode 2 Form 1 sectors, and the runs
// that keep what the checks found.
#include "source/sector_check.h"

#include <gtest/gtest.h>

#include "source/cd_edc.h"
#include "testkit/cd_sectors.h"
#include "testkit/files.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

TEST(CdEdcTest, TableCrcEqualsTheBitByBitOneAtEveryLength) {
  const Bytes bytes = testkit::Pattern(2400, 3);
  for (size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 1000u, 2056u, 2064u, 2332u, 2399u}) {
    EXPECT_EQ(CdEdc(bytes.data(), length), testkit::CdEdc(bytes.data(), length)) << length;
  }
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(CdEdc(check, sizeof check), 0x6EC2EDC4u);
}

struct Mode {
  const char* name;
  uint8_t mode;
  Bytes (*sectors)(const Bytes&, uint32_t);
};

void PrintTo(const Mode& mode, std::ostream* out) { *out << mode.name; }

class SectorCheckTest : public ::testing::TestWithParam<Mode> {
 protected:
  Bytes Sector() const { return GetParam().sectors(testkit::Pattern(2048, 11), 40); }
  SectorCondition Check(Bytes& sector) const { return CheckRawSector(sector.data(), GetParam().mode); }
};

TEST_P(SectorCheckTest, AnIntactSectorStaysAsItIs) {
  Bytes sector = Sector();
  const Bytes original = sector;
  EXPECT_EQ(Check(sector), SectorCondition::kIntact);
  EXPECT_EQ(sector, original);
}

// One wrong byte that the EDC covers, or in the EDC itself, is mended to the
// very sector written, a Mode 1 sync included. One outside them (the parity,
// a Mode 2 sync or address) leaves the EDC holding: the user data is right.
TEST_P(SectorCheckTest, OneWrongByteIsCorrectedWhereTheEdcTellsIt) {
  const Bytes original = Sector();
  const bool mode1 = GetParam().mode == 1;
  const size_t covered = mode1 ? 0 : 16, edcEnd = mode1 ? 2068 : 2076;
  const size_t user = mode1 ? 16 : 24;
  for (size_t at : {0u, 5u, 15u, 16u, 24u, 1000u, 2063u, 2066u, 2071u, 2074u, 2080u, 2300u, 2351u}) {
    Bytes sector = original;
    sector[at] ^= 0x5A;
    const bool edcTells = at >= covered && at < edcEnd;
    EXPECT_EQ(Check(sector), edcTells ? SectorCondition::kCorrected : SectorCondition::kIntact) << at;
    if (edcTells) {
      EXPECT_EQ(sector, original) << at;
    }
    EXPECT_EQ(testkit::Slice(sector, user, 2048), testkit::Slice(original, user, 2048)) << at;
  }
}

// One wrong byte in each of several codewords, which P and Q mend in turns.
TEST_P(SectorCheckTest, ScatteredWrongBytesAreCorrectedInRounds) {
  const Bytes original = Sector();
  Bytes sector = original;
  for (size_t at : {100u, 777u, 1500u, 1999u}) sector[at] ^= 0xFF;
  EXPECT_EQ(Check(sector), SectorCondition::kCorrected);
  EXPECT_EQ(sector, original);
}

// Too many wrong bytes: the sector is damaged and left exactly as read, not
// as a miscorrection would leave it.
TEST_P(SectorCheckTest, ManyWrongBytesLeaveTheSectorDamagedAsRead) {
  Bytes sector = Sector();
  for (size_t at = 30; at < 2060; at += 7) sector[at] ^= uint8_t(at);
  const Bytes damaged = sector;
  EXPECT_EQ(Check(sector), SectorCondition::kDamaged);
  EXPECT_EQ(sector, damaged);
}

// A tool that computed no EDC and no ECC wrote zeros there: no check, even
// with a byte of the data changed.
TEST_P(SectorCheckTest, ZeroEdcAndEccMeanNoCheck) {
  Bytes sector = Sector();
  const size_t edcAt = GetParam().mode == 1 ? 2064 : 2072;
  std::fill(sector.begin() + long(edcAt), sector.end(), 0);
  sector[500] ^= 1;
  const Bytes asRead = sector;
  EXPECT_EQ(Check(sector), SectorCondition::kUnchecked);
  EXPECT_EQ(sector, asRead);
  // A zero EDC beside real parity is a check that fails.
  Bytes edcOnly = Sector();
  std::fill(edcOnly.begin() + long(edcAt), edcOnly.begin() + long(edcAt) + 4, 0);
  EXPECT_EQ(Check(edcOnly), SectorCondition::kCorrected);
}

INSTANTIATE_TEST_SUITE_P(Modes, SectorCheckTest,
                         ::testing::Values(Mode{"Mode1", 1, testkit::Mode1Sectors},
                                           Mode{"Mode2Form1", 2, testkit::Mode2Form1Sectors}),
                         [](const auto& info) { return std::string(info.param.name); });

// Form 2 carries an EDC but no parity: a wrong byte is damage, a zero EDC no check.
TEST(SectorCheckTest, Form2HasAnEdcOnly) {
  Bytes sector = testkit::Mode2Form1Sectors(testkit::Pattern(2048, 2), 0);
  sector[18] = sector[22] = 0x20;
  const uint32_t edc = testkit::CdEdc(sector.data() + 16, 2332);
  for (int i = 0; i < 4; ++i) sector[2348 + size_t(i)] = uint8_t(edc >> (8 * i));
  Bytes intact = sector;
  EXPECT_EQ(CheckRawSector(intact.data(), 2), SectorCondition::kIntact);
  sector[100] ^= 1;
  Bytes damaged = sector;
  EXPECT_EQ(CheckRawSector(damaged.data(), 2), SectorCondition::kDamaged);
  std::fill(sector.begin() + 2348, sector.end(), 0);
  EXPECT_EQ(CheckRawSector(sector.data(), 2), SectorCondition::kUnchecked);
}

TEST(SectorRunsTest, SectorsJoinIntoRunsAndCountOnce) {
  SectorRuns runs;
  for (uint64_t sector : {10u, 12u, 11u, 11u, 3u, 4u, 20u, 2u, 13u}) runs.Add(sector);
  ASSERT_EQ(runs.Runs().size(), 3u);
  EXPECT_EQ(runs.Runs()[0].first, 2u);
  EXPECT_EQ(runs.Runs()[0].count, 3u);
  EXPECT_EQ(runs.Runs()[1].first, 10u);
  EXPECT_EQ(runs.Runs()[1].count, 4u);
  EXPECT_EQ(runs.Runs()[2].first, 20u);
  EXPECT_EQ(runs.Count(), 8u);
  EXPECT_TRUE(runs.Touches(0, 3));
  EXPECT_TRUE(runs.Touches(13, 1));
  EXPECT_FALSE(runs.Touches(14, 6));
  EXPECT_TRUE(runs.Touches(14, 7));
  EXPECT_FALSE(runs.Touches(5, 5));
}

}  // namespace
}  // namespace zanthrel
