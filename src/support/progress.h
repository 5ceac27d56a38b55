// Progress of a long run: work done against the work expected. An empty
// callback costs one test per report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zanthrel {

using Progress = std::function<void(uint64_t done, uint64_t total)>;

// Hears of each host file a run writes, by its full path, as it is written.
using FileWritten = std::function<void(const std::string& path)>;

}  // namespace zanthrel
