// The decompile log: Windows-1251 text appended to a host file through a
// buffer. A log that could not be created drops every line, and the first
// failure is kept, so that the run never reports success over a lost log.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/host.h"

namespace zanthrel {

class DecompileLog {
 public:
  DecompileLog(Host& host, const std::string& path);
  ~DecompileLog();
  DecompileLog(const DecompileLog&) = delete;
  DecompileLog& operator=(const DecompileLog&) = delete;

  void Close();
  bool Failed() const { return failure_.has_value(); }
  // Why the log could not be created or written.
  const std::optional<Error>& Failure() const { return failure_; }

 private:
  friend void WriteLogText(DecompileLog& log, std::string_view text);
  void Flush();

  HostFile file_;
  uint64_t written_ = 0;
  std::string pending_;
  std::optional<Error> failure_;
};

void WriteLogText(DecompileLog& log, std::string_view text);

}  // namespace zanthrel
