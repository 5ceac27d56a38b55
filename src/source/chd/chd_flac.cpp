// FLAC frames through libFLAC. The frames come without the stream's marker
// and metadata, so the decoder is first handed a made-up header of them.
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "source/chd/chd_decoders.h"

namespace zanthrel {

namespace {

constexpr size_t kHeaderSize = 42;

// "fLaC", then one last metadata block: STREAMINFO of 34 bytes.
std::array<uint8_t, kHeaderSize> MadeUpHeader(uint32_t blockSize) {
  std::array<uint8_t, kHeaderSize> header{'f', 'L', 'a', 'C', 0x80, 0x00, 0x00, 0x22};
  for (size_t at : {8u, 10u}) {  // the smallest and the largest block
    header[at] = uint8_t(blockSize >> 8);
    header[at + 1] = uint8_t(blockSize);
  }
  // Frame sizes unknown; 44100 Hz, 2 channels, 16 bits; sample count unknown; no MD5.
  const uint8_t format[4] = {0x0A, 0xC4, 0x42, 0xF0};
  std::memcpy(&header[18], format, sizeof format);
  return header;
}

class LibFlacDecoder : public FlacDecoder {
 public:
  LibFlacDecoder() : decoder_(FLAC__stream_decoder_new()) {}
  ~LibFlacDecoder() override {
    if (decoder_) FLAC__stream_decoder_delete(decoder_);
  }
  LibFlacDecoder(const LibFlacDecoder&) = delete;
  LibFlacDecoder& operator=(const LibFlacDecoder&) = delete;

  std::optional<size_t> Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength,
                               bool bigEndian, uint32_t blockSize) override {
    if (!decoder_) return std::nullopt;
    header_ = MadeUpHeader(blockSize);
    in_ = in;
    inLength_ = inLength;
    served_ = 0;
    out_ = out;
    outLength_ = outLength;
    written_ = 0;
    bigEndian_ = bigEndian;
    failed_ = false;
    if (FLAC__stream_decoder_init_stream(decoder_, &ReadBytes, nullptr, &Tell, nullptr, nullptr, &WriteFrame,
                                         nullptr, &NoteError, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
      return std::nullopt;
    }
    while (written_ < outLength_ && !failed_ && FLAC__stream_decoder_process_single(decoder_)) {
      const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder_);
      if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED) break;
    }
    FLAC__uint64 position = 0;
    const bool whole = written_ == outLength_ && !failed_ &&
                       FLAC__stream_decoder_get_decode_position(decoder_, &position) &&
                       position >= kHeaderSize;
    FLAC__stream_decoder_finish(decoder_);
    if (!whole) return std::nullopt;
    return size_t(position - kHeaderSize);
  }

 private:
  static FLAC__StreamDecoderReadStatus ReadBytes(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                                 size_t* bytes, void* client) {
    auto& self = *static_cast<LibFlacDecoder*>(client);
    size_t done = 0;
    while (done < *bytes && self.served_ < kHeaderSize + self.inLength_) {
      const bool inHeader = self.served_ < kHeaderSize;
      const uint8_t* from =
          inHeader ? self.header_.data() + self.served_ : self.in_ + (self.served_ - kHeaderSize);
      const size_t left = inHeader ? kHeaderSize - self.served_ : kHeaderSize + self.inLength_ - self.served_;
      const size_t take = std::min(*bytes - done, left);
      std::memcpy(buffer + done, from, take);
      done += take;
      self.served_ += take;
    }
    *bytes = done;
    return done == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                     : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  }

  static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client) {
    *offset = static_cast<LibFlacDecoder*>(client)->served_;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderWriteStatus WriteFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                   const FLAC__int32* const channels[], void* client) {
    auto& self = *static_cast<LibFlacDecoder*>(client);
    const uint32_t samples = frame->header.blocksize;
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16 ||
        self.outLength_ - self.written_ < size_t(samples) * 4) {
      self.failed_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    uint8_t* out = self.out_ + self.written_;
    for (uint32_t i = 0; i < samples; ++i) {
      for (int channel = 0; channel < 2; ++channel, out += 2) {
        const uint16_t sample = uint16_t(channels[channel][i]);
        out[self.bigEndian_ ? 0 : 1] = uint8_t(sample >> 8);
        out[self.bigEndian_ ? 1 : 0] = uint8_t(sample);
      }
    }
    self.written_ += size_t(samples) * 4;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void NoteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
    static_cast<LibFlacDecoder*>(client)->failed_ = true;
  }

  FLAC__StreamDecoder* decoder_;
  std::array<uint8_t, kHeaderSize> header_{};
  const uint8_t* in_ = nullptr;
  size_t inLength_ = 0;
  size_t served_ = 0;  // bytes of header and input handed to the decoder
  uint8_t* out_ = nullptr;
  size_t outLength_ = 0;
  size_t written_ = 0;
  bool bigEndian_ = true;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<FlacDecoder> MakeFlacDecoder() { return std::make_unique<LibFlacDecoder>(); }

}  // namespace zanthrel
