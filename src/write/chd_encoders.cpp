#include "write/chd_encoders.h"

#include <FLAC/stream_encoder.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zanthrel {

namespace {

class DeflateEncoder : public BlockEncoder {
 public:
  DeflateEncoder() { ready_ = deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                                           Z_DEFAULT_STRATEGY) == Z_OK; }
  ~DeflateEncoder() override {
    if (ready_) deflateEnd(&stream_);
  }
  DeflateEncoder(const DeflateEncoder&) = delete;
  DeflateEncoder& operator=(const DeflateEncoder&) = delete;

  std::optional<size_t> Encode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity) override {
    if (!ready_ || deflateReset(&stream_) != Z_OK) return std::nullopt;
    stream_.next_in = const_cast<uint8_t*>(in);
    stream_.avail_in = uInt(inLength);
    stream_.next_out = out;
    stream_.avail_out = uInt(outCapacity);
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return std::nullopt;
    return outCapacity - stream_.avail_out;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

// chdman's decoder sizes its dictionary from the encoder's settings for a
// hunk: 24576 bytes for the 18816 bytes of eight sectors. A larger stream
// gets the smallest power of two, or three times one, that holds it.
uint32_t DictionaryFor(size_t length) {
  for (uint32_t power = 11;; ++power) {
    if ((uint64_t(2) << power) >= length) return uint32_t(2) << power;
    if ((uint64_t(3) << power) >= length) return uint32_t(3) << power;
  }
}

class LzmaEncoder : public BlockEncoder {
 public:
  ~LzmaEncoder() override { lzma_end(&stream_); }

  std::optional<size_t> Encode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity) override {
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options, 9)) return std::nullopt;
    options.dict_size = DictionaryFor(inLength);
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    options.nice_len = 64;
    // The extended filter with the size known writes no end marker.
    options.ext_flags = 0;
    lzma_set_ext_size(options, inLength);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_encoder(&stream_, filters) != LZMA_OK) return std::nullopt;
    stream_.next_in = in;
    stream_.avail_in = inLength;
    stream_.next_out = out;
    stream_.avail_out = outCapacity;
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK && stream_.avail_out > 0) status = lzma_code(&stream_, LZMA_FINISH);
    if (status != LZMA_STREAM_END) return std::nullopt;
    return outCapacity - stream_.avail_out;
  }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

class FlacEncoder : public BlockEncoder {
 public:
  explicit FlacEncoder(uint32_t blockSize) : blockSize_(blockSize) {}
  ~FlacEncoder() override {
    if (encoder_) FLAC__stream_encoder_delete(encoder_);
  }
  FlacEncoder(const FlacEncoder&) = delete;
  FlacEncoder& operator=(const FlacEncoder&) = delete;

  std::optional<size_t> Encode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity) override {
    if (!encoder_) encoder_ = FLAC__stream_encoder_new();
    if (!encoder_) return std::nullopt;
    FLAC__stream_encoder_set_channels(encoder_, 2);
    FLAC__stream_encoder_set_bits_per_sample(encoder_, 16);
    FLAC__stream_encoder_set_sample_rate(encoder_, 44100);
    FLAC__stream_encoder_set_compression_level(encoder_, 8);
    FLAC__stream_encoder_set_blocksize(encoder_, blockSize_);
    out_ = out;
    capacity_ = outCapacity;
    written_ = 0;
    overflowed_ = false;
    if (FLAC__stream_encoder_init_stream(encoder_, &WriteBytes, nullptr, nullptr, nullptr, this) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
      return std::nullopt;
    }
    const size_t samples = inLength / 4;
    samples_.resize(samples * 2);
    for (size_t i = 0; i < samples * 2; ++i) {
      samples_[i] = FLAC__int32(int16_t(uint16_t(in[2 * i] << 8 | in[2 * i + 1])));
    }
    const bool encoded = FLAC__stream_encoder_process_interleaved(encoder_, samples_.data(), unsigned(samples));
    const bool finished = FLAC__stream_encoder_finish(encoder_);
    if (!encoded || !finished || overflowed_) return std::nullopt;
    return written_;
  }

 private:
  // The marker and metadata come with no samples before the first frame:
  // they are left out, as the reader makes them up.
  static FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                   size_t bytes, uint32_t samples, uint32_t currentFrame,
                                                   void* self) {
    auto* encoder = static_cast<FlacEncoder*>(self);
    if (samples == 0 && currentFrame == 0) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    if (bytes > encoder->capacity_ - encoder->written_) {
      encoder->overflowed_ = true;
    } else {
      std::memcpy(encoder->out_ + encoder->written_, buffer, bytes);
      encoder->written_ += bytes;
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  }

  uint32_t blockSize_;
  FLAC__StreamEncoder* encoder_ = nullptr;
  std::vector<FLAC__int32> samples_;
  uint8_t* out_ = nullptr;
  size_t capacity_ = 0;
  size_t written_ = 0;
  bool overflowed_ = false;
};

}  // namespace

std::unique_ptr<BlockEncoder> MakeDeflateEncoder() { return std::make_unique<DeflateEncoder>(); }
std::unique_ptr<BlockEncoder> MakeLzmaEncoder() { return std::make_unique<LzmaEncoder>(); }
std::unique_ptr<BlockEncoder> MakeFlacEncoder(uint32_t blockSize) { return std::make_unique<FlacEncoder>(blockSize); }

}  // namespace zanthrel
