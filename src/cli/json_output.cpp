#include "cli/json_output.h"

#include "support/cp1251.h"

namespace zanthrel::cli {

namespace {

using nlohmann::json;

// Fixed: the field names are what scripts read; json objects keep them sorted by name.

json SpanJson(const BlockSpan& span) {
  return {{"firstBlock", span.firstBlock}, {"blockCount", span.blockCount}};
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

}  // namespace

std::string JsonText(const json& value) {
  return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

json InfoJson(const std::string& image, const VolumeSummary& summary) {
  return {
      {"image", image},
      {"container", summary.container},
      {"labelText", summary.labelText},
      {"comment", summary.comment},
      {"volumeId", summary.volumeId},
      {"blockSize", summary.blockSize},
      {"blockCount", summary.blockCount},
      {"imageBytes", summary.imageBytes},
      {"rootCopies", summary.rootCopies},
      {"treeRead", summary.treeRead},
      {"folders", summary.folders},
      {"files", summary.files},
      {"fileBytes", summary.fileBytes},
      {"unreadableFolders", summary.unreadableFolders},
  };
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

namespace {

json ListedJson(const ListedEntry& entry, TextEncoding names) {
  return {
      {"path", TextAsUtf8(entry.path, names)},
      {"kind", ListedKind(entry)},
      {"bytes", entry.byteCount},
      {"blocks", entry.blockCount},
      {"copies", entry.copies},
      {"firstBlock", entry.firstBlock},
  };
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

json ContainerJson(const ContainerCheck& check) {
  json container = {
      {"checked", check.Checked()},
      {"sectors", check.sectors},
      {"correctedSectors", TrackSectorsJson(check.tracks, &TrackSectors::corrected)},
      {"uncorrectableSectors", TrackSectorsJson(check.tracks, &TrackSectors::damaged)},
      {"failure", check.failure},
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

std::string ListJsonElement(const ListedEntry& entry, bool first, TextEncoding names) {
  // Fixed: the text JsonText gives the whole array, one element at a time.
  std::string text = first ? "[\n  " : ",\n  ";
  for (const char c : ListedJson(entry, names).dump(2, ' ', false, json::error_handler_t::replace)) {
    text += c;
    if (c == '\n') text += "  ";
  }
  return text;
}

std::string ListJsonEnd(bool empty) { return empty ? "[]\n" : "\n]\n"; }

json VerifyJson(const std::string& image, const VerifyReport& report) {
  json shared = json::array();
  for (const SharedBlocks& blocks : report.shared) {
    json item = SpanJson(blocks.blocks);
    item["paths"] = {blocks.firstPath, blocks.secondPath};
    shared.push_back(std::move(item));
  }
  json unclaimed = json::array();
  for (const BlockSpan& span : report.unclaimed) unclaimed.push_back(SpanJson(span));
  json corrected = json::array();
  for (const BlockSpan& span : report.correctedSectors) corrected.push_back(SpanJson(span));
  json uncorrectable = json::array();
  for (const BlockSpan& span : report.damagedSectors) uncorrectable.push_back(SpanJson(span));
  return {
      {"image", image},
      {"labelRead", report.labelRead},
      {"volumeBlocks", report.volumeBlocks},
      {"directories", report.directories},
      {"files", report.files},
      {"copiesRead", report.copiesRead},
      {"unreadable", ProblemsJson(report.unreadable)},
      {"corrupt", ProblemsJson(report.corrupt)},
      {"differing", ProblemsJson(report.differing)},
      {"shared", std::move(shared)},
      {"unclaimed", std::move(unclaimed)},
      {"correctedSectors", std::move(corrected)},
      {"uncorrectableSectors", std::move(uncorrectable)},
      {"sectorsChecked", report.sectorsChecked},
      {"oneCopyFiles", report.oneCopyFiles},
      {"unchecked", report.unchecked},
      {"container", ContainerJson(report.container)},
      {"damaged", report.Damaged()},
  };
}

}  // namespace zanthrel::cli
