// The body of an image: the data blocks of every file and the directory
// blocks of every folder, laid out in post-order behind the block cursor.
#pragma once

#include <vector>

#include "compile/entries.h"
#include "compile/run_state.h"
#include "compile/tree_walk.h"

namespace zanthrel {

// Writes the tree and gives the root's entries, for the root directory that
// the run writes last. With the boot area, files with special names also go
// into their boot slots.
std::vector<EntryBytes> WriteTree(CompileRun& run, const SourceTree& tree, bool bootArea);

}  // namespace zanthrel
