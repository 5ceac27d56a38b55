#include "source/gzip_inflater.h"

namespace zanthrel {

namespace {
constexpr size_t kInputSize = 128 * 1024;
constexpr int kGzipWindow = 15 + 16;  // the largest window, gzip wrapping only
}  // namespace

GzipInflater::GzipInflater(HostFile file) : file_(std::move(file)), input_(kInputSize) {
  ready_ = inflateInit2(&stream_, kGzipWindow) == Z_OK;
  ended_ = !ready_;
}

GzipInflater::~GzipInflater() {
  if (ready_) inflateEnd(&stream_);
}

bool GzipInflater::Refill() {
  Result<size_t> n = file_.ReadAt(offset_, input_.data(), input_.size());
  if (!n || *n == 0) return false;
  offset_ += *n;
  stream_.next_in = input_.data();
  stream_.avail_in = uInt(*n);
  return true;
}

bool GzipInflater::NextMember() {
  if (stream_.avail_in < 2) {
    // A member's magic may straddle two reads: keep the lone byte in front.
    const size_t kept = stream_.avail_in;
    if (kept == 1) input_[0] = *stream_.next_in;
    Result<size_t> n = file_.ReadAt(offset_, input_.data() + kept, input_.size() - kept);
    if (!n) return false;
    offset_ += *n;
    stream_.next_in = input_.data();
    stream_.avail_in = uInt(kept + *n);
    if (stream_.avail_in < 2) return false;
  }
  if (!HasGzipMagic(stream_.next_in, stream_.avail_in)) return false;
  return inflateReset(&stream_) == Z_OK;
}

size_t GzipInflater::Read(uint8_t* destination, size_t count) {
  stream_.next_out = destination;
  stream_.avail_out = uInt(count);
  while (!ended_ && stream_.avail_out > 0) {
    if (stream_.avail_in == 0 && !Refill()) {
      ended_ = true;
      break;
    }
    const int status = inflate(&stream_, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      ended_ = !NextMember();
    } else if (status != Z_OK) {
      ended_ = true;
    }
  }
  return count - stream_.avail_out;
}

}  // namespace zanthrel
