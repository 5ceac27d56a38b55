// Raw deflate through zlib.
#include <zlib.h>

#include "source/chd/chd_decoders.h"

namespace zanthrel {

namespace {

constexpr int kRawDeflateWindow = -15;

class DeflateDecoder : public BlockDecoder {
 public:
  DeflateDecoder() { ready_ = inflateInit2(&stream_, kRawDeflateWindow) == Z_OK; }
  ~DeflateDecoder() override {
    if (ready_) inflateEnd(&stream_);
  }
  DeflateDecoder(const DeflateDecoder&) = delete;
  DeflateDecoder& operator=(const DeflateDecoder&) = delete;

  bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) override {
    if (!ready_ || inflateReset(&stream_) != Z_OK) return false;
    stream_.next_in = const_cast<uint8_t*>(in);
    stream_.avail_in = uInt(inLength);
    stream_.next_out = out;
    stream_.avail_out = uInt(outLength);
    const int status = inflate(&stream_, Z_FINISH);
    // The stream may run on past the bytes wanted; those bytes are all that counts.
    const bool usable = status == Z_STREAM_END || status == Z_OK || status == Z_BUF_ERROR;
    return usable && stream_.avail_out == 0;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<BlockDecoder> MakeDeflateDecoder() { return std::make_unique<DeflateDecoder>(); }

}  // namespace zanthrel
