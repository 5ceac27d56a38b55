// The decompile log: Windows-1251 text appended to a host file through a
// buffer. A log that could not be created drops every line, and every failed
// write is remembered, so that the run never reports success over a lost log.
#pragma once

#include <string>
#include <string_view>

#include "support/host.h"

namespace zanthrel {

class DecompileLog {
 public:
  explicit DecompileLog(const std::string& path);
  ~DecompileLog();
  DecompileLog(const DecompileLog&) = delete;
  DecompileLog& operator=(const DecompileLog&) = delete;

  void Close();
  bool Failed() const { return failed_; }

 private:
  friend void WriteLogText(DecompileLog& log, std::string_view text);
  void Flush();

  HostFile file_;
  std::string pending_;
  bool failed_ = false;
};

void WriteLogText(DecompileLog& log, std::string_view text);

}  // namespace zanthrel
