// Which entries of two volumes differ: entries are matched by their path of
// Opera names, files compared by the bytes they give (read side by side, as
// decompile reads them), and the label's main fields compared too. What
// cannot be read is told as such, never taken for a difference or for none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "source/image_source.h"
#include "support/progress.h"
#include "volume/listing.h"

namespace zanthrel {

enum class DifferenceKind {
  kLabel,       // a field of the label
  kAdded,       // an entry only the second volume has
  kRemoved,     // an entry only the first volume has
  kContent,     // a file whose bytes differ
  kFields,      // an entry whose fields differ
  kMoved,       // the same bytes, copies elsewhere
  kUnreadable,  // a file block or a folder that no copy of reads
};

// One field, as stored in the first and in the second volume: a number, or
// text (a type's four bytes, a label's text, Windows-1251).
struct FieldChange {
  std::string name;  // "flags", "type", "id", "blockSize", "bytes", "blocks", "burst", "gap", "copies";
                     // the label's "text", "comment", "volumeId", "rootId", "blocks"
  bool text = false;
  uint64_t first = 0;
  uint64_t second = 0;
  std::string firstText;
  std::string secondText;
};

// Which of the two volumes something was found in.
enum class DiffSide { kFirst, kSecond };

struct Difference {
  DifferenceKind kind = DifferenceKind::kLabel;
  // Opera names joined by "/", Windows-1251; a later entry of a folder under
  // a name that an earlier one has gets "#2", "#3", ... after it. Empty for
  // the label.
  std::string path;
  // kAdded: the second volume's entry; kRemoved: the first's.
  std::optional<ListedEntry> entry;
  // kFields: every field that differs; kLabel: the one field.
  std::vector<FieldChange> fields;
  // kContent: the bytes each file gives and the first that differs.
  uint64_t firstBytes = 0;
  uint64_t secondBytes = 0;
  uint64_t firstDifferentByte = 0;
  // kContent, kMoved: the first block of every copy in each volume.
  std::vector<uint32_t> firstCopies;
  std::vector<uint32_t> secondCopies;
  // kUnreadable: where; for a file, the block of it (in its own block size)
  // that no copy gives.
  DiffSide side = DiffSide::kFirst;
  bool folder = false;
  uint64_t fileBlock = 0;
};

struct VolumeDiff {
  // Per volume: whether its label, and a copy of its root, could be read.
  // When either is not, no entry is compared.
  bool labelRead[2] = {false, false};
  bool treeRead[2] = {false, false};
  uint64_t entries[2] = {0, 0};  // entries listed in each volume
  // The label's lines first, then by path (folders before what they hold),
  // for one path in the order of DifferenceKind.
  std::vector<Difference> differences;

  bool Compared() const { return labelRead[0] && labelRead[1] && treeRead[0] && treeRead[1]; }
  uint64_t Count(DifferenceKind kind) const;
};

// Compares the volumes of two open sources; `progress` hears of the bytes
// of the first volume's files compared.
VolumeDiff DiffVolumes(ImageSource& first, ImageSource& second, const Progress& progress = {});

}  // namespace zanthrel
