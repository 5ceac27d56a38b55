#include "testkit/cd_sectors.h"

#include <cstring>

#include "source/cd_ecc.h"
#include "source/cd_sector.h"

namespace zanthrel::testkit {

namespace {

uint8_t Bcd(uint32_t value) { return uint8_t((value / 10) << 4 | (value % 10)); }

void WriteHeader(uint8_t* sector, uint32_t lba, uint8_t mode) {
  std::memcpy(sector, kCdSync, sizeof kCdSync);
  const uint32_t frame = lba + 150;
  sector[12] = Bcd(frame / (60 * 75));
  sector[13] = Bcd(frame / 75 % 60);
  sector[14] = Bcd(frame % 75);
  sector[15] = mode;
}

void PutLittle32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

}  // namespace

uint32_t CdEdc(const uint8_t* data, size_t length) {
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xD8018001u : crc >> 1;
  }
  return crc;
}

Bytes Padded(const Bytes& userData) {
  Bytes padded = userData;
  padded.resize((userData.size() + 2047) / 2048 * 2048, 0);
  return padded;
}

Bytes Mode1Sectors(const Bytes& userData, uint32_t firstLba) {
  const Bytes user = Padded(userData);
  Bytes raw(user.size() / 2048 * kCdFrameSize, 0);
  for (size_t n = 0; n < user.size() / 2048; ++n) {
    uint8_t* sector = raw.data() + n * kCdFrameSize;
    WriteHeader(sector, firstLba + uint32_t(n), 1);
    std::memcpy(sector + 16, user.data() + n * 2048, 2048);
    PutLittle32(sector + 2064, CdEdc(sector, 2064));
    WriteEccParity(sector);
  }
  return raw;
}

Bytes Mode2Form1Sectors(const Bytes& userData, uint32_t firstLba) {
  const Bytes user = Padded(userData);
  Bytes raw(user.size() / 2048 * kCdFrameSize, 0);
  const uint8_t subheader[8] = {0, 0, 0x08, 0, 0, 0, 0x08, 0};  // a data sector of Form 1
  for (size_t n = 0; n < user.size() / 2048; ++n) {
    uint8_t* sector = raw.data() + n * kCdFrameSize;
    WriteHeader(sector, firstLba + uint32_t(n), 2);
    std::memcpy(sector + 16, subheader, sizeof subheader);
    std::memcpy(sector + 24, user.data() + n * 2048, 2048);
    PutLittle32(sector + 2072, CdEdc(sector + 16, 2056));
    WriteEccParity(sector);
  }
  return raw;
}

Bytes WithoutSyncAndHeader(const Bytes& rawSectors) {
  Bytes records;
  for (size_t at = 0; at + kCdFrameSize <= rawSectors.size(); at += kCdFrameSize) {
    records.insert(records.end(), rawSectors.begin() + long(at + 16),
                   rawSectors.begin() + long(at + kCdFrameSize));
  }
  return records;
}

Bytes AudioFrames(size_t frames, uint32_t seed) { return Pattern(frames * kCdFrameSize, seed); }

}  // namespace zanthrel::testkit
