// The reports of the reading commands as JSON, for scripts: one object per
// image on a line of its own (JSON lines), all of one schema that
// docs/json.md describes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/image_outcome.h"
#include "support/cp1251.h"
#include "workflow/inspect_job.h"

namespace zanthrel::cli {

// Raised whenever a field changes its meaning or goes away; new fields keep it.
inline constexpr int kJsonSchema = 1;

// Compact, with a line break at the end; bytes that are not UTF-8 (a file
// name given on the command line) are replaced rather than refused.
std::string JsonLine(const nlohmann::json& value);

// What the image came in; null when it did not open.
nlohmann::json ContainerJson(const ImageOpening& opening);
// An entry's four-byte type as text (UTF-8), the zero bytes that pad a short one left out.
std::string TypeText(const std::string& type);
// One entry as `list` gives it.
nlohmann::json ListedJson(const ListedEntry& entry, TextEncoding names);

nlohmann::json InfoJson(const std::string& image, const InfoReport& report, const ImageOutcome& outcome);
nlohmann::json VerifyJson(const std::string& image, const VerifyImageReport& report, const ImageOutcome& outcome);

// What `list` counts of the tree as it goes by, for the same `tree` object
// that `info` gives.
struct ListTally {
  uint64_t folders = 0;  // below the root
  uint64_t files = 0;
  uint64_t fileBytes = 0;
  std::vector<std::string> unreadableFolders;  // Windows-1251 paths
};

void Tally(ListTally& tally, const ListedEntry& entry);

// The line of `list --json`, written as the entries come: the start, each
// entry with what comes before it, then the rest of the object.
// `names`: what the disc's names are read as.
std::string ListJsonStart();
std::string ListJsonEntry(const ListedEntry& entry, bool first, TextEncoding names);
std::string ListJsonEnd(const std::string& image, const ListReport& report, const ListTally& tally,
                        const ImageOutcome& outcome, TextEncoding names);

// The last line of a run on several images: how many ended which way.
nlohmann::json SummaryJson(const std::string& command, const std::vector<int>& statuses, int exitStatus);

}  // namespace zanthrel::cli
