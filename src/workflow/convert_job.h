// What "convert" does: the data track of any image, from the first byte of
// its user data to the last whole sector, written as a plain image of
// 2048-byte sectors. A plain image whose label stands behind other data is
// copied whole, that data included, so the result reads as the image did.
#pragma once

#include <cstdint>
#include <string>

#include "support/host.h"
#include "support/progress.h"
#include "workflow/output_guard.h"

namespace zanthrel {

struct ConvertReport {
  bool opened = false;
  // The output path holds what must not be replaced; refused before the
  // image is opened.
  bool refused = false;
  // Why the image did not open, or why the new image was not written
  // ("path: reason"); empty when it was.
  std::string failure;
  uint64_t bytes = 0;     // written
  std::string container;  // the container and track read; empty for a plain image
  // Raw sectors whose EDC failed: corrected by their ECC, or written as read.
  uint64_t correctedSectors = 0;
  uint64_t damagedSectors = 0;
};

// Writes `outputPath`, which must be a regular file or a new name and never
// a file being read (CheckConvertOutput), through a temporary file beside it,
// put in place only when the whole track has been read and written. A file
// that exists there is refused when `replace` says so. `progress` hears of
// the bytes read: of a gzip file, the compressed ones.
ConvertReport ConvertImage(const std::string& imagePath, const std::string& outputPath,
                           ReplaceRule replace = ReplaceRule::kAskedByDialog, Host& host = SystemHost(),
                           const Progress& progress = {});

}  // namespace zanthrel
