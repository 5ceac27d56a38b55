// One zstd frame through libzstd.
#include <zstd.h>

#include "source/chd/chd_decoders.h"

namespace zanthrel {

namespace {

class ZstdDecoder : public BlockDecoder {
 public:
  ZstdDecoder() : context_(ZSTD_createDCtx()) {}
  ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }
  ZstdDecoder(const ZstdDecoder&) = delete;
  ZstdDecoder& operator=(const ZstdDecoder&) = delete;

  bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) override {
    if (!context_) return false;
    const size_t made = ZSTD_decompressDCtx(context_, out, outLength, in, inLength);
    return !ZSTD_isError(made) && made == outLength;
  }

 private:
  ZSTD_DCtx* context_;
};

}  // namespace

std::unique_ptr<BlockDecoder> MakeZstdDecoder() { return std::make_unique<ZstdDecoder>(); }

}  // namespace zanthrel
