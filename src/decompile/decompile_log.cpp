#include "decompile/decompile_log.h"

namespace zanthrel {

namespace {
constexpr size_t kFlushSize = 64 * 1024;
}

DecompileLog::DecompileLog(Host& host, const std::string& path) {
  Result<HostFile> created = host.CreateFile(path);
  if (created) {
    file_ = std::move(*created);
  } else {
    failure_ = created.Failure();
  }
}

DecompileLog::~DecompileLog() { Close(); }

void DecompileLog::Flush() {
  if (pending_.empty()) return;
  if (!failure_) {
    Status written = file_.WriteAt(written_, pending_.data(), pending_.size());
    if (!written) failure_ = written.Failure();
    written_ += pending_.size();
  }
  pending_.clear();
}

void DecompileLog::Close() {
  Flush();
  file_.Close();
}

void WriteLogText(DecompileLog& log, std::string_view text) {
  if (!log.file_.IsOpen()) return;
  log.pending_ += text;
  if (log.pending_.size() >= kFlushSize) log.Flush();
}

}  // namespace zanthrel
