// The names that the children of one folder are stored under. Every child
// keeps its own entry name where it can; a name that two children would share,
// or that only the volume label may have in the root, is made unique, so that
// no file is lost on the way to the disc and back.
#pragma once

#include <string>
#include <vector>

#include "compile/folder_scan.h"
#include "support/cp1251.h"

namespace zanthrel {

struct StoredName {
  std::string name;  // Windows-1251 (or UTF-8 when so stored), at most 32 bytes
  // Why the name differs from the child's own; empty when it does not.
  std::string change;
};

// The stored names of the children, in list order; `names` says whether the
// host's UTF-8 names are stored as Windows-1251 or as they are.
std::vector<StoredName> StoredNames(const std::vector<FolderItem>& items, bool root,
                                    TextEncoding names = TextEncoding::kCp1251);

// The name with "~" and the number put before its extension, all within 32 bytes.
std::string NumberedName(const std::string& name, unsigned number);

}  // namespace zanthrel
