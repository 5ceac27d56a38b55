// The first data track of a cue sheet, read from the file that its FILE
// command names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "source/data_track.h"
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

// Every file that the cue sheet at `cuePath` names, as a path to open; none
// when `cuePath` is not a regular file that reads as a cue sheet.
std::vector<std::string> CueSheetFiles(Host& host, const std::string& cuePath);

}  // namespace zanthrel
