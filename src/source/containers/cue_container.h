// The first data track of a cue sheet, read from the file that its FILE
// command names.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "source/data_track.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// `text` is the sheet at `cuePath`; a relative FILE name is taken from the
// sheet's folder. A failure says what is wrong and names the file it concerns.
Result<std::unique_ptr<DataTrack>> OpenCueTrack(Host& host, const std::string& cuePath,
                                                std::string_view text);

}  // namespace zanthrel
