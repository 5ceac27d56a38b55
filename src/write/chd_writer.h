// A disc written as a CHD (version 5) that chdman reads: CD frames of 2352
// bytes and 96 bytes of subcode in hunks of eight, each hunk stored with the
// CD codec that makes it smallest (cdlz, cdzl, cdfl), identical hunks once.
#pragma once

#include <cstdint>
#include <string>

#include "source/disc_image.h"
#include "support/host.h"
#include "support/progress.h"
#include "support/result.h"

namespace zanthrel {

// Writes `chdPath` through a temporary file beside it, put in place only
// when every hunk is written. Gives the bytes of the file.
Result<uint64_t> WriteChd(DiscImage& disc, const std::string& chdPath, Host& host = SystemHost(),
                          Progress progress = {});

}  // namespace zanthrel
