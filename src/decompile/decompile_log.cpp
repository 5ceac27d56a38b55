#include "decompile/decompile_log.h"

#include "support/text.h"

namespace zanthrel {

namespace {
constexpr size_t kFlushSize = 64 * 1024;
}

DecompileLog::DecompileLog(Host& host, const std::string& path, TextEncoding encoding)
    : encoding_(encoding), flushAt_(kFlushSize) {
  // The folder may be reached through links; a link in the log's place is
  // not followed, so that the log never overwrites what it leads to.
  Result<HostFile> created = host.CreateFileIn(host.OpenFolder(ParentFolderOf(path)), FileNameOf(path));
  if (created) {
    file_ = std::move(*created);
  } else {
    failure_ = created.Failure();
  }
}

DecompileLog::~DecompileLog() { Close(); }

uint64_t DecompileLog::Hold() {
  // A log that takes no text needs no places either.
  if (!file_.IsOpen()) return firstPlace_++;
  places_.push_back({pending_.size(), false, {}});
  return firstPlace_ + places_.size() - 1;
}

void DecompileLog::Fill(uint64_t place, std::string_view text) {
  if (place < firstPlace_ || place - firstPlace_ >= places_.size()) return;
  Place& held = places_[size_t(place - firstPlace_)];
  held.filled = true;
  held.text = text;
  if (pending_.size() >= flushAt_) Flush();
}

void DecompileLog::Write(std::string_view text) {
  if (text.empty()) return;
  if (!failure_) {
    // Fixed: Windows-1251 unless UTF-8 is asked for, as stored logs are compared
    // byte for byte. It is one byte a character, so any cut of it converts alone.
    const std::string bytes = Cp1251As(text, encoding_);
    Status written = file_.WriteAt(written_, bytes.data(), bytes.size());
    if (!written) failure_ = written.Failure();
    written_ += bytes.size();
  }
}

void DecompileLog::Flush() {
  std::string out;
  size_t from = 0;
  while (!places_.empty() && places_.front().filled) {
    out.append(pending_, from, places_.front().at - from);
    out += places_.front().text;
    from = places_.front().at;
    places_.pop_front();
    ++firstPlace_;
  }
  const size_t upTo = places_.empty() ? pending_.size() : places_.front().at;
  if (upTo > 0 || !out.empty()) {
    out.append(pending_, from, upTo - from);
    Write(out);
    pending_.erase(0, upTo);
    for (Place& place : places_) place.at -= upTo;
  }
  flushAt_ = pending_.size() + kFlushSize;
}

void DecompileLog::Close() {
  for (Place& place : places_) place.filled = true;
  Flush();
  file_.Close();
}

void WriteLogText(DecompileLog& log, std::string_view text) {
  if (!log.file_.IsOpen()) return;
  log.pending_ += text;
  if (log.pending_.size() >= log.flushAt_) log.Flush();
}

}  // namespace zanthrel
