// The reports of `info`, `list` and `verify` for people, in English; each
// line ends with a line break. Names and label texts from the disc are shown
// with their control characters escaped, so that they reach no terminal raw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/cp1251.h"
#include "workflow/inspect_job.h"
#include "workflow/verify_text.h"

namespace zanthrel::cli {

// `fileBytes`, the image file's own size, is left out when not known.
std::string InfoText(const VolumeSummary& summary, std::optional<uint64_t> fileBytes);
// The tracks `info` lists after the summary, for a disc of more than one:
// number, mode, length in frames and as mm:ss:ff, pregap, and which track
// holds the volume. Empty for none.
std::string TracksText(const std::vector<TrackSummary>& tracks);
// One line of `list`, its line end included: path (UTF-8), kind, bytes,
// blocks, copies and first block, separated by tabs.
std::string ListLine(const ListedEntry& entry, TextEncoding names);

}  // namespace zanthrel::cli
