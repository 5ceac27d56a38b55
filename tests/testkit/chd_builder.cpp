#include "testkit/chd_builder.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "source/chd/crc16.h"

namespace zanthrel::testkit {

namespace {

constexpr uint32_t kFrame = 2448;
constexpr int kLengthBits = 24, kSelfBits = 16, kParentBits = 16;
enum Symbol : uint32_t {
  kCodec0 = 0,
  kNone = 4,
  kSelf = 5,
  kParent = 6,
  kRunSmall = 7,
  kRunLarge = 8,
  kSelf0 = 9,
  kSelf1 = 10
};

void PutBig(uint8_t* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

void AppendBig(Bytes& out, uint64_t value, int bytes) {
  out.resize(out.size() + size_t(bytes));
  PutBig(out.data() + out.size() - size_t(bytes), value, bytes);
}

bool Has(const std::vector<size_t>& list, size_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

class BitWriter {
 public:
  void Put(uint64_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (used_ % 8));
      ++used_;
    }
  }
  const Bytes& Written() const { return bytes_; }

 private:
  Bytes bytes_;
  uint64_t used_ = 0;
};

Bytes Zstd(const uint8_t* data, size_t size) {
  Bytes out(ZSTD_compressBound(size));
  const size_t n = ZSTD_compress(out.data(), out.size(), data, size, 19);
  if (ZSTD_isError(n)) throw std::runtime_error("zstd");
  out.resize(n);
  return out;
}

Bytes CompressHunk(const std::string& codec, const Bytes& hunk, uint32_t frames) {
  if (codec == "zstd") return Zstd(hunk.data(), hunk.size());
  Bytes base, sub;
  for (uint32_t i = 0; i < frames; ++i) {
    base.insert(base.end(), hunk.begin() + long(i * kFrame), hunk.begin() + long(i * kFrame + 2352));
    sub.insert(sub.end(), hunk.begin() + long(i * kFrame + 2352), hunk.begin() + long((i + 1) * kFrame));
  }
  const Bytes packedBase = Zstd(base.data(), base.size()), packedSub = Zstd(sub.data(), sub.size());
  Bytes out((frames + 7) / 8, 0);  // no frame had its parity left out
  AppendBig(out, packedBase.size(), hunk.size() < 65536 ? 2 : 3);
  out.insert(out.end(), packedBase.begin(), packedBase.end());
  out.insert(out.end(), packedSub.begin(), packedSub.end());
  return out;
}

struct Entry {
  uint32_t symbol;
  uint32_t type;  // as the map's CRC sees it
  uint32_t length = 0;
  uint64_t offset = 0;
  uint16_t crc = 0;
};

// The map: a code of 16 symbols of 4 bits each (every symbol its own value),
// hunk types with runs, then each hunk's fields.
Bytes EncodeMap(const std::vector<Entry>& entries, uint64_t firstOffset) {
  BitWriter bits;
  for (int symbol = 0; symbol < 16; ++symbol) bits.Put(4, 4);
  for (size_t i = 0; i < entries.size();) {
    const uint32_t symbol = entries[i].symbol;
    size_t run = 1;
    while (i + run < entries.size() && entries[i + run].symbol == symbol) ++run;
    bits.Put(symbol, 4);
    size_t left = run - 1;
    while (left >= 3) {
      if (left >= 19) {
        const size_t take = std::min<size_t>(left, 274);
        bits.Put(kRunLarge, 4);
        bits.Put((take - 19) / 16, 4);
        bits.Put((take - 19) % 16, 4);
        left -= take;
      } else {
        bits.Put(kRunSmall, 4);
        bits.Put(left - 3, 4);
        left = 0;
      }
    }
    for (; left > 0; --left) bits.Put(symbol, 4);
    i += run;
  }
  uint16_t crc = kCrc16Start;
  for (const Entry& entry : entries) {
    if (entry.symbol < kNone) bits.Put(entry.length, kLengthBits);
    if (entry.symbol <= kNone) bits.Put(entry.crc, 16);
    if (entry.symbol == kSelf) bits.Put(entry.offset, kSelfBits);
    if (entry.symbol == kParent) bits.Put(entry.offset, kParentBits);
    uint8_t raw[12];
    PutBig(raw, entry.type, 1);
    PutBig(raw + 1, entry.length, 3);
    PutBig(raw + 4, entry.offset, 6);
    PutBig(raw + 10, entry.crc, 2);
    crc = Crc16(raw, sizeof raw, crc);
  }
  Bytes map(16, 0);
  PutBig(&map[0], bits.Written().size(), 4);
  PutBig(&map[4], firstOffset, 6);
  PutBig(&map[10], crc, 2);
  map[12] = kLengthBits;
  map[13] = kSelfBits;
  map[14] = kParentBits;
  return Concat(map, bits.Written());
}

}  // namespace

Bytes BuildChd(const std::vector<ChdTrackData>& tracks, const ChdOptions& options) {
  // Every frame in CHD form, each track padded to 4 frames.
  Bytes frames;
  Bytes metadata;
  for (size_t t = 0; t < tracks.size(); ++t) {
    const ChdTrackData& track = tracks[t];
    const size_t count = track.frames.size() / track.frameBytes;
    for (size_t f = 0; f < count + (4 - count % 4) % 4; ++f) {
      Bytes frame(kFrame, 0);
      if (f < count) std::memcpy(frame.data(), track.frames.data() + f * track.frameBytes, track.frameBytes);
      frames.insert(frames.end(), frame.begin(), frame.end());
    }
    const std::string text = "TRACK:" + std::to_string(t + 1) + " TYPE:" + track.type +
                             " SUBTYPE:NONE FRAMES:" + std::to_string(count) +
                             " PREGAP:0 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0";
    const uint64_t at = 124 + metadata.size();
    metadata.insert(metadata.end(), {'C', 'H', 'T', '2', 0x01});
    AppendBig(metadata, text.size() + 1, 3);
    AppendBig(metadata, t + 1 < tracks.size() ? at + 16 + text.size() + 1 : 0, 8);
    metadata.insert(metadata.end(), text.begin(), text.end());
    metadata.push_back(0);
  }
  const uint32_t hunkBytes = options.framesPerHunk * kFrame;
  frames.resize((frames.size() + hunkBytes - 1) / hunkBytes * hunkBytes, 0);
  const size_t hunks = frames.size() / hunkBytes;

  const uint64_t firstOffset = 124 + metadata.size();
  Bytes data;
  std::vector<Entry> entries;
  uint64_t lastSelf = 0;
  for (size_t h = 0; h < hunks; ++h) {
    const Bytes hunk(frames.begin() + long(h * hunkBytes), frames.begin() + long((h + 1) * hunkBytes));
    const uint16_t crc = uint16_t(Crc16(hunk.data(), hunk.size()) ^ (Has(options.wrongCrcHunks, h) ? 1 : 0));
    size_t same = 0;
    while (options.copies && same < h &&
           !std::equal(hunk.begin(), hunk.end(), frames.begin() + long(same * hunkBytes))) {
      ++same;
    }
    Entry entry{kCodec0, kCodec0};
    if (Has(options.parentHunks, h)) {
      entry = {kParent, kParent, 0, h * options.framesPerHunk};
    } else if (options.copies && same < h) {
      const uint32_t symbol = same == lastSelf ? kSelf0 : same == lastSelf + 1 ? kSelf1 : kSelf;
      entry = {symbol, kSelf, 0, same};
      lastSelf = same;
    } else if (Has(options.storedHunks, h)) {
      entry = {kNone, kNone, hunkBytes, firstOffset + data.size(), crc};
      data.insert(data.end(), hunk.begin(), hunk.end());
    } else {
      const Bytes packed = CompressHunk(options.codec, hunk, options.framesPerHunk);
      entry = {kCodec0, kCodec0, uint32_t(packed.size()), firstOffset + data.size(), crc};
      data.insert(data.end(), packed.begin(), packed.end());
    }
    entries.push_back(entry);
  }

  Bytes chd(124, 0);
  std::memcpy(chd.data(), "MComprHD", 8);
  PutBig(&chd[8], 124, 4);
  PutBig(&chd[12], 5, 4);
  std::memcpy(&chd[16], options.codec.data(), 4);
  PutBig(&chd[32], frames.size(), 8);
  PutBig(&chd[40], firstOffset + data.size(), 8);
  PutBig(&chd[48], 124, 8);
  PutBig(&chd[56], hunkBytes, 4);
  PutBig(&chd[60], kFrame, 4);
  return Concat(Concat(Concat(chd, metadata), data), EncodeMap(entries, firstOffset));
}

}  // namespace zanthrel::testkit
