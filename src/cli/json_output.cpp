#include "cli/json_output.h"

#include "cli/commands.h"
#include "opera/records.h"
#include "support/cp1251.h"

namespace zanthrel::cli {

namespace {

using nlohmann::json;

// Fixed: the field names and their meanings are what scripts read, and what
// docs/json.md promises for this schema.

std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

}  // namespace

json ContainerJson(const ImageOpening& opening) {
  if (!opening.opened) return nullptr;
  const ContainerFields& fields = opening.containerFields;
  return {{"format", fields.format},
          {"codecs", fields.codecs},
          {"track", fields.track == 0 ? json(nullptr) : json(fields.track)},
          {"mode", fields.mode},
          {"description", fields.description}};
}

namespace {

json ErrorJson(const std::string& image, const ImageOutcome& outcome) {
  if (outcome.error.empty()) return nullptr;
  return {{"code", outcome.error}, {"message", outcome.message}, {"path", image}};
}

// What every image's object holds, whichever command made it.
json ImageJson(const char* command, const std::string& image, const ImageOpening& opening,
               const ImageOutcome& outcome) {
  return {{"schema", kJsonSchema},      {"record", "image"},
          {"command", command},         {"image", image},
          {"exitStatus", outcome.status}, {"error", ErrorJson(image, outcome)},
          {"container", ContainerJson(opening)}};
}

// The root is counted among the directories, read or not, as verify meets it.
json TreeJson(bool read, uint64_t foldersBelowRoot, uint64_t files, uint64_t fileBytes, uint64_t unreadable) {
  return {{"read", read},
          {"directories", foldersBelowRoot + 1},
          {"files", files},
          {"fileBytes", fileBytes},
          {"unreadableDirectories", unreadable}};
}

// Findings count only when the image opened and the host did not fail the
// reading on the way, as the text prints them only then.
bool Trusted(const InspectReport& report) { return report.opening.opened && report.hostFailure.empty(); }

json SpanJson(const BlockSpan& span) {
  return {{"firstBlock", span.firstBlock}, {"blockCount", span.blockCount}};
}

json SpansJson(const std::vector<BlockSpan>& spans) {
  json list = json::array();
  for (const BlockSpan& span : spans) list.push_back(SpanJson(span));
  return list;
}

json ProblemsJson(const std::vector<CopyProblem>& problems) {
  json list = json::array();
  for (const CopyProblem& problem : problems) {
    json item = SpanJson(problem.blocks);
    item["path"] = problem.path;
    item["copy"] = problem.copy;
    list.push_back(std::move(item));
  }
  return list;
}

json TracksJson(const std::vector<TrackSummary>& tracks) {
  json list = json::array();
  for (const TrackSummary& track : tracks) {
    list.push_back({{"number", track.number},
                    {"mode", track.mode},
                    {"frames", track.frames},
                    {"pregap", track.pregap},
                    {"holdsVolume", track.holdsVolume}});
  }
  return list;
}

json HunksJson(const std::vector<HunkRun>& runs) {
  json list = json::array();
  for (const HunkRun& run : runs) list.push_back({{"firstHunk", run.first}, {"hunkCount", run.count}});
  return list;
}

json TrackSectorsJson(const std::vector<TrackSectors>& tracks, SectorRuns TrackSectors::*runs) {
  json list = json::array();
  for (const TrackSectors& track : tracks) {
    for (const SectorRun& run : (track.*runs).Runs()) {
      list.push_back({{"track", track.track}, {"firstSector", run.first}, {"sectorCount", run.count}});
    }
  }
  return list;
}

// The image file's own records, apart from the volume's sectors.
json ContainerCheckJson(const ContainerCheck& check) {
  json container = {
      {"checked", check.Checked()},
      {"sectors", check.sectors},
      {"correctedSectors", TrackSectorsJson(check.tracks, &TrackSectors::corrected)},
      {"uncorrectableSectors", TrackSectorsJson(check.tracks, &TrackSectors::damaged)},
      {"failure", check.failure.empty() ? json(nullptr) : json(check.failure)},
      {"chd", nullptr},
  };
  if (check.chd) {
    container["chd"] = {
        {"hunks", check.chd->hunks},
        {"wrongCrc", HunksJson(check.chd->wrongCrc)},
        {"undecodable", HunksJson(check.chd->unreadable)},
        {"crcsKept", check.chd->crcsKept},
        {"sha1Kept", check.chd->sha1Kept},
        {"sha1Checked", check.chd->sha1Checked},
        {"rawSha1Differs", check.chd->rawSha1Differs},
        {"sha1Differs", check.chd->sha1Differs},
        {"metadataBroken", check.chd->metadataBroken},
    };
  }
  return container;
}

}  // namespace

// The type's four bytes as text, without the zero bytes that pad a short one.
std::string TypeText(const std::string& type) {
  const size_t end = type.find_last_not_of('\0');
  return Cp1251ToUtf8(end == std::string::npos ? "" : type.substr(0, end + 1));
}

json ListedJson(const ListedEntry& entry, TextEncoding names) {
  return {
      {"path", TextAsUtf8(entry.path, names)},
      {"kind", ListedKind(entry)},
      {"type", TypeText(entry.type)},
      {"id", entry.uniqueId},
      {"flags", entry.flags},
      {"bytes", entry.byteCount},
      {"blocks", entry.blockCount},
      {"copies", entry.copyBlocks},
  };
}

std::string JsonLine(const json& value) { return Dump(value) + "\n"; }

json InfoJson(const std::string& image, const InfoReport& report, const ImageOutcome& outcome) {
  json info = ImageJson("info", image, report.opening, outcome);
  info["file"] = report.fileBytes ? json{{"bytes", *report.fileBytes}} : json(nullptr);
  info["tracks"] = nullptr;
  info["volume"] = nullptr;
  info["tree"] = nullptr;
  if (!Trusted(report)) return info;
  info["tracks"] = TracksJson(report.tracks);
  if (!report.summary) return info;
  const VolumeSummary& summary = *report.summary;
  info["volume"] = {
      {"id", summary.volumeId},       {"labelText", summary.labelText}, {"comment", summary.comment},
      {"blockSize", summary.blockSize}, {"blocks", summary.blockCount},   {"bytes", summary.imageBytes},
      {"rootCopies", summary.rootCopies},
  };
  info["tree"] =
      TreeJson(summary.treeRead, summary.folders, summary.files, summary.fileBytes, summary.unreadableFolders);
  return info;
}

void Tally(ListTally& tally, const ListedEntry& entry) {
  if (entry.flags & opera::kDirectoryBit) {
    ++tally.folders;
  } else {
    ++tally.files;
    tally.fileBytes += entry.byteCount;
  }
}

std::string ListJsonStart() {
  // The entries come first, so that each can be written as the walk meets it.
  return "{\"entries\":[";
}

std::string ListJsonEntry(const ListedEntry& entry, bool first, TextEncoding names) {
  return (first ? "" : ",") + Dump(ListedJson(entry, names));
}

std::string ListJsonEnd(const std::string& image, const ListReport& report, const ListTally& tally,
                        const ImageOutcome& outcome, TextEncoding names) {
  json rest = ImageJson("list", image, report.opening, outcome);
  rest["tree"] = Trusted(report) ? TreeJson(report.treeRead, tally.folders, tally.files, tally.fileBytes,
                                            tally.unreadableFolders.size())
                                 : json(nullptr);
  json paths = json::array();
  for (const std::string& folder : tally.unreadableFolders) paths.push_back(TextAsUtf8(folder, names));
  rest["unreadablePaths"] = std::move(paths);
  // The rest of the object, after the entries: its own braces dropped.
  return "]," + Dump(rest).substr(1) + "\n";
}

json VerifyJson(const std::string& image, const VerifyImageReport& report, const ImageOutcome& outcome) {
  json verify = ImageJson("verify", image, report.opening, outcome);
  verify["volume"] = nullptr;
  verify["tree"] = nullptr;
  if (!Trusted(report)) return verify;
  const VerifyReport& found = report.verify;
  json shared = json::array();
  for (const SharedBlocks& blocks : found.shared) {
    json item = SpanJson(blocks.blocks);
    item["paths"] = {blocks.firstPath, blocks.secondPath};
    shared.push_back(std::move(item));
  }
  verify["volume"] = found.labelRead ? json{{"blocks", found.volumeBlocks}} : json(nullptr);
  verify["tree"] = {{"directories", found.directories}, {"files", found.files}, {"copiesRead", found.copiesRead}};
  verify["damaged"] = found.Damaged();
  verify["unreadable"] = ProblemsJson(found.unreadable);
  verify["corrupt"] = ProblemsJson(found.corrupt);
  verify["differing"] = ProblemsJson(found.differing);
  verify["shared"] = std::move(shared);
  verify["unclaimed"] = SpansJson(found.unclaimed);
  verify["correctedSectors"] = SpansJson(found.correctedSectors);
  verify["uncorrectableSectors"] = SpansJson(found.damagedSectors);
  verify["sectorsChecked"] = found.sectorsChecked;
  verify["oneCopyFiles"] = found.oneCopyFiles;
  verify["unchecked"] = found.unchecked;
  verify["containerCheck"] = ContainerCheckJson(found.container);
  return verify;
}

json SummaryJson(const std::string& command, const std::vector<int>& statuses, int exitStatus) {
  uint64_t succeeded = 0, failed = 0, unopened = 0;
  for (const int status : statuses) {
    if (status == kExitDone) {
      ++succeeded;
    } else if (status == kExitUsage) {
      ++unopened;
    } else {
      ++failed;
    }
  }
  return {{"schema", kJsonSchema}, {"record", "summary"},   {"command", command},
          {"images", statuses.size()}, {"succeeded", succeeded}, {"failed", failed},
          {"unopened", unopened},    {"exitStatus", exitStatus}};
}

}  // namespace zanthrel::cli
