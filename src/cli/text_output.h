// The reports of `info` and `verify` for people, in English; each line ends
// with a line break.
#pragma once

#include <string>

#include "verify/verify.h"
#include "volume/summary.h"

namespace zanthrel::cli {

std::string InfoText(const VolumeSummary& summary);
std::string VerifyText(const std::string& image, const VerifyReport& report);

}  // namespace zanthrel::cli
