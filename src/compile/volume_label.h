// The volume label that a compile writes: its own fields, those the user
// chose, and those of a root "Disc label" file that holds a label.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "compile/compile_run.h"
#include "compile/folder_scan.h"
#include "compile/unique_ids.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host.h"

namespace zanthrel {

// A root file that holds a volume label, as decompile extracts it.
struct LabelFile {
  std::string hostName;  // as listed, without a path
  std::string path;
  std::array<uint8_t, opera::kLabelSize> bytes{};
};

// The first file of the root's listing whose stored name is the label
// entry's and that is exactly a label: 132 bytes that start with the label's
// signature. Nothing when there is none; a "Disc label" file of anything
// else is an ordinary file.
std::optional<LabelFile> FindLabelFile(Host& host, const std::string& root, const FolderList& list,
                                       TextEncoding names);

// The label of a fresh image; the block counts and the root's blocks come later.
void StartLabel(uint8_t* label, UniqueIdGenerator& ids);
// Puts the label file's comment, text and ids in the label, then what `chosen` gives, which wins.
void TakeLabelFields(uint8_t* label, const LabelChoice& chosen, const LabelFile* file);

}  // namespace zanthrel
