// Raw LZMA1 through liblzma.
#include <lzma.h>

#include <algorithm>

#include "source/chd/chd_decoders.h"

namespace zanthrel {

namespace {

class LzmaDecoder : public BlockDecoder {
 public:
  ~LzmaDecoder() override { lzma_end(&stream_); }

  bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) override {
    // Any dictionary that holds the whole output decodes it.
    lzma_options_lzma options{};
    options.dict_size = std::max<uint32_t>(uint32_t(outLength), LZMA_DICT_SIZE_MIN);
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_decoder(&stream_, filters) != LZMA_OK) return false;
    stream_.next_in = in;
    stream_.avail_in = inLength;
    stream_.next_out = out;
    stream_.avail_out = outLength;
    // Without an end marker the decoder stops only when the output is full.
    lzma_ret status = lzma_code(&stream_, LZMA_RUN);
    while (status == LZMA_OK && stream_.avail_out > 0 && stream_.avail_in > 0) {
      status = lzma_code(&stream_, LZMA_RUN);
    }
    return (status == LZMA_OK || status == LZMA_STREAM_END) && stream_.avail_out == 0;
  }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

}  // namespace

std::unique_ptr<BlockDecoder> MakeLzmaDecoder() { return std::make_unique<LzmaDecoder>(); }

}  // namespace zanthrel
