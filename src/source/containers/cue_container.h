// The tracks of a cue sheet, read from the files that its FILE commands
// name: the first data track, or the whole disc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "source/data_track.h"
#include "source/disc_image.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// No cue sheet comes near this size; a larger file is an image.
inline constexpr uint64_t kMaxCueSheetSize = 1 << 20;

// `text` is the sheet at `cuePath`; a relative FILE name is taken from the
// sheet's folder. A failure says what is wrong and names the file it concerns.
Result<std::unique_ptr<DataTrack>> OpenCueTrack(Host& host, const std::string& cuePath,
                                                std::string_view text);

// The path of the file that a sheet at `cuePath` names `name`.
std::string TrackFilePath(const std::string& cuePath, const std::string& name);
// The whole disc of the same sheet: every track, from its INDEX 00 on where
// the file holds one; the volume's track is the one OpenCueTrack reads.
Result<std::unique_ptr<DiscImage>> OpenCueDisc(Host& host, const std::string& cuePath, std::string_view text);

// Every file that the cue sheet at `cuePath` names, as a path to open; none
// when `cuePath` is not a regular file that reads as a cue sheet.
std::vector<std::string> CueSheetFiles(Host& host, const std::string& cuePath);

}  // namespace zanthrel
