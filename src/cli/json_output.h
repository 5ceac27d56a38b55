// The reports of the command line as JSON, for scripts.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "verify/verify.h"

namespace zanthrel::cli {

nlohmann::json VerifyJson(const std::string& image, const VerifyReport& report);

}  // namespace zanthrel::cli
