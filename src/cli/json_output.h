// The reports of the command line as JSON, for scripts.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/cp1251.h"
#include "workflow/inspect_job.h"

namespace zanthrel::cli {

// Two-space indented, with a line break at the end; bytes that are not UTF-8
// (a file name given on the command line) are replaced rather than refused.
std::string JsonText(const nlohmann::json& value);

nlohmann::json InfoJson(const std::string& image, const VolumeSummary& summary);
// `info --json` adds them as "tracks" for a disc of more than one.
nlohmann::json TracksJson(const std::vector<TrackSummary>& tracks);
// The text of `list --json`, an array that JsonText would give, written as the
// entries come: each element with what comes before it, then the end.
// `names`: what the disc's names are read as.
std::string ListJsonElement(const ListedEntry& entry, bool first, TextEncoding names);
std::string ListJsonEnd(bool empty);
nlohmann::json VerifyJson(const std::string& image, const VerifyReport& report);

}  // namespace zanthrel::cli
