#include "source/chd/chd_codecs.h"

#include <cstring>
#include <vector>

#include "source/cd_sector.h"
#include "source/chd/cd_hunk_layout.h"

namespace zanthrel {

namespace {

constexpr uint32_t kCdUnit = kCdFrameSize + kCdSubcodeSize;

uint32_t HalvedWhileAbove(uint32_t blockSize, uint32_t limit) {
  while (blockSize > limit) blockSize /= 2;
  return blockSize;
}

// The generic "flac" codec: a byte that says in which order the samples'
// bytes go, then FLAC frames for the whole hunk.
class GenericFlacCodec : public BlockDecoder {
 public:
  explicit GenericFlacCodec(uint32_t hunkBytes)
      : flac_(MakeFlacDecoder()), blockSize_(HalvedWhileAbove(hunkBytes / 4, 2048)) {}

  bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) override {
    if (inLength < 1 || (in[0] != 'L' && in[0] != 'B')) return false;
    return flac_->Decode(in + 1, inLength - 1, out, outLength, in[0] == 'B', blockSize_).has_value();
  }

 private:
  std::unique_ptr<FlacDecoder> flac_;
  uint32_t blockSize_;
};

// The CD codecs keep a hunk's frames as two streams, the 2352-byte sectors
// and their 96-byte subcode, each compressed on its own. cdzl, cdlz and cdzs
// put a bitmap of the frames whose sync and parity were left out, and the
// length of the sector stream, in front; cdfl has neither and no parity left
// out, and its subcode stream starts where the FLAC frames end.
class CdCodec : public BlockDecoder {
 public:
  CdCodec(uint32_t hunkBytes, std::unique_ptr<BlockDecoder> sectors, std::unique_ptr<BlockDecoder> subcode)
      : frames_(hunkBytes / kCdUnit),
        sectors_(std::move(sectors)),
        subcode_(std::move(subcode)),
        lengthBytes_(CdBaseLengthBytes(hunkBytes)) {}
  CdCodec(uint32_t hunkBytes, std::unique_ptr<FlacDecoder> flac, std::unique_ptr<BlockDecoder> subcode)
      : frames_(hunkBytes / kCdUnit), flac_(std::move(flac)), subcode_(std::move(subcode)) {}

  bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) override {
    if (outLength != size_t(frames_) * kCdUnit) return false;
    base_.resize(size_t(frames_) * kCdFrameSize);
    sub_.resize(size_t(frames_) * kCdSubcodeSize);
    const size_t flagBytes = flac_ ? 0 : CdFlagBytes(frames_);
    size_t subStart;
    if (flac_) {
      const uint32_t blockSize = CdFlacBlockSize(frames_);
      const std::optional<size_t> used =
          flac_->Decode(in, inLength, base_.data(), base_.size(), true, blockSize);
      if (!used) return false;
      subStart = *used;
    } else {
      if (inLength < flagBytes + lengthBytes_) return false;
      size_t baseLength = 0;
      for (size_t i = 0; i < lengthBytes_; ++i) baseLength = baseLength << 8 | in[flagBytes + i];
      const size_t baseStart = flagBytes + lengthBytes_;
      if (baseLength > inLength - baseStart) return false;
      if (!sectors_->Decode(in + baseStart, baseLength, base_.data(), base_.size())) return false;
      subStart = baseStart + baseLength;
    }
    if (subStart > inLength ||
        !subcode_->Decode(in + subStart, inLength - subStart, sub_.data(), sub_.size())) {
      return false;
    }
    for (uint32_t i = 0; i < frames_; ++i) {
      uint8_t* frame = out + size_t(i) * kCdUnit;
      std::memcpy(frame, base_.data() + size_t(i) * kCdFrameSize, kCdFrameSize);
      std::memcpy(frame + kCdFrameSize, sub_.data() + size_t(i) * kCdSubcodeSize, kCdSubcodeSize);
      if (i / 8 < flagBytes && (in[i / 8] >> (i % 8)) & 1) RestoreSyncAndParity(frame);
    }
    return true;
  }

 private:
  uint32_t frames_;
  std::unique_ptr<BlockDecoder> sectors_;
  std::unique_ptr<FlacDecoder> flac_;
  std::unique_ptr<BlockDecoder> subcode_;
  size_t lengthBytes_ = 0;
  std::vector<uint8_t> base_, sub_;
};

}  // namespace

std::string ChdTagText(uint32_t tag) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = char(tag >> shift);
    text += c >= ' ' && c <= '~' ? c : '?';
  }
  return text;
}

std::unique_ptr<BlockDecoder> MakeChdCodec(uint32_t tag, uint32_t hunkBytes) {
  const bool cdHunks = hunkBytes % kCdUnit == 0 && hunkBytes > 0;
  switch (tag) {
    case ChdTag("zlib"):
      return MakeDeflateDecoder();
    case ChdTag("lzma"):
      return MakeLzmaDecoder();
    case ChdTag("zstd"):
      return MakeZstdDecoder();
    case ChdTag("huff"):
      return MakeHuffmanBlockDecoder();
    case ChdTag("flac"):
      return std::make_unique<GenericFlacCodec>(hunkBytes);
    case ChdTag("cdzl"):
      if (cdHunks) return std::make_unique<CdCodec>(hunkBytes, MakeDeflateDecoder(), MakeDeflateDecoder());
      break;
    case ChdTag("cdlz"):
      if (cdHunks) return std::make_unique<CdCodec>(hunkBytes, MakeLzmaDecoder(), MakeDeflateDecoder());
      break;
    case ChdTag("cdzs"):
      if (cdHunks) return std::make_unique<CdCodec>(hunkBytes, MakeZstdDecoder(), MakeZstdDecoder());
      break;
    case ChdTag("cdfl"):
      if (cdHunks) return std::make_unique<CdCodec>(hunkBytes, MakeFlacDecoder(), MakeDeflateDecoder());
      break;
  }
  return nullptr;
}

}  // namespace zanthrel
