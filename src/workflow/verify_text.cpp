#include "workflow/verify_text.h"

#include "support/text.h"

namespace zanthrel {

namespace {

std::string Number(uint64_t value) { return UnsignedDecimal64(value); }

// "1 block", "2 blocks": the count and its noun, singular for one.
std::string Counted(uint64_t count, const std::string& noun) {
  return Number(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Blocks(const BlockSpan& span) {
  const std::string first = Number(span.firstBlock);
  if (span.blockCount <= 1) return "block " + first;
  return "blocks " + first + "-" + Number(uint64_t(span.firstBlock) + span.blockCount - 1);
}

std::string ProblemLines(const std::string& what, const std::vector<CopyProblem>& problems) {
  std::string text;
  for (const CopyProblem& problem : problems) {
    text += what + ": " + EscapeControls(problem.path) + ", copy " + Number(problem.copy) + ": " +
            Blocks(problem.blocks) + "\n";
  }
  return text;
}

std::string Hunks(const HunkRun& run) {
  if (run.count <= 1) return "hunk " + Number(run.first);
  return "hunks " + Number(run.first) + "-" + Number(run.first + run.count - 1);
}

std::string TrackSectorLines(const std::string& what, uint32_t track, const SectorRuns& runs) {
  std::string text;
  for (const SectorRun& run : runs.Runs()) {
    text += what + ": track " + Number(track) + ", " +
            (run.count <= 1 ? "sector " + Number(run.first)
                            : "sectors " + Number(run.first) + "-" + Number(run.first + run.count - 1)) +
            "\n";
  }
  return text;
}

// What the check of the image file's own records found, and a line saying
// what it checked.
std::string ContainerLines(const ContainerCheck& check) {
  std::string text;
  if (check.chd) {
    const ChdCheck& chd = *check.chd;
    for (const HunkRun& run : chd.unreadable) text += "CHD cannot be decoded: " + Hunks(run) + "\n";
    for (const HunkRun& run : chd.wrongCrc) text += "CHD fails its CRC: " + Hunks(run) + "\n";
    if (chd.rawSha1Differs) text += "CHD data SHA-1 differs from the header's\n";
    if (chd.metadataBroken) text += "CHD metadata cannot be read to its end\n";
    if (chd.sha1Differs) text += "CHD overall SHA-1 (data and metadata) differs from the header's\n";
  }
  for (const TrackSectors& track : check.tracks) {
    text += TrackSectorLines("corrected by ECC", track.track, track.corrected);
    text += TrackSectorLines("uncorrectable sectors", track.track, track.damaged);
  }
  if (!check.failure.empty()) text += "container check broke off: " + EscapeControls(check.failure) + "\n";
  if (check.chd) {
    const ChdCheck& chd = *check.chd;
    std::string checked = chd.crcsKept ? "CRCs" : "";
    if (chd.sha1Checked) checked += checked.empty() ? "SHA-1" : " and SHA-1";
    text += "CHD: " + Number(chd.hunks) + (chd.hunks == 1 ? " hunk" : " hunks") +
            (checked.empty() ? " read, which keep no CRC or SHA-1\n" : ", " + checked + " checked\n");
  } else if (check.sectors > 0) {
    text += "raw sectors: " + Number(check.sectors) + " checked by EDC/ECC, in " +
            Number(check.tracks.size()) + (check.tracks.size() == 1 ? " data track\n" : " data tracks\n");
  }
  return text;
}

}  // namespace

// Fixed: scripts and people compare these lines; a line is only added where
// a new fact needs one, never reworded.
std::string VerifyText(const std::string& image, const VerifyReport& report) {
  if (!report.labelRead) return image + ": volume label cannot be read\ndamage found\n";
  std::string text = image + ": " + Counted(report.volumeBlocks, "block") + "; " +
                     Counted(report.directories, "folder") + " and " + Counted(report.files, "file") + ", " +
                     Number(report.copiesRead) + (report.copiesRead == 1 ? " copy" : " copies") + " read\n";
  text += ProblemLines("unreadable", report.unreadable);
  text += ProblemLines("corrupt", report.corrupt);
  text += ProblemLines("differs from the first copy", report.differing);
  for (const SharedBlocks& shared : report.shared) {
    text += "claimed twice: " + Blocks(shared.blocks) + " by " + EscapeControls(shared.firstPath) +
            " and " + EscapeControls(shared.secondPath) + "\n";
  }
  for (const BlockSpan& span : report.unclaimed) text += "unclaimed: " + Blocks(span) + "\n";
  for (const BlockSpan& span : report.correctedSectors) text += "corrected by ECC: " + Blocks(span) + "\n";
  for (const BlockSpan& span : report.damagedSectors) text += "uncorrectable sectors: " + Blocks(span) + "\n";
  for (const std::string& path : report.unchecked) {
    text += "no check: " + EscapeControls(path) + " (one copy, sectors without EDC or ECC)\n";
  }
  if (!report.sectorsChecked && report.oneCopyFiles > 0) {
    text += "no check: the image's sectors carry none, so damage cannot show in its " +
            Number(report.oneCopyFiles) + (report.oneCopyFiles == 1 ? " file" : " files") + " with one copy\n";
  }
  text += ContainerLines(report.container);
  return text + (report.Damaged() ? "damage found\n" : "clean\n");
}

}  // namespace zanthrel
