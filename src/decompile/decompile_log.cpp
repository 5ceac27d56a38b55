#include "decompile/decompile_log.h"

namespace zanthrel {

namespace {
constexpr size_t kFlushSize = 64 * 1024;
}

DecompileLog::DecompileLog(const std::string& path) : file_(CreateHostFile(path)) {
  failed_ = !file_.IsOpen();
}

DecompileLog::~DecompileLog() { Close(); }

void DecompileLog::Flush() {
  if (pending_.empty()) return;
  if (!failed_ && WriteHostFile(file_, pending_.data(), pending_.size()) != int64_t(pending_.size())) {
    failed_ = true;
  }
  pending_.clear();
}

void DecompileLog::Close() {
  Flush();
  CloseHostFile(file_);
}

void WriteLogText(DecompileLog& log, std::string_view text) {
  if (!log.file_.IsOpen()) return;
  log.pending_ += text;
  if (log.pending_.size() >= kFlushSize) log.Flush();
}

}  // namespace zanthrel
