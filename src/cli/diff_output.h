// The report of `diff` for people and for scripts: one line per difference
// and a summary line, as text or as JSON lines of the schema of docs/json.md.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "cli/image_outcome.h"
#include "workflow/diff_job.h"

namespace zanthrel::cli {

// Every difference a line: "label", "added", "removed", "changed", "moved" or
// "unreadable", then the path (or the label's field) and what differs,
// separated by tabs; `images` names the two images for what cannot be read.
std::string DiffText(const VolumeDiff& diff, const std::string (&images)[2]);
// The counts, and whether the images are equal, after the lines.
std::string DiffSummaryText(const VolumeDiff& diff);

// One JSON line per difference, then the comparison's own line.
std::string DiffJsonLines(const VolumeDiff& diff, const std::string (&images)[2]);
// `errorImage`: the image that `outcome`'s error is about.
nlohmann::json ComparisonJson(const std::string (&images)[2], const DiffImagesReport& report,
                              const ImageOutcome& outcome, const std::string& errorImage);

}  // namespace zanthrel::cli
