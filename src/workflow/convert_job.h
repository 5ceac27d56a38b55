// What "convert" does: any image written as a plain image, a CUE/BIN or a
// CHD. A plain image holds the data track, from the first byte of its user
// data to the last whole sector, as 2048-byte sectors; a plain image whose
// label stands behind other data is copied whole, that data included, so the
// result reads as the image did. A CUE/BIN or a CHD holds every track.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/host.h"
#include "workflow/image_format.h"
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
  ImageFormat format = ImageFormat::kIso;
  // Every file written, the one named first.
  std::vector<std::string> files;
  // The source's audio tracks, which a plain image leaves out.
  size_t audioTracksLeftOut = 0;
  std::string container;  // the container and track read; empty for a plain image
  // Raw sectors whose EDC failed: corrected by their ECC, or written as read.
  uint64_t correctedSectors = 0;
  uint64_t damagedSectors = 0;
};

// Writes `outputPath` in `format` (by default the one its extension names),
// and for a CUE/BIN each track's file beside it. Each must be a regular file
// or a new name and never a file being read (CheckConvertOutput); each is
// written through a temporary file beside it, put in place only when every
// track has been read and written. A file that exists is refused when
// `replace` says so. `progress` hears of the bytes read: of a gzip file, the
// compressed ones.
ConvertReport ConvertImage(const std::string& imagePath, const std::string& outputPath,
                           ReplaceRule replace = ReplaceRule::kAskedByDialog, Host& host = SystemHost(),
                           std::optional<ImageFormat> format = std::nullopt, const Progress& progress = {});

}  // namespace zanthrel
