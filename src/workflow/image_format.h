// The containers that convert and compile write, and which one a run writes:
// the one asked for, else the one the output's extension names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/disc_image.h"
#include "write/cue_bin_writer.h"

namespace zanthrel {

enum class ImageFormat {
  kIso,     // a plain image of 2048-byte sectors: the data track alone
  kCueBin,  // a cue sheet and one BIN of 2352-byte frames per track
  kChd,
};

// "iso", "cue" or "chd", as --format takes them; none for any other word.
std::optional<ImageFormat> ImageFormatNamed(std::string_view name);
// `asked` when given; else ".cue" and ".chd" (any letter case) name their
// containers, and anything else, ".iso", ".img" or no extension at all, is
// a plain image, as every image written before the other two existed.
ImageFormat OutputFormat(const std::string& path, std::optional<ImageFormat> asked);

// Every file written for a disc of `tracks` at `path`: the path itself
// first, then, for CUE/BIN, each track's file.
std::vector<std::string> OutputPaths(ImageFormat format, const std::vector<DiscTrack>& tracks,
                                     const std::string& path);

// Writes `disc` at `path` as CUE/BIN or CHD, each file through a temporary
// file beside it.
Result<WrittenFiles> WriteDiscAs(ImageFormat format, DiscImage& disc, const std::string& path, Host& host,
                                 Progress progress = {});

}  // namespace zanthrel
