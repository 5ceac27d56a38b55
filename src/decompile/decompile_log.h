// The decompile log: Windows-1251 text appended to a host file through a
// buffer, and written in Windows-1251 or, when asked, in UTF-8. A log that could not be created drops every line, and the first
// failure is kept, so that the run never reports success over a lost log.
// A line that is known only later (the outcome of a write still under way)
// gets a place held for it; the log is written out only up to the first
// place not yet filled, so lines keep their order whenever they are known.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "support/cp1251.h"
#include "support/host.h"

namespace zanthrel {

class DecompileLog {
 public:
  DecompileLog(Host& host, const std::string& path, TextEncoding encoding = TextEncoding::kCp1251);
  ~DecompileLog();
  DecompileLog(const DecompileLog&) = delete;
  DecompileLog& operator=(const DecompileLog&) = delete;

  // A place for a line at the current end of the log: its number.
  uint64_t Hold();
  // Puts `text` (which may be empty) into a held place.
  void Fill(uint64_t place, std::string_view text);
  // Writes out what is buffered; places still open count as empty.
  void Close();
  bool Failed() const { return failure_.has_value(); }
  // Why the log could not be created or written.
  const std::optional<Error>& Failure() const { return failure_; }

 private:
  friend void WriteLogText(DecompileLog& log, std::string_view text);
  // Writes out the text before the first place not yet filled.
  void Flush();
  void Write(std::string_view text);

  struct Place {
    size_t at;  // offset in pending_
    bool filled = false;
    std::string text;
  };

  HostFile file_;
  TextEncoding encoding_;
  uint64_t written_ = 0;
  std::string pending_;
  std::deque<Place> places_;
  // The buffer size at which to try writing out again: behind an open place,
  // a flush may write little, so the next try waits for a full flush's worth.
  size_t flushAt_;
  uint64_t firstPlace_ = 0;  // the number of places_.front()
  std::optional<Error> failure_;
};

void WriteLogText(DecompileLog& log, std::string_view text);

}  // namespace zanthrel
