// What verify found, for people, in English: the same lines on the command
// line and in the window. Each line ends with a line break; names from the
// disc are shown with their control characters escaped.
#pragma once

#include <string>

#include "verify/verify.h"

namespace zanthrel {

std::string VerifyText(const std::string& image, const VerifyReport& report);

}  // namespace zanthrel
