#include "cli/text_output.h"

#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel::cli {

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

}  // namespace

// Fixed: scripts and people compare these lines; a line is only ever added
// where a new fact needs one, never reworded or moved.
std::string InfoText(const VolumeSummary& summary, std::optional<uint64_t> fileBytes) {
  std::string copies;
  for (uint32_t block : summary.rootCopies) copies += (copies.empty() ? "" : ", ") + Number(block);
  std::string text = "Volume id:    " + Hex8(summary.volumeId) + "\n" +
                     "Label text:   " + EscapeControls(summary.labelText) + "\n" +
                     "Comment:      " + EscapeControls(summary.comment) + "\n" +
                     "Container:    " + summary.container + "\n";
  if (fileBytes) text += "Image size:   " + Counted(*fileBytes, "byte") + "\n";
  text += "Volume size:  " + Counted(summary.imageBytes, "byte") + ", " + Counted(summary.blockCount, "block") +
          " of " + Number(summary.blockSize) + "\n" +
          "Root copies:  " + Number(summary.rootCopies.size()) +
                     (summary.rootCopies.size() == 1 ? " at block " : " at blocks ") + copies + "\n";
  if (!summary.treeRead) return text + "Tree:         unreadable, every copy of the root directory failed\n";
  text += "Folders:      " + Number(summary.folders) + "\n" +
          "Files:        " + Number(summary.files) + ", " + Counted(summary.fileBytes, "byte") + "\n";
  if (summary.unreadableFolders == 0) return text;
  return text + "Unreadable:   " + Number(summary.unreadableFolders) +
         (summary.unreadableFolders == 1 ? " folder (its contents are not counted)\n"
                                         : " folders (their contents are not counted)\n");
}

std::string ListLine(const ListedEntry& entry, TextEncoding names) {
  return EscapeControls(TextAsUtf8(entry.path, names)) + "\t" + ListedKind(entry) + "\t" +
         UnsignedDecimal(entry.byteCount) + "\t" + UnsignedDecimal(entry.blockCount) + "\t" +
         UnsignedDecimal(entry.copies) + "\t" + Hex8(entry.firstBlock) + "\n";
}

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
  return text + (report.Damaged() ? "damage found\n" : "clean\n");
}

}  // namespace zanthrel::cli
