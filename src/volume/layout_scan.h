// Reads the layout of a volume (DiscLayout): the label, every directory in
// the order decompile walks them with its blocks and entries, and for each
// entry the host path decompile writes it as, so that a folder decompile
// wrote can be matched against the disc it came from.
#pragma once

#include "source/image_source.h"
#include "support/cp1251.h"
#include "support/host_names.h"
#include "support/result.h"
#include "volume/layout.h"

namespace zanthrel {

// What decompile was asked for, as far as it decides the host paths.
struct LayoutScanOptions {
  // Whether the root's "Disc label" entry is extracted like any other file;
  // when not, its hostPath stays empty.
  bool extractDiscLabel = false;
  HostNameRules rules = kThisHostRules;
  TextEncoding names = TextEncoding::kCp1251;
};

// Fails when the label or every copy of the root cannot be read. A folder
// below the root none of whose copies reads keeps its entry and a directory
// record with its copies, block size and block count but no blocks and no
// entries. `sha1` is left empty: only the files written give it.
Result<DiscLayout> ScanLayout(ImageSource& source, const LayoutScanOptions& options);

// The image's 2048-byte blocks from block 0 of the volume on, whole or in
// part; the label's block count when the source cannot tell its end.
uint32_t ImageBlocksOf(ImageSource& source, uint32_t labelBlockCount);

}  // namespace zanthrel
