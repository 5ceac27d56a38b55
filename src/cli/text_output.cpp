#include "cli/text_output.h"

#include <algorithm>

#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel::cli {

namespace {

std::string Number(uint64_t value) { return UnsignedDecimal64(value); }

// "1 block", "2 blocks": the count and its noun, singular for one.
std::string Counted(uint64_t count, const std::string& noun) {
  return Number(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Frames(uint64_t frames) {
  return Number(frames) + (frames == 1 ? " frame (" : " frames (") + CdTimeText(frames) + ")";
}

}  // namespace

std::string TracksText(const std::vector<TrackSummary>& tracks) {
  if (tracks.empty()) return "";
  std::string text = "Tracks:       " + Number(tracks.size()) + "\n";
  for (const TrackSummary& track : tracks) {
    std::string name = "Track " + Number(track.number) + ":";
    name.resize(std::max<size_t>(name.size() + 1, 14), ' ');
    text += name + track.mode + ", " + Frames(track.frames) + ", pregap " + Frames(track.pregap) +
            (track.holdsVolume ? ", holds the volume" : "") + "\n";
  }
  return text;
}

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

}  // namespace zanthrel::cli
