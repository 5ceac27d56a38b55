#include "write/cd_hunk_encoder.h"

#include <algorithm>
#include <cstring>

#include "source/cd_sector.h"
#include "source/chd/cd_hunk_layout.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/chd_header.h"

namespace zanthrel {

const uint32_t kCdCodecTags[kCdCodecCount] = {ChdTag("cdlz"), ChdTag("cdzl"), ChdTag("cdfl")};

namespace {
constexpr uint8_t kLzmaCodec = 0, kDeflateCodec = 1, kFlacCodec = 2;
}  // namespace

CdHunkEncoder::CdHunkEncoder(uint32_t framesPerHunk)
    : frames_(framesPerHunk),
      hunkBytes_(framesPerHunk * kChdFrameBytes),
      lzma_(MakeLzmaEncoder()),
      deflate_(MakeDeflateEncoder()),
      flac_(MakeFlacEncoder(CdFlacBlockSize(framesPerHunk))),
      flags_(CdFlagBytes(framesPerHunk)),
      base_(size_t(framesPerHunk) * kCdFrameSize),
      plainBase_(base_.size()),
      subcode_(size_t(framesPerHunk) * kCdSubcodeSize),
      packedSubcode_(hunkBytes_),
      candidate_(hunkBytes_) {}

void CdHunkEncoder::Split(const uint8_t* hunk) {
  std::fill(flags_.begin(), flags_.end(), 0);
  for (uint32_t i = 0; i < frames_; ++i) {
    const uint8_t* frame = hunk + size_t(i) * kChdFrameBytes;
    uint8_t* sector = base_.data() + size_t(i) * kCdFrameSize;
    std::memcpy(sector, frame, kCdFrameSize);
    std::memcpy(plainBase_.data() + size_t(i) * kCdFrameSize, frame, kCdFrameSize);
    std::memcpy(subcode_.data() + size_t(i) * kCdSubcodeSize, frame + kCdFrameSize, kCdSubcodeSize);
    if (CanLeaveOutSyncAndParity(sector)) {
      LeaveOutSyncAndParity(sector);
      flags_[i / 8] |= uint8_t(1 << (i % 8));
    }
  }
}

bool CdHunkEncoder::EncodeFramed(BlockEncoder& sectors, std::vector<uint8_t>& out) {
  const size_t lengthBytes = CdBaseLengthBytes(hunkBytes_);
  const size_t head = flags_.size() + lengthBytes;
  const size_t subcodeLength = packedSubcode_.size();
  if (head + subcodeLength >= hunkBytes_) return false;
  out.resize(hunkBytes_);
  const std::optional<size_t> baseLength =
      sectors.Encode(base_.data(), base_.size(), out.data() + head, hunkBytes_ - 1 - head - subcodeLength);
  if (!baseLength || *baseLength >> (8 * lengthBytes) != 0) return false;
  std::memcpy(out.data(), flags_.data(), flags_.size());
  for (size_t i = 0; i < lengthBytes; ++i) out[flags_.size() + i] = uint8_t(*baseLength >> (8 * (lengthBytes - 1 - i)));
  std::memcpy(out.data() + head + *baseLength, packedSubcode_.data(), subcodeLength);
  out.resize(head + *baseLength + subcodeLength);
  return true;
}

bool CdHunkEncoder::EncodeFlac(std::vector<uint8_t>& out) {
  const size_t subcodeLength = packedSubcode_.size();
  if (subcodeLength >= hunkBytes_) return false;
  out.resize(hunkBytes_);
  const std::optional<size_t> flacLength =
      flac_->Encode(plainBase_.data(), plainBase_.size(), out.data(), hunkBytes_ - 1 - subcodeLength);
  if (!flacLength) return false;
  std::memcpy(out.data() + *flacLength, packedSubcode_.data(), subcodeLength);
  out.resize(*flacLength + subcodeLength);
  return true;
}

void CdHunkEncoder::Encode(const uint8_t* hunk, bool audio, EncodedHunk& result) {
  Split(hunk);
  // Every codec compresses the subcode with deflate: once serves them all.
  packedSubcode_.resize(hunkBytes_);
  const std::optional<size_t> subcodeLength =
      deflate_->Encode(subcode_.data(), subcode_.size(), packedSubcode_.data(), packedSubcode_.size());
  packedSubcode_.resize(subcodeLength.value_or(hunkBytes_));

  result.stored = true;
  result.bytes.assign(hunk, hunk + hunkBytes_);
  const auto keepIfSmaller = [&](uint8_t codec) {
    if (candidate_.size() >= result.bytes.size()) return;
    result.stored = false;
    result.codec = codec;
    result.bytes.swap(candidate_);
  };
  if (subcodeLength) {
    if (EncodeFramed(*lzma_, candidate_)) keepIfSmaller(kLzmaCodec);
    if (EncodeFramed(*deflate_, candidate_)) keepIfSmaller(kDeflateCodec);
    if (audio && EncodeFlac(candidate_)) keepIfSmaller(kFlacCodec);
  }
}

}  // namespace zanthrel
